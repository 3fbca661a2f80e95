#pragma once
#include <QMap>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <set>

namespace ox {

// A video of the video site with the addresses of its streams by format key, the site's "itag" (22 is 720p MP4,
// 18 is 360p MP4); an address that carries no format is filed under 0.
struct XCDYouTubeVideo {
  QString identifier;
  QMap<int, QUrl> streamURLs;
};

// Resolves a video identifier of the video site to its streams: libvlc reads the video's watch page with its
// playlist scripts, and each http or https address they find is one stream (other entries are passed over). The
// watch page is "<site>/watch?v=<identifier>", where the site is the information value "OXVideoSiteHost"
// (environment OMBRIX_VIDEO_SITE_URL), https://www.youtube.com by default. Main thread only.
class XCDYouTubeClient {
 public:
  using Completion = std::function<void(std::shared_ptr<XCDYouTubeVideo> video)>;

  // Made on first use and kept for the life of the process.
  static XCDYouTubeClient& defaultClient();

  // Calls completion once, on the main thread at a later turn: the video, or nullptr when nothing resolves (an empty
  // identifier, a page that cannot be read or names no web stream, no answer within 15 s).
  void getVideoWithIdentifier(const QString& identifier, Completion completion);

  static QUrl watchPageURL(const QString& identifier);

 private:
  struct Resolution;
  XCDYouTubeClient();
  void finish(const std::shared_ptr<Resolution>& resolution);

  std::set<std::shared_ptr<Resolution>> pending_;
};

}  // namespace ox
