#pragma once
#include "platform/layers/Layer.h"

namespace ox {

// Draws its sublayers `instanceCount` times. Instance i is carried by the instance transform applied i times,
// about the middle of the replicator's bounds, and tinted by the instance colour plus i times the colour offsets
// (components clamped to 0..1, multiplied into what the instance draws).
class ReplicatorLayer : public Layer {
 public:
  static std::shared_ptr<ReplicatorLayer> layer();
  int instanceCount() const { return count_; }
  void setInstanceCount(int n);
  Transform3D instanceTransform() const { return instanceTransform_; }
  void setInstanceTransform(const Transform3D& t);
  QColor instanceColor() const { return instanceColor_; }
  void setInstanceColor(const QColor& c);
  double instanceRedOffset() const { return offsets_[0]; }
  double instanceGreenOffset() const { return offsets_[1]; }
  double instanceBlueOffset() const { return offsets_[2]; }
  double instanceAlphaOffset() const { return offsets_[3]; }
  void setInstanceRedOffset(double v);
  void setInstanceGreenOffset(double v);
  void setInstanceBlueOffset(double v);
  void setInstanceAlphaOffset(double v);
  // The tint of instance i as red, green, blue and alpha factors.
  void instanceTint(int i, double out[4]) const;
  // An instance's step (the instance transform applied some number of times) about the middle of `bounds`, the
  // replicator's bounds as shown.
  static Transform3D aboutCentre(const Transform3D& step, const QRectF& bounds);

 protected:
  ReplicatorLayer() = default;

 private:
  int count_ = 1;
  Transform3D instanceTransform_;
  QColor instanceColor_{255, 255, 255};
  double offsets_[4] = {0, 0, 0, 0};
};

}  // namespace ox
