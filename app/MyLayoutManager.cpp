#include "app/MyLayoutManager.h"

#include "core/OXPreferencesValues.h"
#include "platform/layers/Layer.h"
#include "platform/layers/Transaction.h"

using ox::Transform3D;
using ox::Transaction;

std::shared_ptr<MyLayoutManager> MyLayoutManager::layoutManagerWithImageSize(const QSizeF& size) {
  return std::make_shared<MyLayoutManager>(size);
}

MyLayoutManager::MyLayoutManager(const QSizeF& size) : imageSize_(size) {
  offSetFactor_ = OXPreferencesValues::sharePreferences()->mainScreenFrame().width() * 0.045;
  const double tilt = double(0.15f);
  leftTransform_ = Transform3D::rotate(Transform3D::makeRotation(tilt, 1, 0, 0), 0.5, 0, 1, 0);
  rightTransform_ = Transform3D::rotate(Transform3D::makeRotation(tilt, 1, 0, 0), -0.5, 0, 1, 0);
}

Transform3D MyLayoutManager::sidePerspective() const {
  Transform3D p;
  p.m24 = -double(0.1f) / zSidePosition_;
  p.m32 = double(0.1f) / zSidePosition_;
  p.m34 = double(0.36f) / zSidePosition_;
  return p;
}

void MyLayoutManager::layoutSublayersOfLayer(ox::Layer* layer) {
  Transaction::begin();
  Transaction::setAnimationDuration(double(0.2f));
  Transaction::setAnimationTimingFunction(ox::TimingFunction::easeOut());
  // Slots and distances are unsigned 64-bit: a negative index lies beyond every slot, far to the left.
  const quint64 s = quint64(layer ? layer->value("selectedIndex").toLongLong() : 0);
  static const std::vector<ox::LayerPtr> none;
  // The pass changes no sublayer list: no copy of thousands of pointers.
  const std::vector<ox::LayerPtr>& items = layer ? layer->sublayers() : none;
  if (items.empty()) {
    Transaction::commit();
    return;
  }
  const Transform3D side = sidePerspective();
  const double w = imageSize_.width(), f = offSetFactor_, zs = zSidePosition_, zc = zCenterPosition_;
  // Made once: a pass reads them for every item of a library of thousands.
  static const QString holderKey = QStringLiteral("__holderLayer"), enableKey = QStringLiteral("isEnable");
  quint64 p = 0;
  for (const auto& item : items) {
    const ox::LayerPtr holder = item->layerValue(holderKey);
    const bool enabled = item->value(enableKey).toBool();
    item->setOpacity(enabled ? 1.0 : 0.0);
    const double mx = layer->bounds().center().x();
    if (p != s) {
      const bool left = p < s;
      const quint64 k = left ? s - p : p - s;
      Transaction::begin();
      Transaction::setDisableActions(true);
      if (holder) holder->setZPosition(zs);
      item->setZPosition(zs - double(0.1f) * double(k));
      Transaction::commit();
      if (holder) holder->setTransform(left ? leftTransform_ : rightTransform_);
      item->setSublayerTransform(side);
      const double offset = w * double(k) * rowScaleFactor_ + f;
      item->setPosition(QPointF(left ? mx - offset : mx + offset, 0));
    } else {
      Transaction::begin();
      Transaction::setDisableActions(true);
      if (holder) holder->setZPosition(zc);
      item->setZPosition(zc);
      Transaction::commit();
      if (holder) holder->setTransform(Transform3D::identity());
      item->setSublayerTransform(Transform3D::identity());
      item->setPosition(QPointF(mx, 0));
    }
    if (enabled) ++p;
  }
  Transaction::commit();
}
