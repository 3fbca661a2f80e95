#include "playback/OXFoundationOSDView.h"

#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "core/OXPreferencesValues.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"

using namespace ox;

namespace {

constexpr float kShortSeek = 10;
constexpr float kLongSeek = 30;
constexpr double kPulseSeconds = 1.0;

double screenHeight() { return OXPreferencesValues::sharePreferences()->mainScreenFrame().height(); }

qint64 whole(double seconds) { return std::isfinite(seconds) ? qint64(std::trunc(seconds)) : 0; }

}  // namespace

OXFoundationOSDView::OXFoundationOSDView(const QRectF& frame) : OXVideoOSD(frame) {
  pulseTimer_ = std::make_unique<QTimer>();
  pulseTimer_->setInterval(int(kPulseSeconds * 1000));
  QObject::connect(pulseTimer_.get(), &QTimer::timeout, [this] { pulse(); });
}

OXFoundationOSDView::~OXFoundationOSDView() { pulseTimer_->stop(); }

void OXFoundationOSDView::setupLayers() {
  OXVideoOSD::setupLayers();
  const double H = screenHeight();
  QScreen* screen = OXPreferencesValues::sharePreferences()->mainScreen();
  Transaction::begin();
  Transaction::setDisableActions(true);
  bufferingText_ = TextLayer::layer();
  bufferingText_->setName(QStringLiteral("title"));
  bufferingText_->setOpacity(0);
  bufferingText_->setString(QStringLiteral("Buffering..."));
  bufferingText_->setAlignmentMode(TextAlignment::Right);
  bufferingText_->setFont(QStringLiteral("oxfont-Regular"));
  bufferingText_->setFontSize(0.06 * H);
  bufferingText_->setForegroundColor(Qt::white);
  bufferingText_->setContentsScale(screen ? screen->devicePixelRatio() : 1.0);
  bufferingText_->addConstraint(Constraint(ConstraintAttribute::MidX, QStringLiteral("superlayer"),
                                           ConstraintAttribute::MidX));
  bufferingText_->addConstraint(Constraint(ConstraintAttribute::MinY, QStringLiteral("superlayer"),
                                           ConstraintAttribute::MinY, 1.0, std::round(0.12 * H)));
  layer()->addSublayer(bufferingText_);
  Transaction::commit();
}

// --- buffering text

void OXFoundationOSDView::showBufferingMessage() {
  if (!bufferingText_) return;
  Transaction::begin();
  Transaction::setDisableActions(true);
  bufferingText_->setOpacity(0.5);
  Transaction::commit();
  pulseUp_ = false;
  pulse();
  pulseTimer_->start();
}

// Between half and full opacity, a second each way, until hidden.
void OXFoundationOSDView::pulse() {
  pulseUp_ = !pulseUp_;
  Transaction::begin();
  Transaction::setAnimationDuration(kPulseSeconds);
  bufferingText_->setOpacity(pulseUp_ ? 1.0 : 0.5);
  Transaction::commit();
}

void OXFoundationOSDView::hideBufferingMessage() {
  pulseTimer_->stop();
  if (!bufferingText_) return;
  bufferingText_->removeAllAnimations();
  Transaction::begin();
  Transaction::setDisableActions(true);
  bufferingText_->setOpacity(0);
  Transaction::commit();
}

// --- the player and its time

void OXFoundationOSDView::setPlayer(const std::shared_ptr<AVPlayer>& player) {
  foundationPlayer_ = player;
  if (!player) return;
  std::weak_ptr<int> alive = alive_;
  player->addPeriodicTimeObserverForInterval(25.0 / 25.0, [this, alive](double) {
    if (alive.lock()) updateProgress();
  });
}

void OXFoundationOSDView::mediaPlayerTimeChanged(const VLCNotification&) {
  log(QStringLiteral("mediaPlayerTimeChanged"));
  updateProgress();
}

void OXFoundationOSDView::updateProgress() {
  if (!barProgressLayer_) return;
  const double H = screenHeight();
  barProgressLayer_->setBounds(QRectF(0, 0, double(currentTimeAsPercentage()) * trackWidth(), 0.007 * H));
  timeStart_->setString(currentTimeAsString());
  timeEnd_->setString(durationToEndAsString());
}

QString OXFoundationOSDView::durationAsString() const { return timeText(durationInSeconds()); }

QString OXFoundationOSDView::currentTimeAsString() const {
  return timeText(foundationPlayer_ ? whole(foundationPlayer_->currentTime()) : 0);
}

QString OXFoundationOSDView::durationToEndAsString() const {
  const qint64 elapsed = foundationPlayer_ ? whole(foundationPlayer_->currentTime()) : 0;
  return QStringLiteral("-") + timeText(durationInSeconds() - elapsed);
}

float OXFoundationOSDView::currentTimeAsPercentage() const {
  if (!foundationPlayer_) return 0;
  const float duration = float(foundationPlayer_->duration());
  // Before the duration is known there is no fraction to show.
  if (!(duration > 0)) return 0;
  const float f = float(foundationPlayer_->currentTime()) / duration;
  return std::isfinite(f) ? std::clamp(f, 0.0f, 1.0f) : 0.0f;
}

float OXFoundationOSDView::remainingTime() const {
  if (!foundationPlayer_) return 0;
  return float(foundationPlayer_->duration() - foundationPlayer_->currentTime());
}

qint64 OXFoundationOSDView::durationInSeconds() const {
  return foundationPlayer_ ? whole(foundationPlayer_->duration()) : 0;
}

// --- keys

void OXFoundationOSDView::seekBy(float seconds) {
  if (foundationPlayer_) foundationPlayer_->seekToTime(double(float(foundationPlayer_->currentTime()) + seconds));
  showProgressBar();
}

void OXFoundationOSDView::moveRight() { seekBy(kShortSeek); }
void OXFoundationOSDView::moveLeft() { seekBy(-kShortSeek); }
void OXFoundationOSDView::moveUp() { seekBy(kLongSeek); }
void OXFoundationOSDView::moveDown() { seekBy(-kLongSeek); }

void OXFoundationOSDView::keyPlay() {
  showProgressBar();
  if (!foundationPlayer_) return;
  if (foundationPlayer_->rate() == 0) {
    playPlayer();
    isPause_ = false;
  } else {
    pausePlayer();
    isPause_ = true;
  }
}

void OXFoundationOSDView::playPlayer() {
  if (foundationPlayer_) foundationPlayer_->play();
  cancelControlDissapear();
  if (glyphsPlayPause_) glyphsPlayPause_->setString(QStringLiteral("4"));
  scheduleControlDissapear();
}

void OXFoundationOSDView::pausePlayer() {
  if (foundationPlayer_) foundationPlayer_->pause();
  cancelControlDissapear();
  if (glyphsPlayPause_) glyphsPlayPause_->setString(QStringLiteral("5"));
}

void OXFoundationOSDView::keyMenu() {
  if (foundationPlayer_) {
    foundationPlayer_->pause();
    foundationPlayer_->setMuted(true);
  }
  // The owner may close and let go of the window, and with it this view, while told.
  std::shared_ptr<View> keep = shared_from_this();
  NotificationCenter::defaultCenter().post(QString::fromLatin1(exitPlayerNotification));
}
