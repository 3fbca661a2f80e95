#pragma once
#include <QString>
#include <QVariant>
#include <memory>

#include "platform/media/VLCMedia.h"
#include "platform/media/VLCMediaPlayer.h"
#include "platform/media/VLCVideoView.h"
#include "platform/ui/Window.h"

// The video window of a playback: full screen on the chosen screen, one level below the screen saver, black, with
// the player's picture filling it. Closing only orders it out; its owner keeps it.
class OXVideoPlayer : public ox::Window {
 public:
  // source: a QUrl (mediaWithURL) or a path string (mediaWithPath), given the options "spdif",
  // "force-dolby-surround=0" and "sepia-intensity=255". Empty for any other source, or when no media can be made.
  static std::shared_ptr<OXVideoPlayer> initWithSource(const QVariant& source);
  // A local stream address, given the option "--freetype-rel-fontsize" = "72". Empty when it is no usable URL.
  static std::shared_ptr<OXVideoPlayer> initWithLocalStreaming(const QString& url);

  std::shared_ptr<ox::VLCMediaPlayer> player() const { return player_; }
  void setPlayer(const std::shared_ptr<ox::VLCMediaPlayer>& player) { player_ = player; }

  std::shared_ptr<ox::VLCVideoView> videoView() const { return videoView_; }
  std::shared_ptr<ox::VLCMedia> media() const { return media_; }

  // The window's frame: the chosen screen's, with its place among the screens; empty without a screen.
  static QRectF screenContentRect();
  // One below the screen saver: above every other window of the program.
  static constexpr int kLevel = ox::WindowLevel::ScreenSaver - 1;

 protected:
  OXVideoPlayer();

 private:
  static std::shared_ptr<OXVideoPlayer> withMedia(std::shared_ptr<ox::VLCMedia> media);

  std::shared_ptr<ox::VLCVideoView> videoView_;
  std::shared_ptr<ox::VLCMedia> media_;
  std::shared_ptr<ox::VLCMediaPlayer> player_;
};
