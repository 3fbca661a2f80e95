#include "playback/OXPlayerController.h"

#include <QUrl>
#include <vector>

#include "core/OXEpisode.h"
#include "core/OXTools.h"
#include "platform/foundation/Log.h"
#include "platform/media/XCDYouTubeClient.h"

using namespace ox;

namespace {
constexpr qsizetype kLongestEpisodeTitle = 40;
// What marks a trailer of the movie record as one on the video site.
const char kTrailerHost[] = "youtube.com";
constexpr int kTrailerFormat = 22;  // the site's 720p MP4

// The controllers alive, for the program's end; never destroyed, as a controller may go during the process's own
// teardown. Main thread.
std::vector<OXPlayerController*>& liveControllers() {
  static auto* live = new std::vector<OXPlayerController*>;
  return *live;
}

const char* stateName(int state) {
  switch (state) {
    case VLCMediaPlayerStateStopped: return "VLCMediaPlayerStateStopped";
    case VLCMediaPlayerStateOpening: return "VLCMediaPlayerStateOpening";
    case VLCMediaPlayerStateBuffering: return "VLCMediaPlayerStateBuffering";
    case VLCMediaPlayerStateEnded: return "VLCMediaPlayerStateEnded";
    case VLCMediaPlayerStateError: return "VLCMediaPlayerStateError";
    case VLCMediaPlayerStatePlaying: return "VLCMediaPlayerStatePlaying";
    case VLCMediaPlayerStatePaused: return "VLCMediaPlayerStatePaused";
    default: return nullptr;
  }
}
}  // namespace

QString OXPlayerController::displayTitle(const CodingPtr& data) {
  if (auto movie = std::dynamic_pointer_cast<OXMovie>(data)) return movie->title();
  if (auto episode = std::dynamic_pointer_cast<OXEpisode>(data)) {
    QString title = episode->title();
    if (title.size() > kLongestEpisodeTitle) title.truncate(kLongestEpisodeTitle);
    return QStringLiteral("%1x%2 - %3").arg(episode->seasonNumber()).arg(episode->episodeNumber()).arg(title);
  }
  return QString();
}

std::shared_ptr<OXPlayerController> OXPlayerController::initWithData(const CodingPtr& data, float option,
                                                                     const QVariantList& subtitles) {
  return start(data, option, subtitles, nullptr);
}

std::shared_ptr<OXPlayerController> OXPlayerController::initWithData(const CodingPtr& data, float option,
                                                                     const QVariantList& subtitles,
                                                                     const QString& andAddressPort) {
  return start(data, option, subtitles, &andAddressPort);
}

std::shared_ptr<OXPlayerController> OXPlayerController::start(const CodingPtr& data, float option,
                                                              const QVariantList& subtitles, const QString* address) {
  std::shared_ptr<OXPlayerController> c(new OXPlayerController);
  c->subtitleArray_ = subtitles;
  const QString title = displayTitle(data);
  if (address) {
    c->videoPlayerCore_ = OXVideoPlayer::initWithLocalStreaming(*address);
  } else {
    std::shared_ptr<OXFile> file;
    if (auto movie = std::dynamic_pointer_cast<OXMovie>(data))
      file = movie->file();
    else if (auto episode = std::dynamic_pointer_cast<OXEpisode>(data))
      file = episode->file();
    const QString path = file ? file->filePath() : QString();
    if (!path.isEmpty()) c->videoPlayerCore_ = OXVideoPlayer::initWithSource(path);
  }
  if (!c->videoPlayerCore_) {
    // Nothing to play: the caller hears so once it has set its delegate, rather than waiting for a start that
    // never comes.
    ox::log(QStringLiteral("OXPlayerController: nothing to play for \"%1\"").arg(title));
    c->ratio_ = option;
    c->closeOnNextTurn();
    return c;
  }
  c->playWithTitle(title);
  c->ratio_ = option;
  return c;
}

void OXPlayerController::playWithTitle(const QString& title) {
  std::shared_ptr<VLCMediaPlayer> player = videoPlayerCore_->player();
  player->setDelegate(this);
  player->play();
  videoPlayerOSD_ = OSDWindow::initWithTitle(title, player);
}

std::shared_ptr<OXPlayerController> OXPlayerController::initWithTrailers(const std::shared_ptr<OXMovie>& movie,
                                                                         float option, const QVariantList& subtitles) {
  if (!movie) return nullptr;
  QString trailer;
  for (const QString& t : movie->trailers()) {
    if (t.contains(QLatin1String(kTrailerHost))) {
      trailer = t;
      break;
    }
  }
  if (trailer.isEmpty()) return nullptr;
  ox::log(QStringLiteral("urlTrailerStr : %1").arg(trailer));
  const QUrl url(trailer);
  if (!url.isValid()) return nullptr;
  std::shared_ptr<OXPlayerController> c(new OXPlayerController);
  c->subtitleArray_ = subtitles;
  c->ratio_ = option;
  // The video's identifier: what follows "?v=", up to the next "&". A link without one resolves to nothing.
  const QString text = url.toString();
  const qsizetype at = text.indexOf(QLatin1String("?v="));
  const QString identifier = at < 0 ? QString() : text.mid(at + 3).section(QLatin1Char('&'), 0, 0);
  std::weak_ptr<OXPlayerController> weak = c;
  XCDYouTubeClient::defaultClient().getVideoWithIdentifier(
      identifier, [weak, title = movie->title()](std::shared_ptr<XCDYouTubeVideo> video) {
        if (auto self = weak.lock()) self->playTrailer(video, title);
      });
  return c;
}

void OXPlayerController::playTrailer(const std::shared_ptr<XCDYouTubeVideo>& video, const QString& title) {
  if (closed_) return;
  // The 720p stream when there is one, else whichever the site offers first.
  QUrl stream;
  if (video && !video->streamURLs.isEmpty())
    stream = video->streamURLs.value(kTrailerFormat, video->streamURLs.first());
  if (!stream.isEmpty()) videoPlayerCore_ = OXVideoPlayer::initWithSource(QVariant::fromValue(stream));
  if (!videoPlayerCore_) {
    close(true);
    return;
  }
  playWithTitle(title);
}

OXPlayerController::OXPlayerController() { liveControllers().push_back(this); }

OXPlayerController::~OXPlayerController() {
  std::erase(liveControllers(), this);
  if (closed_) return;
  // Dropped without close: the windows must not stay on screen with a player running on.
  if (videoPlayerCore_) {
    if (auto player = videoPlayerCore_->player()) {
      player->setDelegate(nullptr);
      player->stop();
    }
    videoPlayerCore_->close();
  }
  if (videoPlayerOSD_) videoPlayerOSD_->close();
}

void OXPlayerController::closeOnNextTurn() {
  std::weak_ptr<OXPlayerController> weak = weak_from_this();
  performBlockAfterDelay(
      [weak] {
        if (auto self = weak.lock()) self->close(true);
      },
      0);
}

void OXPlayerController::mediaPlayerTimeChanged(const VLCNotification& notification) {
  if (!videoPlayerCore_ || loaded_ || closed_ || !notification.object) return;
  loaded_ = true;
  VLCMediaPlayer* player = notification.object;
  std::shared_ptr<OXPlayerController> keep = shared_from_this();
  // From the start there is nothing to seek; libvlc ends a stream whose server takes no byte ranges on a seek to 0.
  if (ratio_ > 0) player->setPosition(ratio_);
  videoPlayerCore_->orderFront();
  videoPlayerOSD_->makeKeyAndOrderFront();
  videoPlayerOSD_->makeMainWindow();
  if (delegate_) delegate_->videoDidLoaded();
  if (closed_) return;  // the delegate closed at once
  std::shared_ptr<OXVideoOSD> osd = videoPlayerOSD_->osd();
  player->setDelegate(osd.get());
  osd->createOptionsRoll(subtitleArray_);
  osd->mediaPlayerTimeChanged(notification);
}

void OXPlayerController::mediaPlayerStateChanged(const VLCNotification& notification) {
  if (closed_ || !notification.object) return;
  ox::log(QStringLiteral("mediaPlayerStateChanged"));
  const int state = notification.object->state();
  if (const char* name = stateName(state)) ox::log(QString::fromLatin1(name));
  switch (state) {
    case VLCMediaPlayerStateStopped:
    case VLCMediaPlayerStatePaused:
    // Over before it showed anything: unplayable, or nothing to show.
    case VLCMediaPlayerStateEnded:
    case VLCMediaPlayerStateError:
      close(true);
      break;
    default:
      break;
  }
}

void OXPlayerController::close(bool error) {
  if (closed_) return;
  closed_ = true;
  // The delegate may drop the controller when told; it stays alive until this call is done.
  std::shared_ptr<OXPlayerController> keep = shared_from_this();
  if (videoPlayerCore_) {
    if (auto player = videoPlayerCore_->player()) {
      player->stop();
      player->setDelegate(nullptr);
    }
    videoPlayerCore_->close();
  }
  if (videoPlayerOSD_) videoPlayerOSD_->close();
  if (delegate_) delegate_->videoDidClosedWithError(error);
}

void OXPlayerController::leaveEveryPlayback() {
  std::vector<std::shared_ptr<OXPlayerController>> open;
  for (OXPlayerController* c : liveControllers())
    if (auto self = c->weak_from_this().lock(); self && !self->closed_) open.push_back(self);
  for (const auto& c : open) {
    if (c->loaded_ && !c->closed_) c->videoPlayerOSD_->osd()->exitPlayback();
    c->close(false);
  }
}
