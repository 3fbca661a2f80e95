#pragma once
#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>

#include "platform/media/AVPlayer.h"
#include "platform/media/VLCVideoView.h"
#include "platform/ui/Window.h"
#include "playback/OXFoundationOSDView.h"
#include "playback/OXPlayerController.h"

// The full-screen window of a trailer: the small AV player's picture with the trailer display over it, at the
// video window's level. It plays at once and comes to the front at the first buffer state, telling its delegate
// videoDidLoaded then, once. Its owner observes AVPlayerItemDidPlayToEndTimeNotification (object:
// player()->currentItem()) and exitPlayerNotification, and closes it on either. A trailer that cannot be played
// closes the window and ends the item the same way, with player()->error() saying why. Main thread only.
class OXFoundationPlayer : public ox::Window {
 public:
  // Empty for an empty or invalid URL.
  static std::shared_ptr<OXFoundationPlayer> initWithURL(const QUrl& url, const QString& title);
  ~OXFoundationPlayer() override;

  bool canBecomeMainWindow() const override { return true; }
  bool canBecomeKeyWindow() const override { return true; }
  // Also pauses the trailer and stops listening to it: a closed window plays on no more, nor comes back.
  void close() override;

  // A buffer state of the player changed: "playbackBufferEmpty" or "playbackLikelyToKeepUp".
  void observeValueForKeyPath(const QString& keyPath);

  std::shared_ptr<OXPlayerControllerDelegate> delegatePlayer() const { return delegatePlayer_; }
  void setDelegatePlayer(const std::shared_ptr<OXPlayerControllerDelegate>& d) { delegatePlayer_ = d; }
  std::shared_ptr<ox::AVPlayer> player() const { return player_; }
  void setPlayer(const std::shared_ptr<ox::AVPlayer>& player) { player_ = player; }

  std::shared_ptr<OXFoundationOSDView> osd() const { return osd_; }
  ox::LayerPtr playerLayer() const { return playerLayer_; }

 protected:
  OXFoundationPlayer();

 private:
  void mediaFailed();

  ox::LayerPtr playerLayer_;
  std::shared_ptr<ox::VLCVideoView> videoView_;
  std::shared_ptr<OXFoundationOSDView> osd_;
  std::shared_ptr<OXPlayerControllerDelegate> delegatePlayer_;
  std::shared_ptr<ox::AVPlayer> player_;
  // Context of the player's signals: they reach the window on the main thread, and stop with it.
  std::unique_ptr<QObject> observations_;
  bool shown_ = false;
  bool ended_ = false;
  bool closed_ = false;
};
