#pragma once
#include <QImage>
#include <QUrl>

#include <memory>

#include "platform/foundation/AFHTTPRequestOperation.h"
#include "platform/foundation/ImageDecoder.h"
#include "platform/layers/AFImageLoader.h"
#include "platform/layers/Layer.h"

namespace ox {

// Pictures from addresses, loaded asynchronously into layers. All layers share one download queue and one memory
// cache of downloaded bytes, apart from those of the image views. A new load on a layer replaces the one it still
// had pending, so a reused layer never shows a late, stale picture (the replaced download still fills the cache).
// Main thread only.

// setImageWithURLRequest with a GET for the URL that asks for pictures, and no blocks.
void setImageWithURL(const LayerPtr& layer, const QUrl& url, const QImage& placeholder = QImage());
// A cached picture shows at once, or goes to `success` with no request and no response; otherwise the placeholder
// (when given) shows, the download runs on the shared queue and is decoded there, and the answer shows, or goes to
// `success` or `failure`, on the main thread while the layer's current request is still this one. Without a
// placeholder, and after a failure, the layer keeps the contents it had. A picture that is not whole, or larger than
// `mostPixels` (what the layer's kind can be), is a failure.
void setImageWithURLRequest(const LayerPtr& layer, const HttpRequest& request, const QImage& placeholder,
                            AFImageLoader::Success success, AFImageLoader::Failure failure,
                            qint64 mostPixels = ImageDecoder::kMostPixels);
// Ends the layer's pending load, if any, and its download with it: for a layer whose owner leaves.
void cancelImageRequestOperation(const LayerPtr& layer);
// The layer's pending load; empty when there is none.
std::shared_ptr<AFHTTPRequestOperation> af_imageRequestOperation(const LayerPtr& layer);
// Makes the picture the layer's contents.
void displayImage(const LayerPtr& layer, const QImage& image);

OperationQueue& af_sharedLayerImageRequestOperationQueue();
AFImageCache& af_sharedLayerImageCache();

}  // namespace ox
