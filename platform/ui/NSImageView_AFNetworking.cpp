#include "platform/ui/NSImageView_AFNetworking.h"

#include <QLabel>
#include <QPixmap>
#include <QPointer>

namespace ox {

namespace {

const char* const kPendingProperty = "af_imageRequestOperation";

AFImageLoader& loader() {
  static AFImageLoader* const shared = new AFImageLoader;  // lives as long as the process
  return *shared;
}

std::shared_ptr<AFHTTPRequestOperation> pendingOf(const QLabel* view) {
  return view ? view->property(kPendingProperty).value<std::shared_ptr<AFHTTPRequestOperation>>() : nullptr;
}

AFImageLoader::Target targetFor(QLabel* view) {
  const QPointer<QLabel> weak(view);
  AFImageLoader::Target t;
  t.alive = [weak] { return !weak.isNull(); };
  t.pending = [weak] { return pendingOf(weak.data()); };
  t.setPending = [weak](const std::shared_ptr<AFHTTPRequestOperation>& op) {
    if (weak) weak->setProperty(kPendingProperty, op ? QVariant::fromValue(op) : QVariant());
  };
  t.show = [weak](const QImage& image) {
    if (weak) weak->setPixmap(QPixmap::fromImage(image));
  };
  return t;
}

}  // namespace

void setImageWithURL(QLabel* view, const QUrl& url, const QImage& placeholder) {
  setImageWithURLRequest(view, AFImageLoader::imageRequest(url), placeholder, nullptr, nullptr);
}

void setImageWithURLRequest(QLabel* view, const HttpRequest& request, const QImage& placeholder,
                            AFImageLoader::Success success, AFImageLoader::Failure failure, qint64 mostPixels) {
  if (!view) return;
  loader().load(targetFor(view), request, placeholder, std::move(success), std::move(failure), mostPixels);
}

void cancelImageRequestOperation(QLabel* view) {
  if (view) AFImageLoader::cancel(targetFor(view));
}

std::shared_ptr<AFHTTPRequestOperation> af_imageRequestOperation(const QLabel* view) { return pendingOf(view); }

OperationQueue& af_sharedImageViewImageRequestOperationQueue() { return loader().queue(); }
AFImageCache& af_sharedImageViewImageCache() { return loader().cache(); }

}  // namespace ox
