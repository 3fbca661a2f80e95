#include "app/OXTrailers.h"

#include <QCoreApplication>
#include <QFile>

#include "core/OXDownloadBounds.h"
#include "core/OXLibrary.h"
#include "core/OXServiceHosts.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/Window.h"
#include "playback/OXVideoOSD.h"

using ox::Transaction;

namespace {

const QString kTrailersFolder = QStringLiteral("Trailers");
const QString kTrailersFile = QStringLiteral("trailers_en.ox");
// A list that cannot be had must not hold one of the image queue's two places for long.
constexpr int kListTimeoutMs = 15000;

QString trailerListPath() { return OXLibrary::shareLibrary()->pathWithFolder(kTrailersFolder, kTrailersFile); }

}  // namespace

OXTrailers::OXTrailers(const QRectF& frame) : MoviesView(frame) {}

OXTrailers::~OXTrailers() { closeTrailer(); }

QString OXTrailers::sectionName() const { return QStringLiteral("Trailers"); }

QUrl OXTrailers::trailerListURL() { return QUrl(OXServiceHosts::baseURL(OXService::Bucket) + "/" + kTrailersFile); }

OXLibrary::MovieList OXTrailers::moviesFromTrailerList(const QByteArray& bytes) {
  OXLibrary::MovieList movies;
  if (bytes.isEmpty()) return movies;
  const ox::KeyedUnarchiver archive(bytes);
  if (!archive.isValid()) {
    ox::log(QStringLiteral("Trailers: the trailer list is no keyed archive (%1 bytes)").arg(bytes.size()));
    return movies;
  }
  for (const QVariant& entry : archive.decodeList(QStringLiteral("listS3")))
    if (auto movie = OXMovie::initWithDictionary(entry.toMap())) movies << movie;
  return movies;
}

QList<ox::CodingPtr> OXTrailers::contentList() const {
  const QString path = trailerListPath();
  QFile file(path);
  if (path.isEmpty() || !file.exists()) return fetched_;
  return file.open(QIODevice::ReadOnly) ? sortedByTitle(moviesFromTrailerList(file.readAll())) : QList<ox::CodingPtr>();
}

void OXTrailers::setupLayers() {
  MoviesView::setupLayers();
  const QString path = trailerListPath();
  if (path.isEmpty() || !QFile::exists(path)) fetchTrailerList();
}

void OXTrailers::fetchTrailerList() {
  std::weak_ptr<OXTrailers> weak = std::static_pointer_cast<OXTrailers>(self());
  std::shared_ptr<const ox::HttpCancel> cancel = imageCancel_;
  imageQueue_->addOperationWithBlock([weak, cancel] {
    // Keeping the file is the helper's task: the answer is used, not saved.
    ox::HttpRequest request;
    request.url = trailerListURL();
    request.totalTimeoutMs = kListTimeoutMs;
    request.maxBytes = OXDownloadBounds::kTrailerList;
    request.cancel = cancel;
    const ox::HttpResponse response = ox::httpPerform(request);
    if (!response.isSuccess() || cancel->isCancelled()) return;
    QList<ox::CodingPtr> list = sortedByTitle(moviesFromTrailerList(response.body));
    if (list.isEmpty()) return;
    ox::dispatchMain([weak, cancel, list = std::move(list)] {
      // A view that has left drops the answer; one still on screen fills its row, once.
      const std::shared_ptr<OXTrailers> view = weak.lock();
      if (!view || cancel->isCancelled() || !view->coverflowLayer_->sublayers().empty()) return;
      view->fetched_ = list;
      view->getLibrary();
    });
  });
}

void OXTrailers::keyPlay() {
  if (acceptEvents_) playMovieWithRatio(0);
}

void OXTrailers::playMovieWithRatio(float) {
  showSplashScreen();
  clearMusic();
  acceptEvents_ = false;
  isPlaying_ = true;
  playingObject_ = objectSelected();
  std::weak_ptr<OXTrailers> weak = std::static_pointer_cast<OXTrailers>(self());
  playDelay_.start(kPlayDelay, [weak] {
    if (auto s = weak.lock()) s->openTrailer();
  });
}

void OXTrailers::openTrailer() {
  if (!isPlaying_) return;
  const auto movie = std::dynamic_pointer_cast<OXMovie>(playingObject_);
  const QStringList trailers = movie ? movie->trailers() : QStringList();
  foundationPlayer_ = trailers.isEmpty() ? nullptr : OXFoundationPlayer::initWithURL(QUrl(trailers.first()),
                                                                                    movie->title());
  if (!foundationPlayer_) {
    videoDidClosedWithError(true);
    return;
  }
  foundationPlayer_->setDelegatePlayer(self());
  std::weak_ptr<MoviesView> weak = self();
  endToken_ = ox::NotificationCenter::defaultCenter().addObserver(
      QString::fromLatin1(ox::AVPlayerItemDidPlayToEndTimeNotification), foundationPlayer_->player()->currentItem(),
      [weak](const ox::Notification& n) {
        if (auto s = weak.lock()) s->exitPlayerNotification(n);
      });
  observeExitPlayer();
  clearMusic();
}

void OXTrailers::exitPlayerNotification(const ox::Notification&) {
  // A trailer that could not be played ends its item too; its player says why.
  const std::shared_ptr<ox::AVPlayer> player = foundationPlayer_ ? foundationPlayer_->player() : nullptr;
  const bool failed = player && !player->error().isEmpty();
  videoDidClosedWithError(failed);
  closeTrailer();
  isPlaying_ = false;
  if (const auto w = window()) w->makeKeyAndOrderFront();
}

void OXTrailers::closeTrailer() {
  if (endToken_) ox::NotificationCenter::defaultCenter().removeObserver(endToken_);
  endToken_ = 0;
  stopObservingExit();
  if (const std::shared_ptr<OXFoundationPlayer> window = foundationPlayer_) {
    foundationPlayer_.reset();
    window->setDelegatePlayer(nullptr);
    window->close();
  }
}

void OXTrailers::closeSplashScreen() {
  closeTrailer();
  MoviesView::closeSplashScreen();
}

void OXTrailers::videoDidClosedWithError(bool error) {
  isPlaying_ = false;
  playingObject_.reset();
  if (error) {
    errorPanel_ = OXFullScreenMenu::initAlertWithTexts(
        {QCoreApplication::translate("Localizable", "Sorry, we can't access the trailer.")});
    errorPanel_->open();
  }
  // A splash screen still on its way in stays out.
  ++splashGeneration_;
  startMusic();
  std::weak_ptr<OXTrailers> weak = std::static_pointer_cast<OXTrailers>(self());
  Transaction::begin();
  Transaction::setAnimationDuration(0.3);
  Transaction::setCompletionBlock([weak] {
    if (auto s = weak.lock()) s->acceptEvents_ = true;
  });
  for (const ox::LayerPtr& l : {headerBaseLayer_, movieBackdrop_, coverflowLayer_, footerBaseLayer_}) l->setOpacity(1);
  splashScreen_->setOpacity(0);
  Transaction::commit();
}
