#include "playback/OXVideoOSD.h"

#include <cmath>

#include "core/OXPreferencesValues.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/layers/Transaction.h"

using namespace ox;

OXVideoOSD::OXVideoOSD(const QRectF& frame) : View(frame) {}

OXVideoOSD::~OXVideoOSD() { ox::log(QStringLiteral("dealloc OXVideoOSD")); }

void OXVideoOSD::setupLayers() {
  const QRectF screen = OXPreferencesValues::sharePreferences()->mainScreenFrame();
  const double H = screen.height();
  LayerPtr root = layer();
  Transaction::begin();
  Transaction::setDisableActions(true);
  titleText_ = TextLayer::layer();
  titleText_->setName(QStringLiteral("title"));
  titleText_->setString(contentTitle_);
  titleText_->setFont(QStringLiteral("oxfont-Regular"));
  titleText_->setFontSize(0.038 * H);
  titleText_->setForegroundColor(Qt::white);
  titleText_->setAlignmentMode(TextAlignment::Center);
  const QSizeF size = titleText_->preferredFrameSize();
  titleText_->setBounds(QRectF(QPointF(0, 0), size));
  titleText_->setPosition(QPointF(screen.width() / 2, 0.08 * H));
  root->addSublayer(titleText_);
  Transaction::commit();
}

void OXVideoOSD::mediaPlayerTimeChanged(const VLCNotification&) {}

void OXVideoOSD::mediaPlayerStateChanged(const VLCNotification& notification) {
  VLCMediaPlayer* player = notification.object;
  if (!player || ended_) return;
  const int state = player->state();
  const qint64 secondsLeft = -qint64(std::trunc(player->remainingTime().intValue() * 0.001));
  // libvlc reports the end itself; a pause just short of the end counts too.
  if (state == VLCMediaPlayerStateEnded || (state == VLCMediaPlayerStatePaused && secondsLeft < 2)) {
    ended_ = true;
    exitPlayback();
  }
}

void OXVideoOSD::createOptionsRoll(const QVariantList& subtitles) { subtitles_ = subtitles; }

float OXVideoOSD::currentTimeAsPercentage() const {
  auto player = vlcMediaPlayer();
  if (!player) return 0;
  const float t = float(player->time().intValue());
  const float r = float(player->remainingTime().intValue());
  return (t - r) == 0 ? 0.0f : t / (t - r);
}

void OXVideoOSD::exitPlayback() {
  if (auto player = vlcMediaPlayer()) player->audio()->setMute(true);
  NotificationCenter::defaultCenter().post(QString::fromLatin1(exitPlayerNotification), nullptr,
                                           {{QStringLiteral("percentage"), currentTimeAsPercentage()}});
}
