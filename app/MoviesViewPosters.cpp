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
#include "platform/foundation/ImageDecoder.h"
#include "platform/foundation/MainQueue.h"
#include "platform/layers/CALayer_AFNetworking.h"
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

// Both at once: one allocation for each of thousands of posters.
void centreOn(ox::Layer& l) {
  l.setConstraints({Constraint(ConstraintAttribute::MidX, "superlayer", ConstraintAttribute::MidX),
                    Constraint(ConstraintAttribute::MidY, "superlayer", ConstraintAttribute::MidY)});
}

// The veil's strength over the unknown poster.
constexpr double kUnknownVeil = 0.7;

// The poster picture of a record and the strength of the veil it gets when the title is unavailable: the helper's
// cached copy, else the 500-point-wide one from the network (kept in the layers' picture cache, so a poster composed
// again does not fetch it again), else the unknown poster, veiled less. `askNetwork` false goes without the network.
// Only a picture that decodes whole within the decoder's bounds counts: a host may serve anything as a poster.
QImage posterPicture(const QUrl& poster, bool askNetwork, const std::shared_ptr<const ox::HttpCancel>& cancel,
                     double* veilOpacity) {
  *veilOpacity = 1.0;
  const QString name = OXApplicationSupport::cacheFileNameForURL(poster);
  if (!name.isEmpty()) {
    const QString path = OXLibrary::shareLibrary()->pathWithFolder(QStringLiteral("posters"), name);
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
      const QImage cached = ox::ImageDecoder::decodeFile(path);
      if (!cached.isNull()) return cached;
    }
  }
  const QString wide = OXApplicationSupport::get500ModeFromURL(poster);
  if (!wide.isEmpty() && askNetwork) {
    ox::HttpRequest request;
    request.url = QUrl(wide);
    request.headers = {{"Accept", "image/*"}};
    request.connectTimeoutMs = kPosterConnectTimeoutMs;
    request.totalTimeoutMs = kPosterTotalTimeoutMs;
    request.cancel = cancel;
    request.maxBytes = OXDownloadBounds::kPoster;
    const QByteArray kept = ox::af_sharedLayerImageCache().cachedImageForRequest(request);
    if (QImage downloaded = ox::ImageDecoder::decode(kept); !downloaded.isNull()) return downloaded;
    const ox::HttpResponse response = ox::httpPerform(request);
    if (QImage downloaded = response.isSuccess() ? ox::ImageDecoder::decode(response.body) : QImage();
        !downloaded.isNull()) {
      ox::af_sharedLayerImageCache().cacheImage(response.body, request);
      return downloaded;
    }
  }
  *veilOpacity = kUnknownVeil;
  return ox::imageNamed(QStringLiteral("unknowPoster.jpg"));
}

}  // namespace

LayerPtr MoviesView::newPosterLayer() {
  LayerPtr poster = ox::Layer::layer();
  poster->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  poster->setBounds(QRectF(0, 0, posterWidth_, posterHeight_ * 1.5));
  poster->setValue("isEnable", true);
  return poster;
}

void MoviesView::addPosterParts(const LayerPtr& poster) {
  const QRectF posterBounds = poster->bounds();
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
  holder->addSublayer(reflection);
  poster->addSublayer(holder);
  // The cover flow turns and sinks the new holder as it does the others.
  coverflowLayer_->setNeedsLayout();
}

void MoviesView::removePosterParts(const LayerPtr& poster) {
  if (const LayerPtr holder = poster->layerValue("__holderLayer")) holder->removeFromSuperlayer();
  for (const char* part : {"__imageLayer", "__reflectionLayer", "__holderLayer"}) poster->setValue(part, QVariant());
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
  const bool askNetwork = !withoutPicture_.count(poster.get());
  std::weak_ptr<ox::Layer> weakPoster = poster;
  std::weak_ptr<ox::Layer> target = image;
  std::weak_ptr<MoviesView> weakSelf = self();
  std::shared_ptr<const ox::HttpCancel> cancel = imageCancel_;
  auto composition = std::make_shared<ox::Operation>();
  std::weak_ptr<ox::Operation> weakComposition = composition;
  composition->addExecutionBlock([weakSelf, weakPoster, target, weakComposition, record, address, canvas, askNetwork,
                                  cancel] {
    bool unavailable = false;
    if (std::shared_ptr<MoviesView> view = weakSelf.lock()) {
      unavailable = view->isContentDisable(record);
      // The last hold on a view must go on the main thread, where its layers live.
      ox::dispatchMain([view = std::move(view)] {});
    } else {
      return;
    }
    double veil = 1.0;
    const QImage picture = posterPicture(address, askNetwork, cancel, &veil);
    // The view has left: its downloads were ended and nothing is shown any more.
    if (cancel->isCancelled()) return;
    QImage composed = composePoster(picture, canvas, unavailable, veil);
    if (composed.isNull()) return;
    const bool found = veil != kUnknownVeil;
    ox::dispatchMain([weakSelf, weakPoster, target, weakComposition, found, composed = std::move(composed)] {
      const std::shared_ptr<MoviesView> view = weakSelf.lock();
      const LayerPtr poster = weakPoster.lock();
      const LayerPtr layer = target.lock();
      const std::shared_ptr<ox::Operation> mine = weakComposition.lock();
      if (!view || !poster || !layer || !mine) return;
      // Gone out of reach meanwhile, or asked for anew since.
      const auto kept = view->pictures_.find(poster);
      if (kept == view->pictures_.end() || kept->second.composition != mine) return;
      kept->second.composition.reset();
      kept->second.composed = true;
      if (!found) view->withoutPicture_.insert(poster.get());
      layer->setContents(composed);
    });
  });
  pictures_[poster].composition = composition;
  imageQueue_->addOperation(std::move(composition));
}

std::vector<LayerPtr> MoviesView::postersNearSelection() const {
  std::vector<LayerPtr> near;
  if (!coverflowLayer_) return near;
  const std::vector<LayerPtr>& browsable = enableMovies_.posters;
  const quint64 n = browsable.size(), s = selectedIndex();
  // Unsigned, as the cover flow counts: an index of -1 lies beyond every poster.
  for (quint64 d = 0; d <= kPictureReach; ++d) {
    if (s >= d && s - d < n) near.push_back(browsable[std::size_t(s - d)]);
    if (d > 0 && s + d > s && s + d < n) near.push_back(browsable[std::size_t(s + d)]);
  }
  return near;
}

void MoviesView::keepPicturesNearSelection() {
  // A view that has left composes nothing more.
  if (!imageQueue_ || imageCancel_->isCancelled()) return;
  const std::vector<LayerPtr> near = postersNearSelection();
  for (const LayerPtr& poster : near) {
    const auto kept = pictures_.find(poster);
    if (kept == pictures_.end()) {
      addPosterParts(poster);
      setImageinPoster(poster);
    } else if (!kept->second.composed && !kept->second.composition) {
      setImageinPoster(poster);
    }
  }
  bool outOfReach = false;
  for (auto& [poster, picture] : pictures_) {
    if (std::find(near.begin(), near.end(), poster) != near.end()) continue;
    outOfReach = true;
    // Not shown yet: it would only take a place in the queue from a poster that will be.
    if (picture.composition) picture.composition->cancel();
    picture.composition.reset();
  }
  if (!outOfReach || pictureRelease_.isPending()) return;
  std::weak_ptr<MoviesView> weak = self();
  pictureRelease_.start(kPictureRelease, [weak] {
    if (const auto s = weak.lock()) s->releaseFarPictures();
  });
}

void MoviesView::releaseFarPictures() {
  const std::vector<LayerPtr> near = postersNearSelection();
  for (auto it = pictures_.begin(); it != pictures_.end();) {
    if (std::find(near.begin(), near.end(), it->first) != near.end()) {
      ++it;
      continue;
    }
    if (it->second.composition) it->second.composition->cancel();
    removePosterParts(it->first);
    it = pictures_.erase(it);
  }
}
