#pragma once
#include <QImage>
#include <QUrl>

#include <memory>

#include "platform/foundation/AFHTTPRequestOperation.h"
#include "platform/foundation/ImageDecoder.h"
#include "platform/layers/AFImageLoader.h"

class QLabel;

namespace ox {

// Pictures from addresses, loaded asynchronously into image views (labels showing a pixmap), as the layer
// category does for layers, with a queue and a memory cache of their own. Main thread only.

void setImageWithURL(QLabel* view, const QUrl& url, const QImage& placeholder = QImage());
// As for layers: a cached picture at once, else the placeholder (when given) until the decoded answer of the view's
// current request arrives; without a placeholder, and after a failure, the view keeps its picture. A picture that is
// not whole, or larger than `mostPixels`, is a failure.
void setImageWithURLRequest(QLabel* view, const HttpRequest& request, const QImage& placeholder,
                            AFImageLoader::Success success, AFImageLoader::Failure failure,
                            qint64 mostPixels = ImageDecoder::kMostPixels);
// Ends the view's pending load, if any, and its download with it.
void cancelImageRequestOperation(QLabel* view);
std::shared_ptr<AFHTTPRequestOperation> af_imageRequestOperation(const QLabel* view);

OperationQueue& af_sharedImageViewImageRequestOperationQueue();
AFImageCache& af_sharedImageViewImageCache();

}  // namespace ox
