#include "playback/OXVideoOSD.h"

#include <QTimer>
#include <algorithm>
#include <cmath>

#include "core/OXPreferencesValues.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/layers/Fonts.h"
#include "platform/layers/Transaction.h"

using namespace ox;

namespace {

constexpr int kControlsShownMs = 4000;
constexpr int kVolumeShownMs = 1000;
constexpr int kRepeatMs = 50;
constexpr qint64 kLongJumpLimit = 300;   // seconds: more than this left (or gone) allows the 5 min jump
constexpr qint64 kMediumJumpLimit = 60;  // ... and the 1 min jump

std::unique_ptr<QTimer> singleShot(int ms, std::function<void()> fire) {
  auto t = std::make_unique<QTimer>();
  t->setSingleShot(true);
  t->setInterval(ms);
  QObject::connect(t.get(), &QTimer::timeout, std::move(fire));
  return t;
}

}  // namespace

OXVideoOSD::OXVideoOSD(const QRectF& frame) : View(frame) {
  hideTimer_ = singleShot(kControlsShownMs, [this] { controlDissapear(); });
  volumeTimer_ = singleShot(kVolumeShownMs, [this] { volumeDissapear(); });
}

OXVideoOSD::~OXVideoOSD() {
  ox::log(QStringLiteral("dealloc OXVideoOSD"));
  volumeTimer_->stop();
}

bool OXVideoOSD::loadLocalFonts(const QString& name) { return !Fonts::registerResourceFont(name); }

// ---------------------------------------------------------------------------------------------------------------
// Controls

void OXVideoOSD::cancelControlDissapear() { hideTimer_->stop(); }

void OXVideoOSD::scheduleControlDissapear() { hideTimer_->start(); }

void OXVideoOSD::showProgressBar() {
  cancelControlDissapear();
  if (barLayer_) barLayer_->setOpacity(1);
  scheduleControlDissapear();
}

void OXVideoOSD::controlDissapear() {
  if (barLayer_) barLayer_->setOpacity(0);
}

void OXVideoOSD::mediaPlayerTimeChanged(const VLCNotification&) {
  auto player = vlcMediaPlayer();
  if (!player || !barProgressLayer_) return;
  const double H = OXPreferencesValues::sharePreferences()->mainScreenFrame().height();
  barProgressLayer_->setBounds(QRectF(0, 0, double(player->position()) * trackWidth(), 0.007 * H));
  timeStart_->setString(currentTimeAsString());
  timeEnd_->setString(durationToEndAsString());
}

void OXVideoOSD::mediaPlayerStateChanged(const VLCNotification& notification) {
  VLCMediaPlayer* player = notification.object;
  if (!player || exitPosted_) return;
  const int state = player->state();
  const qint64 secondsLeft = -qint64(std::trunc(player->remainingTime().intValue() * 0.001));
  // libvlc reports the end itself; a pause just short of the end counts too, where there is a known end (a raw or
  // live stream reads as no time left).
  const bool nearTheEnd = player->length() > 0 && secondsLeft < 2;
  if (state == VLCMediaPlayerStateEnded || (state == VLCMediaPlayerStatePaused && nearTheEnd)) exitPlayback();
}

void OXVideoOSD::exitPlayback() {
  if (exitPosted_) return;
  exitPosted_ = true;
  // The observer usually closes the player at once, which may let this view go.
  std::shared_ptr<View> keep = shared_from_this();
  if (auto player = vlcMediaPlayer()) player->audio()->setMute(true);
  NotificationCenter::defaultCenter().post(QString::fromLatin1(exitPlayerNotification), nullptr,
                                           {{QStringLiteral("percentage"), currentTimeAsPercentage()}});
}

// ---------------------------------------------------------------------------------------------------------------
// Keys and the remote

void OXVideoOSD::keyDown(const KeyEvent& event) {
  if (event.firstCharacter() == u'o') {
    holdMenu();
    return;
  }
  OXSendRemoteCommand(*this, OXRemoteCommandForKey(event));
}

void OXVideoOSD::moveRight() {
  if (optionsPanel_) {
    moveColumn(+1);
    return;
  }
  if (auto player = vlcMediaPlayer()) player->shortJumpForward();
  showProgressBar();
}

void OXVideoOSD::moveLeft() {
  if (optionsPanel_) {
    moveColumn(-1);
    return;
  }
  if (auto player = vlcMediaPlayer()) player->shortJumpBackward();
  showProgressBar();
}

void OXVideoOSD::moveUp() {
  if (optionsPanel_) {
    decrementOne();
    return;
  }
  longJumpForward();
  showProgressBar();
}

void OXVideoOSD::moveDown() {
  if (optionsPanel_) {
    incrementOne();
    return;
  }
  longJumpBackward();
  showProgressBar();
}

void OXVideoOSD::keyPlay() {
  if (optionsPanel_) {
    hideOptions();
    return;
  }
  showProgressBar();
  auto player = vlcMediaPlayer();
  if (player && player->isPlaying())
    pausePlayer();
  else
    playPlayer();
}

void OXVideoOSD::keyMenu() {
  if (optionsPanel_) {
    hideOptions();
    return;
  }
  exitPlayback();
}

void OXVideoOSD::holdMenu() {
  if (optionsPanel_)
    hideOptions();
  else
    showOptions();
}

void OXVideoOSD::holdPlay() {
  if (optionsPanel_) {
    hideOptions();
    return;
  }
  showProgressBar();
}

void OXVideoOSD::repeatWhileHeld(void (OXVideoOSD::*move)()) {
  remoteControlRepeatTimer_ = std::make_unique<QTimer>();
  remoteControlRepeatTimer_->setInterval(kRepeatMs);
  QObject::connect(remoteControlRepeatTimer_.get(), &QTimer::timeout, [this, move] { (this->*move)(); });
  remoteControlRepeatTimer_->start();
}

void OXVideoOSD::holdLeft() { repeatWhileHeld(&OXVideoOSD::moveLeft); }

void OXVideoOSD::holdRight() { repeatWhileHeld(&OXVideoOSD::moveRight); }

void OXVideoOSD::releaseButton() { remoteControlRepeatTimer_.reset(); }

void OXVideoOSD::playPlayer() {
  if (auto player = vlcMediaPlayer()) player->play();
  cancelControlDissapear();
  if (glyphsPlayPause_) glyphsPlayPause_->setString(QStringLiteral("4"));
  scheduleControlDissapear();
}

void OXVideoOSD::pausePlayer() {
  if (auto player = vlcMediaPlayer()) player->pause();
  // The controls stay while paused.
  cancelControlDissapear();
  if (glyphsPlayPause_) glyphsPlayPause_->setString(QStringLiteral("5"));
}

void OXVideoOSD::longJumpForward() {
  auto player = vlcMediaPlayer();
  if (!player) return;
  const float left = remainingTime();
  if (left > float(kLongJumpLimit))
    player->longJumpForward();
  else if (left > float(kMediumJumpLimit))
    player->mediumJumpForward();
  else
    player->shortJumpForward();
}

void OXVideoOSD::longJumpBackward() {
  auto player = vlcMediaPlayer();
  if (!player) return;
  const double gone = player->time().intValue() * 0.001;
  if (gone > double(kLongJumpLimit))
    player->longJumpBackward();
  else if (gone > double(kMediumJumpLimit))
    player->mediumJumpBackward();
  else
    player->shortJumpBackward();
}

// ---------------------------------------------------------------------------------------------------------------
// Volume bezel

void OXVideoOSD::setVolumeBarWidth(double width) {
  if (!volumeBar_) return;
  const QRectF b = volumeBar_->bounds();
  volumeBar_->setBounds(QRectF(b.x(), b.y(), width, b.height()));
}

void OXVideoOSD::updateVolumeBezel() {
  volumeTimer_->stop();
  auto player = vlcMediaPlayer();
  if (volumeLayer_) volumeLayer_->setOpacity(1);
  if (player && volumeBarBackground_)
    setVolumeBarWidth(player->audio()->volume() * volumeBarBackground_->bounds().width() * 0.01);
  volumeTimer_->start();
}

void OXVideoOSD::setMute() {
  volumeTimer_->stop();
  auto player = vlcMediaPlayer();
  if (volumeLayer_) volumeLayer_->setOpacity(1);
  if (player && player->audio()->isMuted()) setVolumeBarWidth(0);
  volumeTimer_->start();
}

void OXVideoOSD::volumeDissapear() {
  if (volumeLayer_) volumeLayer_->setOpacity(0);
}

// ---------------------------------------------------------------------------------------------------------------
// Times

namespace {
struct Times {
  qint64 t = 0;  // ms
  qint64 r = 0;  // ms, negative
  bool known = false;
};
Times timesOf(const std::shared_ptr<VLCMediaPlayer>& player) {
  if (!player) return {};
  return {player->time().intValue(), player->remainingTime().intValue(), player->length() > 0};
}
}  // namespace

QString OXVideoOSD::timeText(qint64 s) {
  if (s < 0) s = 0;
  return QString::asprintf("%02lld:%02lld:%02lld", s / 3600, (s % 3600) / 60, (s % 3600) % 60);
}

QString OXVideoOSD::currentTimeAsString() const {
  return timeText(qint64(std::trunc(timesOf(vlcMediaPlayer()).t * 0.001)));
}

QString OXVideoOSD::durationToEndAsString() const {
  return QStringLiteral("-") + timeText(-qint64(std::trunc(timesOf(vlcMediaPlayer()).r * 0.001)));
}

QString OXVideoOSD::durationAsString() const { return timeText(durationInSeconds()); }

float OXVideoOSD::currentTimeAsPercentage() const {
  const Times x = timesOf(vlcMediaPlayer());
  // An unknown duration reads as no time left, which would count as watched to the end.
  if (!x.known || x.t - x.r == 0) return 0;
  return std::clamp(float(x.t) / float(x.t - x.r), 0.0f, 1.0f);
}

float OXVideoOSD::remainingTime() const {
  const Times x = timesOf(vlcMediaPlayer());
  return float(double((x.t - x.r) - x.t) * 0.001);
}

qint64 OXVideoOSD::durationInSeconds() const {
  const Times x = timesOf(vlcMediaPlayer());
  return qint64(std::trunc(x.t * 0.001 - x.r * 0.001));
}
