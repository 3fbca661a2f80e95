#include "platform/layers/ReplicatorLayer.h"

#include <algorithm>

namespace ox {

std::shared_ptr<ReplicatorLayer> ReplicatorLayer::layer() {
  return std::shared_ptr<ReplicatorLayer>(new ReplicatorLayer());
}

void ReplicatorLayer::setInstanceCount(int n) {
  count_ = std::clamp(n, 0, 4096);
  geometryChanged();
  contentChanged();
}
void ReplicatorLayer::setInstanceTransform(const Transform3D& t) {
  instanceTransform_ = t;
  geometryChanged();
  contentChanged();
}
void ReplicatorLayer::setInstanceColor(const QColor& c) {
  instanceColor_ = c.isValid() ? c : QColor(255, 255, 255);
  contentChanged();
}
void ReplicatorLayer::setInstanceRedOffset(double v) {
  offsets_[0] = v;
  contentChanged();
}
void ReplicatorLayer::setInstanceGreenOffset(double v) {
  offsets_[1] = v;
  contentChanged();
}
void ReplicatorLayer::setInstanceBlueOffset(double v) {
  offsets_[2] = v;
  contentChanged();
}
void ReplicatorLayer::setInstanceAlphaOffset(double v) {
  offsets_[3] = v;
  contentChanged();
}

Transform3D ReplicatorLayer::aboutCentre(const Transform3D& step, const QRectF& bounds) {
  const QPointF c = bounds.center();
  return Transform3D::concat(Transform3D::concat(Transform3D::makeTranslation(-c.x(), -c.y(), 0), step),
                             Transform3D::makeTranslation(c.x(), c.y(), 0));
}

void ReplicatorLayer::instanceTint(int i, double out[4]) const {
  const double base[4] = {instanceColor_.redF(), instanceColor_.greenF(), instanceColor_.blueF(),
                          instanceColor_.alphaF()};
  for (int k = 0; k < 4; ++k) out[k] = std::clamp(base[k] + i * offsets_[k], 0.0, 1.0);
}

}  // namespace ox
