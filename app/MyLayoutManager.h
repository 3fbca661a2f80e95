#pragma once
#include <QSizeF>
#include <memory>

#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transform3D.h"

// Lays out the movie browser's poster row as a cover flow: the selected poster flat in the middle, the others
// turned away and pushed back on either side. Everything is read from key-value entries: "selectedIndex" on the
// row (slots counted over enabled items), "isEnable" and "__holderLayer" on each item. Each pass is one 0.2 s
// ease-out move; depth changes jump.
class MyLayoutManager : public ox::LayoutManager {
 public:
  static std::shared_ptr<MyLayoutManager> layoutManagerWithImageSize(const QSizeF& size);
  // initWithImageSize: takes the screen width from the display preferences, once.
  explicit MyLayoutManager(const QSizeF& size);

  void layoutSublayersOfLayer(ox::Layer* layer) override;

  QSizeF imageSize() const { return imageSize_; }
  double zCenterPosition() const { return zCenterPosition_; }
  double zSidePosition() const { return zSidePosition_; }
  double rowScaleFactor() const { return rowScaleFactor_; }
  double offSetFactor() const { return offSetFactor_; }
  ox::Transform3D leftTransform() const { return leftTransform_; }
  ox::Transform3D rightTransform() const { return rightTransform_; }
  // The perspective given to the items beside the centre.
  ox::Transform3D sidePerspective() const;

 private:
  QSizeF imageSize_;
  double zCenterPosition_ = 10;
  double zSidePosition_ = -300;
  double rowScaleFactor_ = 0.42;
  double offSetFactor_ = 0;
  ox::Transform3D leftTransform_;
  ox::Transform3D rightTransform_;
};
