// The movie browser's poster layers and the composition of their pictures on the image queue.
#include <QFileInfo>
#include <QPainter>

#include "app/MoviesView.h"
#include "app/OXPosterMaskView.h"
#include "core/OXApplicationSupport.h"
#include "core/OXDownloadBounds.h"
#include "core/OXLibrary.h"
#include "platform/foundation/FileName.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/MainQueue.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/ReplicatorLayer.h"
#include "platform/ui/Images.h"

using ox::Constraint;
using ox::ConstraintAttribute;
using ox::LayerPtr;

namespace {

// A poster that cannot be fetched must not hold one of the queue's two places for long.
constexpr int kPosterConnectTimeoutMs = 5000;
constexpr int kPosterTotalTimeoutMs = 15000;

void centreOn(ox::Layer& l) {
  l.addConstraint(Constraint(ConstraintAttribute::MidX, "superlayer", ConstraintAttribute::MidX));
  l.addConstraint(Constraint(ConstraintAttribute::MidY, "superlayer", ConstraintAttribute::MidY));
}

// The poster picture of a record and the strength of the veil it gets when the title is unavailable: the helper's
// cached copy, else the 500-point-wide one from the network, else the unknown poster, veiled less.
QImage posterPicture(const QUrl& poster, const std::shared_ptr<const ox::HttpCancel>& cancel, double* veilOpacity) {
  *veilOpacity = 1.0;
  const QString name = OXApplicationSupport::cacheFileNameForURL(poster);
  if (!name.isEmpty()) {
    const QString path = OXLibrary::shareLibrary()->pathWithFolder(QStringLiteral("posters"), name);
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
      const QImage cached(path);
      if (!cached.isNull()) return cached;
    }
  }
  const QString wide = OXApplicationSupport::get500ModeFromURL(poster);
  if (!wide.isEmpty()) {
    ox::HttpRequest request;
    request.url = QUrl(wide);
    request.headers = {{"Accept", "image/*"}};
    request.connectTimeoutMs = kPosterConnectTimeoutMs;
    request.totalTimeoutMs = kPosterTotalTimeoutMs;
    request.cancel = cancel;
    request.maxBytes = OXDownloadBounds::kPoster;
    const ox::HttpResponse response = ox::httpPerform(request);
    QImage downloaded;
    if (response.isSuccess() && downloaded.loadFromData(response.body)) return downloaded;
  }
  *veilOpacity = 0.7;
  return ox::imageNamed(QStringLiteral("unknowPoster.jpg"));
}

}  // namespace

LayerPtr MoviesView::newPosterLayer() {
  const QRectF posterBounds(0, 0, posterWidth_, posterHeight_ * 1.5);
  LayerPtr poster = ox::Layer::layer();
  poster->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  poster->setBounds(posterBounds);
  LayerPtr holder = ox::Layer::layer();
  holder->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  holder->setBounds(posterBounds);
  centreOn(*holder);
  auto reflection = ox::ReplicatorLayer::layer();
  reflection->setInstanceCount(2);
  // The second instance is the picture upside down, 2 points below it, darkened.
  reflection->setInstanceTransform(
      ox::Transform3D::translate(ox::Transform3D::makeScale(1, -1, 1), 0, double(posterHeight_) + 2, 0));
  reflection->setInstanceRedOffset(-0.86);
  reflection->setInstanceGreenOffset(-0.86);
  reflection->setInstanceBlueOffset(-0.86);
  centreOn(*reflection);
  LayerPtr image = ox::Layer::layer();
  image->setBounds(QRectF(0, 0, posterWidth_, posterHeight_));
  image->setContentsGravity(ox::Gravity::ResizeAspectFill);
  image->setContents(ox::imageNamed(QStringLiteral("unknowPoster.jpg")));
  reflection->addSublayer(image);
  poster->setValue("__imageLayer", QVariant::fromValue(image));
  poster->setValue("__reflectionLayer", QVariant::fromValue(LayerPtr(reflection)));
  poster->setValue("__holderLayer", QVariant::fromValue(holder));
  poster->setValue("isEnable", true);
  std::weak_ptr<ox::Layer> weakPoster = poster;
  ox::dispatchMain([weakPoster, holder, reflection] {
    const LayerPtr p = weakPoster.lock();
    if (!p) return;
    holder->addSublayer(reflection);
    p->addSublayer(holder);
  });
  return poster;
}

bool MoviesView::isContentDisable(const ox::CodingPtr& record) const {
  const auto* withFile = dynamic_cast<const OXFileAndLinks*>(record.get());
  const std::shared_ptr<OXFile> file = withFile ? withFile->file() : nullptr;
  const QString path = file ? file->filePath() : QString();
  return !path.isEmpty() && !ox::existsAtPath(path);
}

QImage MoviesView::composePoster(const QImage& picture, const QSizeF& canvas, bool unavailable, double veilOpacity) {
  const QSize size = canvas.toSize();
  if (size.isEmpty()) return QImage();
  const QRectF whole(QPointF(0, 0), canvas);
  const QImage frameImage = OXPosterMaskView(whole).imageWithSubviews();
  const QImage cornerMask = OXPosterMaskCornerRadius(whole).imageWithSubviews();
  QImage out(size, QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QPainter p(&out);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!picture.isNull()) p.drawImage(whole, picture);
  if (unavailable) {
    p.setOpacity(veilOpacity);
    p.drawImage(whole, ox::imageNamed(QStringLiteral("posterBlack.png")));
    p.setOpacity(1.0);
  }
  p.drawImage(whole, frameImage);
  p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
  p.drawImage(whole, cornerMask);
  p.end();
  return out;
}

void MoviesView::setImageinPoster(const LayerPtr& poster) {
  if (!poster || !imageQueue_) return;
  const LayerPtr image = poster->layerValue("__imageLayer");
  if (!image) return;
  // Everything the composition needs is read here; the queue's threads never touch a layer or the view.
  const QSizeF canvas = image->frame().size();
  const ox::CodingPtr record = poster->value("modelObject").value<ox::CodingPtr>();
  const OXMediaFields* fields = fieldsOf(record);
  const QUrl address = fields ? fields->poster() : QUrl();
  std::weak_ptr<ox::Layer> target = image;
  std::weak_ptr<MoviesView> weakSelf = self();
  std::shared_ptr<const ox::HttpCancel> cancel = imageCancel_;
  imageQueue_->addOperationWithBlock([target, weakSelf, record, address, canvas, cancel] {
    bool unavailable = false;
    if (std::shared_ptr<MoviesView> view = weakSelf.lock()) {
      unavailable = view->isContentDisable(record);
      // The last hold on a view must go on the main thread, where its layers live.
      ox::dispatchMain([view = std::move(view)] {});
    } else {
      return;
    }
    double veil = 1.0;
    const QImage picture = posterPicture(address, cancel, &veil);
    // The view has left: its downloads were ended and nothing is shown any more.
    if (cancel->isCancelled()) return;
    QImage composed = composePoster(picture, canvas, unavailable, veil);
    if (composed.isNull()) return;
    ox::dispatchMain([target, composed = std::move(composed)] {
      if (const LayerPtr layer = target.lock()) layer->setContents(composed);
    });
  });
}
