#include "app/OXStreamersMoviesView.h"

#include "core/OXLibrary.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Window.h"

OXStreamersMoviesView::~OXStreamersMoviesView() { request_.stop(); }

QList<ox::CodingPtr> OXStreamersMoviesView::contentList() const {
  return sortedByTitle(OXLibrary::shareLibrary()->moviesToStreams());
}

void OXStreamersMoviesView::playMovieWithRatio(float ratio) {
  // A driver still connecting goes first: one child at a time.
  request_.stop();
  showSplashScreen();
  clearMusic();
  acceptEvents_ = false;
  isPlaying_ = true;
  playingObject_ = objectSelected();
  std::weak_ptr<OXStreamersMoviesView> weak = std::static_pointer_cast<OXStreamersMoviesView>(self());
  playDelay_.start(kPlayDelay, [weak, ratio] {
    const auto s = weak.lock();
    if (!s || !s->isPlaying_) return;  // cancelled meanwhile
    if (!s->request_.start(s->playingObject_, ratio, s, s->textLoadingPlayer_)) {
      // Nothing to stream: the browser comes back as from a cancel, without an alert.
      s->closeSplashScreen();
      return;
    }
    s->openStream();
  });
}

void OXStreamersMoviesView::openStream() {
  observeExitPlayer();
  std::weak_ptr<OXStreamersMoviesView> weak = std::static_pointer_cast<OXStreamersMoviesView>(self());
  subtitleLookup_.start(request_.record(), subtitleOrder(), [weak](const QVariantList& subtitles) {
    const auto s = weak.lock();
    if (!s) return;
    s->request_.setSubtitles(subtitles);
    s->openPlayerOnStream();
  });
}

OXSubtitleLookup::Order OXStreamersMoviesView::subtitleOrder() const {
  return OXSubtitleLookup::Order::EmptyThenSearch;
}

void OXStreamersMoviesView::streamingDidStart(const QString& address) {
  if (!isPlaying_ || !request_.peerflix() || videoPlayer_) return;
  request_.setAddress(address);
  openPlayerOnStream();
}

void OXStreamersMoviesView::openPlayerOnStream() {
  if (!isPlaying_ || videoPlayer_ || !request_.isReadyToPlay()) return;
  videoPlayer_ = request_.openPlayer();
  if (!videoPlayer_) {
    failureStreaming();
    return;
  }
  videoPlayer_->setDelegate(self());
  clearMusic();
}

void OXStreamersMoviesView::failureStreaming() {
  if (!isPlaying_) return;
  request_.stop();
  stopObservingExit();
  if (const auto w = window()) w->makeKeyAndOrderFront();
  acceptEvents_ = true;
  videoDidClosedWithError(true);
}

void OXStreamersMoviesView::exitPlayerNotification(const ox::Notification& notification) {
  const QVariant percentage = notification.userInfo.value(QStringLiteral("percentage"));
  // The title that was asked for, whatever the row shows by now; once per exit, as the observer goes below.
  const auto movie = std::dynamic_pointer_cast<OXMovie>(request_.record());
  if (percentage.isValid() && movie) {
    ox::log(QStringLiteral("ratio: %1").arg(percentage.toString()));
    OXLibrary::shareLibrary()->setRatioForIMDB(percentage.toFloat(), movie->imdb());
  }
  // Stream and player end, and the browser comes back once.
  closeSplashScreen();
}

void OXStreamersMoviesView::closeSplashScreen() {
  request_.stop();
  MoviesView::closeSplashScreen();
}

void OXStreamersMoviesView::videoDidClosedWithError(bool error) {
  request_.stop();
  stopObservingExit();
  MoviesView::videoDidClosedWithError(error);
}
