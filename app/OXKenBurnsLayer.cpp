#include "app/OXKenBurnsLayer.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "app/CALayer_Transitions.h"
#include "core/OXPreferencesValues.h"
#include "core/OXTools.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"

using ox::ConstraintAttribute;
using ox::Transform3D;

namespace {

const float kCrossFadeTime = 2.0f;
const float kMotionTime = 16.0f;
const double kFollowUpDelay = 1.0;  // seconds
const double kZoom = double(1.17f);
const double kPan = double(0.0765f);  // of the screen's height

// The pan comes before the zoom, so it moves the picture by 1.17 d = 0.0895 H while the zoom reaches only
// 0.085 H past each edge: a screen-sized picture bares a strip at the top while it is panned down. The pictures
// bleed past the screen by just enough that no motion shows an edge.
QRectF pictureFrame(const QRectF& screen) {
  const double side = std::min(screen.width(), screen.height());
  const double k = side > 0 ? 1.0 / kZoom + 2.0 * kPan * screen.height() / side : 1.0;
  const double w = screen.width() * k, h = screen.height() * k;
  return QRectF((screen.width() - w) / 2, (screen.height() - h) / 2, w, h);
}

void centreOnSuperlayer(ox::Layer& l) {
  l.addConstraint(ox::Constraint(ConstraintAttribute::MidX, "superlayer", ConstraintAttribute::MidX));
  l.addConstraint(ox::Constraint(ConstraintAttribute::MidY, "superlayer", ConstraintAttribute::MidY));
}

}  // namespace

OXKenBurnsLayer::OXKenBurnsLayer() : random_([] { return std::rand(); }) {}

std::shared_ptr<OXKenBurnsLayer> OXKenBurnsLayer::layer() {
  std::shared_ptr<OXKenBurnsLayer> l(new OXKenBurnsLayer());
  l->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  const QRectF screen = OXPreferencesValues::sharePreferences()->mainScreenFrame();
  l->setFrame(QRectF(0, 0, screen.width(), screen.height()));
  centreOnSuperlayer(*l);
  l->setupLayer();
  return l;
}

std::shared_ptr<OXKenBurnsLayer> OXKenBurnsLayer::self() {
  return std::static_pointer_cast<OXKenBurnsLayer>(weak_from_this().lock());
}

void OXKenBurnsLayer::setupLayer() {
  const QRectF screen = OXPreferencesValues::sharePreferences()->mainScreenFrame();
  const QRectF frame = pictureFrame(QRectF(0, 0, screen.width(), screen.height()));
  backdropHomeA_ = ox::Layer::layer();
  backdropHomeA_->setName("backdrop_A");
  backdropHomeA_->setZPosition(5);
  backdropHomeA_->setOpacity(1);
  backdropHomeB_ = ox::Layer::layer();
  backdropHomeB_->setName("backdrop_B");
  backdropHomeB_->setZPosition(4);
  backdropHomeB_->setOpacity(0);
  for (const auto& l : {backdropHomeA_, backdropHomeB_}) {
    l->setFrame(frame);
    l->setContentsGravity(ox::Gravity::ResizeAspectFill);
    centreOnSuperlayer(*l);
  }
  addSublayer(backdropHomeA_);
  addSublayer(backdropHomeB_);
}

void OXKenBurnsLayer::nextWithImage(const QImage& image) {
  const ox::LayerPtr incoming = backActiveA_ ? backdropHomeB_ : backdropHomeA_;
  const ox::LayerPtr outgoing = backActiveA_ ? backdropHomeA_ : backdropHomeB_;
  incoming->setContents(QImage());
  incoming->setContents(image);
  setAnimationToOpacity(incoming, 1.0f, kCrossFadeTime);
  setAnimationToOpacity(outgoing, 0.0f, kCrossFadeTime);
  backActiveA_ = !backActiveA_;
  kenburns(kRandomCase);
}

int OXKenBurnsLayer::caseForRandomValue(int r) {
  // rand() goes through a float and back: values that round up to 2^31 land on the most negative integer, whose
  // remainder is -2, so the case is -1 (run as case 1).
  const float f = float(r);
  const qint32 truncated = (f >= 2147483648.0f || f < -2147483648.0f) ? INT32_MIN : qint32(f);
  return 1 + truncated % 7;
}

Transform3D OXKenBurnsLayer::zoomWithPan(double tx, double ty) {
  return Transform3D::translate(Transform3D::makeScale(kZoom, kZoom, kZoom), tx, ty, 0);
}

double OXKenBurnsLayer::panDistance() const { return kPan * OXPreferencesValues::sharePreferences()->mainScreenFrame().height(); }

void OXKenBurnsLayer::kenburns(quint64 c) {
  const ox::LayerPtr target = backActiveA_ ? backdropHomeA_ : backdropHomeB_;
  qint64 chosen = qint64(c);
  if (c == kRandomCase) chosen = caseForRandomValue(random_ ? random_() : 0);
  const double d = panDistance();
  switch (chosen) {
    case 2:
      target->setTransform(zoomWithPan(0, -d));
      performAfterDelay(&OXKenBurnsLayer::applyIdentityTransformToLayer, target);
      break;
    case 3:
      target->setTransform(zoomWithPan(d, -d));
      performAfterDelay(&OXKenBurnsLayer::applyTransformCase3ToLayer, target);
      break;
    case 4:
      target->setTransform(zoomWithPan(-d, -d));
      performAfterDelay(&OXKenBurnsLayer::applyTransformCase4ToLayer, target);
      break;
    case 5:
      target->setTransform(zoomWithPan(-d, -d));
      performAfterDelay(&OXKenBurnsLayer::applyIdentityTransformToLayer, target);
      break;
    case 6: applyTransformCase3ToLayer(target); break;
    case 7: applyTransformCase4ToLayer(target); break;
    default: setTransform(zoomWithPan(0, -d), target, kMotionTime); break;  // case 1 and anything else
  }
}

void OXKenBurnsLayer::performAfterDelay(void (OXKenBurnsLayer::*op)(const ox::LayerPtr&), const ox::LayerPtr& layer) {
  std::shared_ptr<OXKenBurnsLayer> keep = self();
  if (!keep) return;
  // Holds this layer and the picture layer until it has run; never cancelled.
  performBlockAfterDelay([keep, layer, op] { ((*keep).*op)(layer); }, kFollowUpDelay);
}

void OXKenBurnsLayer::applyIdentityTransformToLayer(const ox::LayerPtr& layer) {
  setTransform(Transform3D::identity(), layer, kMotionTime);
}

void OXKenBurnsLayer::applyTransformCase3ToLayer(const ox::LayerPtr& layer) {
  const double d = panDistance();
  setTransform(zoomWithPan(-d, -d), layer, kMotionTime);
}

void OXKenBurnsLayer::applyTransformCase4ToLayer(const ox::LayerPtr& layer) {
  const double d = panDistance();
  setTransform(zoomWithPan(d, -d), layer, kMotionTime);
}

void OXKenBurnsLayer::setTransform(const Transform3D& transform, const ox::LayerPtr& layer, float time) {
  if (!layer) return;
  ox::Transaction::begin();
  ox::Transaction::setAnimationDuration(double(time));
  ox::Transaction::setAnimationTimingFunction(ox::TimingFunction::easeOut());
  layer->setTransform(transform);
  ox::Transaction::commit();
}
