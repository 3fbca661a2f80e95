#include "platform/media/AVPlayer.h"

#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "platform/foundation/NotificationCenter.h"

namespace ox {

std::shared_ptr<AVPlayer> AVPlayer::playerWithURL(const QUrl& url, std::shared_ptr<VLCFrameSink> sink) {
  std::shared_ptr<VLCMedia> media = VLCMedia::mediaWithURL(url);
  if (!media) return {};
  auto player = std::make_unique<VLCMediaPlayer>(std::move(sink));
  player->setMedia(std::move(media));
  return std::shared_ptr<AVPlayer>(new AVPlayer(std::move(player), url));
}

AVPlayer::AVPlayer(std::unique_ptr<VLCMediaPlayer> player, QUrl url) : player_(std::move(player)), url_(std::move(url)) {
  connect(player_.get(), &VLCMediaPlayer::stateChanged, this, &AVPlayer::onState);
  connect(player_.get(), &VLCMediaPlayer::bufferingChanged, this, &AVPlayer::onBuffering);
}

AVPlayer::~AVPlayer() {
  for (Observer& o : observers_) delete o.timer;
  player_.reset();
}

void AVPlayer::play() {
  error_.clear();
  played_ = 0;
  rate_ = 1;
  player_->play();
}

void AVPlayer::pause() {
  rate_ = 0;
  player_->pause();
}

void AVPlayer::setMuted(bool muted) {
  muted_ = muted;
  player_->audio()->setMute(muted);
}

void AVPlayer::setVolume(float volume) {
  volume_ = std::clamp(volume, 0.0f, 1.0f);
  player_->audio()->setVolume(int(std::lround(volume_ * 100)));
}

double AVPlayer::currentTime() const { return double(player_->time().value()) / 1000.0; }

double AVPlayer::duration() const { return double(player_->length()) / 1000.0; }

void AVPlayer::seekToTime(double seconds) {
  if (!std::isfinite(seconds)) return;
  player_->setTime(qint64(std::llround(std::max(0.0, seconds) * 1000.0)));
  const double now = currentTime();
  QPointer<AVPlayer> self(this);
  for (size_t i = 0; i < observers_.size() && self; ++i) observers_[i].block(now);
}

void AVPlayer::addPeriodicTimeObserverForInterval(double interval, std::function<void(double)> block) {
  if (!block) return;
  auto* timer = new QTimer;
  timer->setInterval(int(std::max(1.0, std::round(interval * 1000.0))));
  const size_t index = observers_.size();
  connect(timer, &QTimer::timeout, this, [this, index] {
    if (rate_ != 0 && index < observers_.size()) observers_[index].block(currentTime());
  });
  observers_.push_back({timer, std::move(block)});
  timer->start();
}

void AVPlayer::onBuffering(float percent) {
  const bool empty = percent < 100;
  const bool likely = !empty;
  QPointer<AVPlayer> self(this);
  if (empty != bufferEmpty_) {
    bufferEmpty_ = empty;
    emit playbackBufferEmptyChanged(empty);
  }
  if (self && likely != likelyToKeepUp_) {
    likelyToKeepUp_ = likely;
    emit playbackLikelyToKeepUpChanged(likely);
  }
}

void AVPlayer::onState(int state) {
  switch (state) {
    case VLCMediaPlayerStateEnded: {
      QPointer<AVPlayer> self(this);
      ++played_;
      const bool again = loops_ < 0 || played_ <= loops_;
      if (!again) rate_ = 0;
      emit didPlayToEndTime();
      if (!self) return;
      // The owner may let the player go from either; nothing of it is touched after.
      NotificationCenter::defaultCenter().post(QString::fromLatin1(AVPlayerItemDidPlayToEndTimeNotification), this);
      if (!self || !again) return;
      player_->play();  // from the start
      // A pause asked for while libvlc was already finishing the round never reached an input that could hold it;
      // the next round starts held at its beginning, as the pause meant, instead of the item being left ended.
      if (rate_ == 0) player_->pause();
      break;
    }
    case VLCMediaPlayerStateError:
      rate_ = 0;
      error_ = QStringLiteral("The item at %1 cannot be played").arg(url_.toDisplayString());
      emit failed(error_);
      break;
    default:
      break;
  }
}

}  // namespace ox
