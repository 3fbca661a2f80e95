#pragma once
#include "app/EpisodeView.h"
#include "app/OXStreamRequest.h"
#include "playback/OXPeerflix.h"

// A streamed show's seasons and episodes (the plug-ins' episodes of the show), played as torrent streams: Play
// hands the episode's first magnet link to the stream driver and the player plays the local address it reports.
// While the stream connects and its player opens the splash screen shows the connected peers and the keys work as in
// browsing: Menu cancels, Play asks for another episode (the earlier stream ends first). Main thread only.
class OXStreamersEpisodeView : public EpisodeView, public OXPeerflixDelegate {
 public:
  using EpisodeView::EpisodeView;

  // The show's streamed episodes.
  std::shared_ptr<OXEpisodesMenuLayer> menuLayer(const std::shared_ptr<OXShow>& show) override;
  // Splash screen, input off; 0.3 s later the stream of the episode selected now and the search for its subtitles,
  // and input on again while they come.
  void playEpisodeWithRatio(float ratio) override;
  // The subtitle cache is emptied first; then OpenSubtitles is searched, and the session kept.
  OXSubtitleLookup::Order subtitleOrder() const override;
  // Cancels a connecting stream; otherwise back to the show browser.
  void keyMenu() override;
  // The stream is there: the player plays it once the subtitles are in too.
  void streamingDidStart(const QString& address) override;
  // The player's picture is on screen: the request is no longer loading.
  void videoDidLoaded() override;
  // The stream did not start: the request ends and the view comes back.
  void failureStreaming() override;
  // The player's display asked to leave: the ratio is stored and the stream and the player end.
  void exitPlayerNotification(const ox::Notification& notification) override;
  // However the player closed, the stream of its request ends with it.
  void videoDidClosedWithError(bool error) override;

  // From the request's stream until its picture shows or the request ends.
  bool isLoading() const { return loading_; }
  const OXStreamRequest& request() const { return request_; }

 private:
  std::shared_ptr<OXStreamersEpisodeView> streamerSelf();
  // Whichever of the stream and the subtitles comes last opens the player.
  void openPlayerOnStream();
  // The end of the request, with the display's watched ratio when it has one.
  void endRequest(const QVariant& percentage);

  OXStreamRequest request_;
  bool loading_ = false;
};
