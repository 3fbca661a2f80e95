#pragma once
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

#include "platform/media/VLCFrameSink.h"
#include "platform/media/VLCMediaPlayer.h"

class QTimer;

namespace ox {

// Posted on the default notification centre each time the item reaches its end (with didPlayToEndTime), with the
// player as its object: a player plays one item, so it stands for its item.
inline constexpr const char* AVPlayerItemDidPlayToEndTimeNotification = "AVPlayerItemDidPlayToEndTimeNotification";

// The small player of trailers and soundtrack previews: one URL (or file URL), play and pause with a rate, seconds
// for times, buffer states, end of item, loops and volume. Built on VLCMediaPlayer; main thread only.
class AVPlayer : public QObject {
  Q_OBJECT
 public:
  // Empty result for an empty or invalid URL. Pictures go to sink when one is given.
  static std::shared_ptr<AVPlayer> playerWithURL(const QUrl& url, std::shared_ptr<VLCFrameSink> sink = {});
  ~AVPlayer() override;

  void play();
  void pause();
  // 1 from play until a pause, the last end of the item, a failure; 0 whenever not playing.
  float rate() const { return rate_; }

  bool isMuted() const { return muted_; }
  void setMuted(bool muted);
  // 0..1.
  float volume() const { return volume_; }
  void setVolume(float volume);

  // Seconds.
  double currentTime() const;
  // Seconds; 0 until the item's duration is known.
  double duration() const;
  // Seconds, kept inside the item: before the start seeks to the start, past the end to the end.
  void seekToTime(double seconds);

  // Calls block with the current time every interval seconds while the rate is not 0, and after each seek, on the
  // main thread, until the player goes.
  void addPeriodicTimeObserverForInterval(double interval, std::function<void(double seconds)> block);

  bool isPlaybackBufferEmpty() const { return bufferEmpty_; }
  bool isPlaybackLikelyToKeepUp() const { return likelyToKeepUp_; }

  // Times the item plays again after its end: 0 once (the default), -1 without end.
  int numberOfLoops() const { return loops_; }
  void setNumberOfLoops(int loops) { loops_ = loops; }

  // Set when the item cannot be played.
  QString error() const { return error_; }

  VLCMediaPlayer* mediaPlayer() const { return player_.get(); }
  // The object of AVPlayerItemDidPlayToEndTimeNotification.
  const void* currentItem() const { return this; }

 signals:
  void playbackBufferEmptyChanged(bool empty);
  void playbackLikelyToKeepUpChanged(bool likely);
  // Each time the item reaches its end, also before it loops.
  void didPlayToEndTime();
  void failed(const QString& error);

 private:
  AVPlayer(std::unique_ptr<VLCMediaPlayer> player, QUrl url);
  void onState(int state);
  void onBuffering(float percent);

  std::unique_ptr<VLCMediaPlayer> player_;
  QUrl url_;
  float rate_ = 0;
  bool muted_ = false;
  float volume_ = 1;
  bool bufferEmpty_ = true;
  bool likelyToKeepUp_ = false;
  int loops_ = 0;
  int played_ = 0;  // ends reached since the last play from the user
  QString error_;
  struct Observer {
    QTimer* timer;
    std::function<void(double)> block;
  };
  std::vector<Observer> observers_;
};

}  // namespace ox
