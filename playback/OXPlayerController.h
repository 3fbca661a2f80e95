#pragma once
#include <QString>
#include <QVariantList>
#include <memory>

#include "core/OXFile.h"
#include "core/OXMovie.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/media/VLCMediaPlayer.h"
#include "platform/media/XCDYouTubeClient.h"
#include "playback/OSDWindow.h"
#include "playback/OXVideoPlayer.h"

// Told by a player controller when its video starts and when it has closed. Main thread.
class OXPlayerControllerDelegate {
 public:
  virtual ~OXPlayerControllerDelegate() = default;
  // Never sent.
  virtual void videoDidFailed() = 0;
  // Once, at the first time change: the picture is on screen.
  virtual void videoDidLoaded() = 0;
  // Once per playback: error is true when the media could not be played.
  virtual void videoDidClosedWithError(bool error) = 0;
};

// Plays one title full screen in a video window with the display window above it. The caller creates it, sets the
// delegate, observes exitPlayerNotification and then sends close(false); it drops the controller after
// videoDidClosedWithError. The delegate is held strongly until then. Main thread only.
class OXPlayerController : public ox::VLCMediaPlayerDelegate,
                           public std::enable_shared_from_this<OXPlayerController> {
 public:
  // A movie's trailer on the video site: the first of its trailers there, whose identifier the site's client
  // resolves to streams, one of which then plays as a title does. When nothing resolves it closes with an error.
  // Anything but a movie with such a trailer gives no controller.
  static std::shared_ptr<OXPlayerController> initWithTrailers(const std::shared_ptr<OXMovie>& movie, float option,
                                                              const QVariantList& subtitles);
  // The file of a movie or an episode (data), from the start ratio option (0..1). Data that is neither, or that
  // has no file path to play, closes with an error on the next turn of the main loop.
  static std::shared_ptr<OXPlayerController> initWithData(const ox::CodingPtr& data, float option,
                                                          const QVariantList& subtitles);
  // The same title from a local stream address; data only gives the title.
  static std::shared_ptr<OXPlayerController> initWithData(const ox::CodingPtr& data, float option,
                                                          const QVariantList& subtitles,
                                                          const QString& andAddressPort);
  ~OXPlayerController() override;

  // The player's callbacks, until the first time change hands them to the display view.
  void mediaPlayerTimeChanged(const ox::VLCNotification& notification) override;
  void mediaPlayerStateChanged(const ox::VLCNotification& notification) override;

  // Stops the player, closes both windows and tells the delegate; later calls do nothing.
  void close(bool error);

  // At the program's end: every playback still open ends as Menu ends it, its display posting exitPlayerNotification
  // with the point reached for its caller to store before it closes. One whose video has not started yet, or whose
  // caller leaves it open, closes without an error.
  static void leaveEveryPlayback();

  std::shared_ptr<OSDWindow> videoPlayerOSD() const { return videoPlayerOSD_; }
  std::shared_ptr<OXVideoPlayer> videoPlayerCore() const { return videoPlayerCore_; }
  std::shared_ptr<OXPlayerControllerDelegate> delegate() const { return delegate_; }
  void setDelegate(const std::shared_ptr<OXPlayerControllerDelegate>& delegate) { delegate_ = delegate; }

  // "%lux%lu - %@" for an episode (its title cut to 40 characters), the title for a movie, else empty.
  static QString displayTitle(const ox::CodingPtr& data);

 private:
  OXPlayerController();
  static std::shared_ptr<OXPlayerController> start(const ox::CodingPtr& data, float option,
                                                   const QVariantList& subtitles, const QString* address);
  void closeOnNextTurn();
  // Sets the player going, its callbacks to this, and makes the display window.
  void playWithTitle(const QString& title);
  void playTrailer(const std::shared_ptr<ox::XCDYouTubeVideo>& video, const QString& title);

  std::shared_ptr<OXVideoPlayer> videoPlayerCore_;
  std::shared_ptr<OSDWindow> videoPlayerOSD_;
  QVariantList subtitleArray_;
  float ratio_ = 0;
  std::shared_ptr<OXPlayerControllerDelegate> delegate_;
  bool loaded_ = false;
  bool closed_ = false;
};
