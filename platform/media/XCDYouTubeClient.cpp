#include "platform/media/XCDYouTubeClient.h"

#include <vlc/vlc.h>

#include <QUrlQuery>
#include <mutex>

#include "platform/foundation/Info.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"
#include "platform/media/VLCLibrary.h"

namespace ox {

namespace {
constexpr int kParseTimeoutMs = 15000;
const char kSiteKey[] = "OXVideoSiteHost";
const char kDefaultSite[] = "https://www.youtube.com";

void registerOverride() {
  static std::once_flag once;
  std::call_once(once, [] {
    registerInfoEnvironmentOverride(QString::fromLatin1(kSiteKey), QStringLiteral("OMBRIX_VIDEO_SITE_URL"));
  });
}

// The player opens whatever its scheme names (files, devices, screen capture), and a page is the site's to write:
// only a web address is a stream.
bool isWebStream(const QUrl& stream) {
  return stream.isValid() && (stream.scheme() == u"http" || stream.scheme() == u"https") && !stream.host().isEmpty();
}

int formatOf(const QUrl& stream) {
  bool ok = false;
  const int itag = QUrlQuery(stream).queryItemValue(QStringLiteral("itag")).toInt(&ok);
  return ok ? itag : 0;
}
}  // namespace

// One watch page being read by libvlc. libvlc's parse event only posts to the main thread, through a weak
// reference, so a resolution that is gone by then is simply not finished.
struct XCDYouTubeClient::Resolution {
  QString identifier;
  Completion completion;
  libvlc_media_t* media = nullptr;
  std::weak_ptr<Resolution>* eventContext = nullptr;

  ~Resolution() {
    if (!media) return;
    libvlc_media_parse_stop(media);
    libvlc_event_detach(libvlc_media_event_manager(media), libvlc_MediaParsedChanged, &Resolution::onParsed,
                        eventContext);
    libvlc_media_release(media);
    delete eventContext;
  }

  // libvlc's preparser thread, with the media's event lock held: leave at once.
  static void onParsed(const libvlc_event_t*, void* opaque) {
    std::weak_ptr<Resolution> weak = *static_cast<std::weak_ptr<Resolution>*>(opaque);
    dispatchMain([weak] {
      if (auto self = weak.lock()) XCDYouTubeClient::defaultClient().finish(self);
    });
  }

  // Every web address the playlist scripts found on the page.
  std::shared_ptr<XCDYouTubeVideo> video() const {
    if (!media || libvlc_media_get_parsed_status(media) != libvlc_media_parsed_status_done) return nullptr;
    auto video = std::make_shared<XCDYouTubeVideo>();
    video->identifier = identifier;
    if (libvlc_media_list_t* entries = libvlc_media_subitems(media)) {
      libvlc_media_list_lock(entries);
      for (int i = 0, n = libvlc_media_list_count(entries); i < n; ++i) {
        libvlc_media_t* entry = libvlc_media_list_item_at_index(entries, i);
        if (!entry) continue;
        if (char* mrl = libvlc_media_get_mrl(entry)) {
          const QUrl stream = QUrl::fromEncoded(QByteArray(mrl));
          libvlc_free(mrl);
          if (isWebStream(stream) && !video->streamURLs.contains(formatOf(stream)))
            video->streamURLs.insert(formatOf(stream), stream);
        }
        libvlc_media_release(entry);
      }
      libvlc_media_list_unlock(entries);
      libvlc_media_list_release(entries);
    }
    return video->streamURLs.isEmpty() ? nullptr : video;
  }
};

// Pages still being read when libvlc is released are dropped unanswered: the program is ending.
XCDYouTubeClient::XCDYouTubeClient() {
  VLCLibrary::addHolder([this] { pending_.clear(); });
}

XCDYouTubeClient& XCDYouTubeClient::defaultClient() {
  static XCDYouTubeClient* client = new XCDYouTubeClient;  // never destroyed: libvlc may still answer at exit
  return *client;
}

QUrl XCDYouTubeClient::watchPageURL(const QString& identifier) {
  registerOverride();
  QString site = infoValue(QString::fromLatin1(kSiteKey)).toString().trimmed();
  if (site.isEmpty()) site = QString::fromLatin1(kDefaultSite);
  while (site.endsWith(QLatin1Char('/'))) site.chop(1);
  return QUrl::fromEncoded(site.toUtf8() + "/watch?v=" + QUrl::toPercentEncoding(identifier));
}

void XCDYouTubeClient::getVideoWithIdentifier(const QString& identifier, Completion completion) {
  auto resolution = std::make_shared<Resolution>();
  resolution->identifier = identifier;
  resolution->completion = std::move(completion);
  pending_.insert(resolution);
  const QUrl page = watchPageURL(identifier);
  libvlc_instance_t* vlc = VLCLibrary::sharedInstance();
  if (!identifier.isEmpty() && vlc && page.isValid())
    resolution->media = libvlc_media_new_location(vlc, page.toEncoded().constData());
  if (resolution->media) {
    resolution->eventContext = new std::weak_ptr<Resolution>(resolution);
    libvlc_event_attach(libvlc_media_event_manager(resolution->media), libvlc_MediaParsedChanged,
                        &Resolution::onParsed, resolution->eventContext);
    if (libvlc_media_parse_with_options(resolution->media, libvlc_media_parse_network, kParseTimeoutMs) == 0) return;
  }
  // Nothing to read: the answer still comes at a later turn, as a resolved one would.
  std::weak_ptr<Resolution> weak = resolution;
  dispatchMain([weak] {
    if (auto self = weak.lock()) XCDYouTubeClient::defaultClient().finish(self);
  });
}

void XCDYouTubeClient::finish(const std::shared_ptr<Resolution>& resolution) {
  if (!pending_.erase(resolution)) return;
  std::shared_ptr<XCDYouTubeVideo> video = resolution->video();
  if (!video) log(QStringLiteral("XCDYouTubeClient: no stream for \"%1\"").arg(resolution->identifier));
  if (resolution->completion) resolution->completion(std::move(video));
}

}  // namespace ox
