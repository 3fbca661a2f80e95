#include "app/MyLayoutManager.h"

#include <algorithm>
#include <limits>

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

bool MyLayoutManager::keepsSublayerValue(const QString& key) const { return key == QLatin1String("isEnable"); }

void MyLayoutManager::place(ox::Layer& item, ox::Layer* holder, bool enabled, quint64 p, quint64 s,
                            double mx) const {
  item.setOpacity(enabled ? 1.0 : 0.0);
  if (p != s) {
    const bool left = p < s;
    const quint64 k = left ? s - p : p - s;
    Transaction::begin();
    Transaction::setDisableActions(true);
    if (holder) holder->setZPosition(zSidePosition_);
    item.setZPosition(zSidePosition_ - double(0.1f) * double(k));
    Transaction::commit();
    if (holder) holder->setTransform(left ? leftTransform_ : rightTransform_);
    item.setSublayerTransform(sidePerspective());
    const double offset = imageSize_.width() * double(k) * rowScaleFactor_ + offSetFactor_;
    item.setPosition(QPointF(left ? mx - offset : mx + offset, 0));
  } else {
    Transaction::begin();
    Transaction::setDisableActions(true);
    if (holder) holder->setZPosition(zCenterPosition_);
    item.setZPosition(zCenterPosition_);
    Transaction::commit();
    if (holder) holder->setTransform(Transform3D::identity());
    item.setSublayerTransform(Transform3D::identity());
    item.setPosition(QPointF(mx, 0));
  }
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
  lastPassCount_ = 0;
  if (items.empty()) {
    hasLast_ = false;
    Transaction::commit();
    return;
  }
  // Made once: a pass reads them for every item of a library of thousands.
  static const QString holderKey = QStringLiteral("__holderLayer"), enableKey = QStringLiteral("isEnable");
  const std::size_t n = items.size();
  const double mx = layer->bounds().center().x();
  const bool sameRow = hasLast_ && last_.row == layer->uniqueId() && last_.count == n;
  const bool sameItems = sameRow && last_.version == layer->sublayersVersion();
  std::vector<std::size_t> enabled;
  if (sameItems) {
    enabled = std::move(last_.enabled);
  } else {
    for (std::size_t i = 0; i < n; ++i)
      if (items[i]->value(enableKey).toBool()) enabled.push_back(i);
  }
  const std::vector<std::size_t>& before = sameItems ? enabled : last_.enabled;
  const quint64 m = enabled.size();

  // The items whose slots lie within reach of the old or the new selection; all of them when anything else changed.
  std::size_t first = 0, last = n - 1;
  if (sameItems && last_.mx == mx) {
    const quint64 a = std::min(last_.selected, s), b = std::max(last_.selected, s);
    const quint64 lo = a > kReach ? a - kReach : 0;
    const quint64 hi = b > std::numeric_limits<quint64>::max() - kReach ? std::numeric_limits<quint64>::max()
                                                                        : b + kReach;
    first = lo == 0 ? 0 : lo - 1 < m ? enabled[std::size_t(lo - 1)] + 1 : n;
    last = hi < m ? enabled[std::size_t(hi)] : n - 1;
  }

  if (first <= last && first < n) {
    // Items the last pass did not reach stand where an older one left them: first where the last pass would have
    // put them, without a move, so that what slides in comes from its place.
    if (sameRow) {
      Transaction::begin();
      Transaction::setDisableActions(true);
      for (std::size_t i = first; i <= last; ++i) {
        if (i >= last_.first && i <= last_.last) continue;
        const auto at = std::lower_bound(before.begin(), before.end(), i);
        ox::Layer& item = *items[i];
        place(item, item.layerValue(holderKey).get(), at != before.end() && *at == i, quint64(at - before.begin()),
              last_.selected, last_.mx);
      }
      Transaction::commit();
    }
    quint64 p = quint64(std::lower_bound(enabled.begin(), enabled.end(), first) - enabled.begin());
    for (std::size_t i = first; i <= last; ++i) {
      ox::Layer& item = *items[i];
      const bool on = p < m && enabled[std::size_t(p)] == i;
      place(item, item.layerValue(holderKey).get(), on, p, s, mx);
      // A hidden item is placed, invisible, in the slot of the next enabled item and takes no slot of its own.
      if (on) ++p;
    }
    lastPassCount_ = last - first + 1;
  }
  last_ = Pass{layer->uniqueId(), layer->sublayersVersion(), n, mx, s, std::move(enabled), first, last};
  hasLast_ = true;
  Transaction::commit();
}
