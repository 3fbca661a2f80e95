#include "platform/layers/CALayer_AFNetworking.h"

namespace ox {

namespace {

const QString kPendingKey = QStringLiteral("af_imageRequestOperation");

AFImageLoader& loader() {
  static AFImageLoader* const shared = new AFImageLoader;  // lives as long as the process
  return *shared;
}

AFImageLoader::Target targetFor(const LayerPtr& layer) {
  const std::weak_ptr<Layer> weak = layer;
  AFImageLoader::Target t;
  t.alive = [weak] { return !weak.expired(); };
  t.pending = [weak] {
    auto l = weak.lock();
    return l ? l->value(kPendingKey).value<std::shared_ptr<AFHTTPRequestOperation>>() : nullptr;
  };
  t.setPending = [weak](const std::shared_ptr<AFHTTPRequestOperation>& op) {
    if (auto l = weak.lock()) l->setValue(kPendingKey, op ? QVariant::fromValue(op) : QVariant());
  };
  t.show = [weak](const QImage& image) {
    if (auto l = weak.lock()) displayImage(l, image);
  };
  return t;
}

}  // namespace

void setImageWithURL(const LayerPtr& layer, const QUrl& url, const QImage& placeholder) {
  setImageWithURLRequest(layer, AFImageLoader::imageRequest(url), placeholder, nullptr, nullptr);
}

void setImageWithURLRequest(const LayerPtr& layer, const HttpRequest& request, const QImage& placeholder,
                            AFImageLoader::Success success, AFImageLoader::Failure failure, qint64 mostPixels) {
  if (!layer) return;
  loader().load(targetFor(layer), request, placeholder, std::move(success), std::move(failure), mostPixels);
}

void cancelImageRequestOperation(const LayerPtr& layer) {
  if (layer) AFImageLoader::cancel(targetFor(layer));
}

std::shared_ptr<AFHTTPRequestOperation> af_imageRequestOperation(const LayerPtr& layer) {
  return layer ? targetFor(layer).pending() : nullptr;
}

void displayImage(const LayerPtr& layer, const QImage& image) {
  if (layer) layer->setContents(image);
}

OperationQueue& af_sharedLayerImageRequestOperationQueue() { return loader().queue(); }
AFImageCache& af_sharedLayerImageCache() { return loader().cache(); }

}  // namespace ox
