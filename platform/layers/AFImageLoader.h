#pragma once
#include <QByteArray>
#include <QImage>
#include <QUrl>

#include <functional>
#include <memory>

#include "platform/foundation/AFHTTPRequestOperation.h"
#include "platform/foundation/AFImageCache.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/OperationQueue.h"

namespace ox {

// The picture loading that the layer and the image-view categories share. Each category owns one loader, so each
// has its own queue and its own cache. Main thread only, but for the downloads and the decoding, which run on the
// queue.
class AFImageLoader {
 public:
  // A cache hit passes no request and no response, only the data.
  using Success = std::function<void(const HttpRequest* request, const HttpResponse* response, const QByteArray& data)>;
  using Failure = std::function<void(const HttpRequest& request, const HttpResponse& response, const QString& error)>;

  // How the loader reaches one object. `alive` guards the others once the load has left the calling turn.
  struct Target {
    std::function<bool()> alive;
    std::function<std::shared_ptr<AFHTTPRequestOperation>()> pending;
    std::function<void(const std::shared_ptr<AFHTTPRequestOperation>&)> setPending;
    std::function<void(const QImage&)> show;
  };

  AFImageLoader();
  AFImageLoader(const AFImageLoader&) = delete;
  AFImageLoader& operator=(const AFImageLoader&) = delete;

  OperationQueue& queue() { return m_queue; }
  AFImageCache& cache() { return m_cache; }

  // A GET for the URL that asks for pictures ("Accept: image/*"); the client keeps no cookies. `maxBytes` is what a
  // picture of the caller's kind can be (zero: the client's own bound).
  static HttpRequest imageRequest(const QUrl& url, qint64 maxBytes = 0);

  // Replaces the object's pending load, then: a cached picture shows at once (or goes to `success`) and nothing is
  // sent; otherwise the placeholder, when there is one, shows until the download has been decoded on the queue. What
  // the object showed before stays when there is no placeholder, and stays on failure. Only the object's current
  // request shows when it arrives; every answer that is a picture is cached, shown or not, so a replaced download
  // still runs to its end. A picture is one that ImageDecoder reads whole within `mostPixels`, what the caller's kind
  // can be: any other fails (with `success` too) and is not cached; one over the bound is not decoded past its header.
  void load(const Target& target, const HttpRequest& request, const QImage& placeholder, Success success,
            Failure failure, qint64 mostPixels);
  // Ends the object's pending load, its download with it: nothing of it shows or is cached.
  static void cancel(const Target& target);

 private:
  OperationQueue m_queue;
  AFImageCache m_cache;
};

}  // namespace ox
