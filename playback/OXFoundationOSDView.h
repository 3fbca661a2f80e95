#pragma once
#include <memory>

#include "platform/media/AVPlayer.h"
#include "playback/OXVideoOSD.h"

class QTimer;

// The display of a trailer: the playback display's controls, keys and timing, driving the small AV player instead
// of libvlc. Left and right seek 10 s, up and down 30 s; progress and times follow once a second; a pulsing
// "Buffering..." text shows while the player waits for data. There is no options panel and no watched ratio:
// Menu posts exitPlayerNotification with neither object nor user info. Main thread only.
class OXFoundationOSDView : public OXVideoOSD {
 public:
  explicit OXFoundationOSDView(const QRectF& frame = QRectF());
  ~OXFoundationOSDView() override;

  // The display's layers, then the buffering text.
  void setupLayers() override;
  void showBufferingMessage();
  void hideBufferingMessage();
  // The progress update; the player's ticks arrive here too.
  void mediaPlayerTimeChanged(const ox::VLCNotification& notification) override;

  // Keeps the player and follows its time once a second.
  void setPlayer(const std::shared_ptr<ox::AVPlayer>& player);
  std::shared_ptr<ox::AVPlayer> foundationPlayer() const { return foundationPlayer_; }

  void holdMenu() override {}
  void moveRight() override;
  void moveLeft() override;
  void moveUp() override;
  void moveDown() override;
  void keyPlay() override;
  void keyMenu() override;
  void playPlayer() override;
  void pausePlayer() override;
  void longJumpForward() override {}
  void longJumpBackward() override {}

  // From the player's seconds, each reading truncated; a duration of 0 reads as nothing elapsed and nothing left.
  QString durationAsString() const override;
  QString durationToEndAsString() const override;
  QString currentTimeAsString() const override;
  float currentTimeAsPercentage() const override;
  float remainingTime() const override;
  qint64 durationInSeconds() const override;

  // Whether the user paused with the play key: a buffer that recovers then leaves the trailer paused.
  bool isPause() const { return isPause_; }
  void setIsPause(bool pause) { isPause_ = pause; }
  std::shared_ptr<ox::TextLayer> bufferingText() const { return bufferingText_; }

 private:
  void updateProgress();
  void seekBy(float seconds);
  void pulse();

  std::shared_ptr<ox::AVPlayer> foundationPlayer_;
  std::shared_ptr<ox::TextLayer> bufferingText_;
  bool isPause_ = false;
  std::unique_ptr<QTimer> pulseTimer_;
  bool pulseUp_ = false;
  // The player's time observer holds only this, so it can tell that the view has gone.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
