#pragma once
#include "app/MoviesView.h"
#include "app/OXStreamRequest.h"
#include "playback/OXPeerflix.h"

// The movies that the streamer plug-ins offer, browsed as the movie browser browses the library's, and played as
// torrent streams: Play hands the title's first magnet link to the stream driver, whose child process reports a
// local HTTP address, and the player plays that address. The splash screen's status line shows the connected
// peers meanwhile; Menu cancels. Main thread only.
class OXStreamersMoviesView : public MoviesView, public OXPeerflixDelegate {
 public:
  using MoviesView::MoviesView;
  ~OXStreamersMoviesView() override;

  // The plug-ins' movies by title, case-insensitively.
  QList<ox::CodingPtr> contentList() const override;
  // Splash screen, input off; 0.3 s later the stream of the title selected now, and the search for its subtitles.
  void playMovieWithRatio(float ratio) override;
  // The subtitle cache is emptied first; then OpenSubtitles is searched, and the session kept.
  OXSubtitleLookup::Order subtitleOrder() const override;
  // The stream is there: the player plays it once the subtitles are in too.
  void streamingDidStart(const QString& address) override;
  // The stream did not start: the alert, and the browser comes back.
  void failureStreaming() override;
  // The player's display asked to leave: the watched ratio is stored, the stream and the player end.
  void exitPlayerNotification(const ox::Notification& notification) override;
  // The request is cancelled: the stream and the player end, the browser comes back.
  void closeSplashScreen() override;
  // However the player closed, the stream of its request ends with it.
  void videoDidClosedWithError(bool error) override;

  const OXStreamRequest& request() const { return request_; }

 private:
  void openStream();
  // Whichever of the stream and the subtitles comes last opens the player.
  void openPlayerOnStream();

  OXStreamRequest request_;
};
