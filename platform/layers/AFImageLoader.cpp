#include "platform/layers/AFImageLoader.h"

#include <QBuffer>
#include <QImageReader>

#include "platform/foundation/ImageDecoder.h"

namespace ox {

namespace {

bool looksLikeImage(const QByteArray& data) {
  QBuffer buffer;
  buffer.setData(data);
  buffer.open(QIODevice::ReadOnly);
  return !QImageReader::imageFormat(&buffer).isEmpty();
}

}  // namespace

AFImageLoader::AFImageLoader() : m_queue(-1) {}

HttpRequest AFImageLoader::imageRequest(const QUrl& url, qint64 maxBytes) {
  HttpRequest request;
  request.url = url;
  request.maxBytes = maxBytes;
  request.headers.append(qMakePair(QByteArray("Accept"), QByteArray("image/*")));
  return request;
}

void AFImageLoader::cancel(const Target& target) {
  if (auto op = target.pending()) {
    op->cancel();
    target.setPending(nullptr);
  }
}

void AFImageLoader::load(const Target& target, const HttpRequest& request, const QImage& placeholder, Success success,
                         Failure failure, qint64 mostPixels) {
  if (auto op = target.pending()) {
    op->abandon();
    target.setPending(nullptr);
  }
  if (const QByteArray cached = m_cache.cachedImageForRequest(request); !cached.isNull()) {
    if (success) {
      success(nullptr, nullptr, cached);
    } else if (const QImage image = ImageDecoder::decode(cached, mostPixels); !image.isNull()) {
      target.show(image);
    }
    target.setPending(nullptr);
    return;
  }
  if (!placeholder.isNull()) target.show(placeholder);

  auto op = AFHTTPRequestOperation::initWithRequest(request);
  auto decoded = std::make_shared<QImage>();
  const bool wantsImage = !success;
  AFImageCache* cache = &m_cache;
  op->setResponseProcessor(
      [decoded, wantsImage, cache, mostPixels](AFHTTPRequestOperation& self, const QByteArray& data) {
        if (!looksLikeImage(data)) return !wantsImage;
        // Decoded even when nothing will show it: only a picture the object's kind can be is cached.
        QImage image = ImageDecoder::decode(data, mostPixels);
        if (image.isNull()) return false;
        if (wantsImage && !self.isCancelled()) *decoded = std::move(image);
        cache->cacheImage(data, self.request());
        return true;
      });
  // A later load on the object has replaced its pending operation, so only the current request gets through.
  auto current = [target, request](AFHTTPRequestOperation& self) {
    if (!target.alive()) return false;
    auto pending = target.pending();
    if (!pending || pending->request() != request) return false;
    if (pending.get() == &self) target.setPending(nullptr);
    return true;
  };
  op->setCompletionBlockWithSuccess(
      [target, current, decoded, success = std::move(success)](AFHTTPRequestOperation& self, const QByteArray& data) {
        if (!current(self)) return;
        if (success) {
          const HttpResponse response = self.response();
          success(&self.request(), &response, data);
        } else {
          target.show(*decoded);
        }
      },
      [current, failure = std::move(failure)](AFHTTPRequestOperation& self, const QString& error) {
        if (!current(self)) return;
        if (failure) failure(self.request(), self.response(), error);
      });
  target.setPending(op);
  op->addToQueue(m_queue);
}

}  // namespace ox
