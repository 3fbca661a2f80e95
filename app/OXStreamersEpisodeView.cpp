#include "app/OXStreamersEpisodeView.h"

#include "app/ShowsView.h"
#include "platform/ui/Window.h"

std::shared_ptr<OXStreamersEpisodeView> OXStreamersEpisodeView::streamerSelf() {
  return std::static_pointer_cast<OXStreamersEpisodeView>(self());
}

std::shared_ptr<OXEpisodesMenuLayer> OXStreamersEpisodeView::menuLayer(const std::shared_ptr<OXShow>& show) {
  return OXEpisodesMenuLayer::initWithShow(show, true);
}

void OXStreamersEpisodeView::playEpisodeWithRatio(float ratio) {
  // Play while a stream connects asks for another episode: the earlier child, and a player still opening its
  // stream, go first.
  if (const std::shared_ptr<OXPlayerController> opening = std::move(videoPlayer_)) {
    opening->setDelegate(nullptr);
    opening->close(false);
  }
  request_.stop();
  subtitleLookup_.cancel();
  loading_ = false;
  showSplashScreen();
  if (auto shows = weakShowView()) shows->clearMusic();
  acceptEvents_ = false;
  // The episode asked for now is the one streamed and given its ratio, wherever the selection moves meanwhile.
  playingEpisode_ = selectedEpisode();
  std::weak_ptr<OXStreamersEpisodeView> weak = streamerSelf();
  playDelay_.start(kPlayDelay, [weak, ratio] {
    const auto s = weak.lock();
    if (!s) return;
    if (!s->request_.start(s->playingEpisode_, ratio, s, s->textLoadingPlayer_)) {
      // Nothing to stream: the request ends as a cancel does.
      s->endRequest({});
      return;
    }
    s->observeExitPlayer();
    s->acceptEvents_ = true;
    s->loading_ = true;
    // The splash stays while the stream connects, also when its fade-in ends after input came back.
    s->splashScreen_->setOpacity(1);
    s->subtitleLookup_.start(s->playingEpisode_, s->subtitleOrder(), [weak](const QVariantList& subtitles) {
      const auto view = weak.lock();
      if (!view) return;
      view->request_.setSubtitles(subtitles);
      view->openPlayerOnStream();
    });
  });
}

OXSubtitleLookup::Order OXStreamersEpisodeView::subtitleOrder() const {
  return OXSubtitleLookup::Order::EmptyThenSearch;
}

void OXStreamersEpisodeView::keyMenu() {
  if (!acceptEvents_) return;
  if (loading_) {
    endRequest({});
    return;
  }
  EpisodeView::keyMenu();
}

void OXStreamersEpisodeView::streamingDidStart(const QString& address) {
  if (!loading_ || !request_.peerflix() || videoPlayer_) return;
  request_.setAddress(address);
  openPlayerOnStream();
}

void OXStreamersEpisodeView::openPlayerOnStream() {
  if (!loading_ || videoPlayer_ || !request_.isReadyToPlay()) return;
  // Still loading until the picture shows: Menu meanwhile cancels the stream and its player.
  videoPlayer_ = request_.openPlayer();
  if (!videoPlayer_) {
    videoDidClosedWithError(true);
    return;
  }
  videoPlayer_->setDelegate(self());
}

void OXStreamersEpisodeView::videoDidLoaded() {
  loading_ = false;
  EpisodeView::videoDidLoaded();
}

void OXStreamersEpisodeView::failureStreaming() {
  if (!request_.peerflix()) return;
  endRequest({});
  closeSplashScreen();
}

void OXStreamersEpisodeView::exitPlayerNotification(const ox::Notification& notification) {
  endRequest(notification.userInfo.value(QStringLiteral("percentage")));
}

void OXStreamersEpisodeView::endRequest(const QVariant& percentage) {
  loading_ = false;
  acceptEvents_ = true;
  request_.stop();
  subtitleLookup_.cancel();
  if (const auto w = window()) w->makeKeyAndOrderFront();
  const bool played = bool(videoPlayer_);
  if (const std::shared_ptr<OXPlayerController> player = videoPlayer_) player->close(false);
  // For the episode that was asked for, its circle redrawn as the library's episodes are.
  if (percentage.isValid()) storeRatio(percentage.toFloat(), std::dynamic_pointer_cast<OXEpisode>(request_.record()));
  stopObservingExit();
  if (auto shows = weakShowView()) shows->startMusic();
  // Without a player, nothing else brings the view back.
  if (!played) playingEpisode_.reset();
  closeSplashScreen();
}

void OXStreamersEpisodeView::videoDidClosedWithError(bool error) {
  loading_ = false;
  request_.stop();
  stopObservingExit();
  EpisodeView::videoDidClosedWithError(error);
}
