#include "playback/RollLayout.h"

#include <cmath>

#include "platform/layers/TextLayer.h"
#include "platform/layers/Transaction.h"

using ox::Transaction;
using ox::Transform3D;

namespace {

struct RowStyle {
  double offset, angle, scale, opacity, dimmedOpacity;
};

RowStyle styleFor(qint64 d) {
  if (d <= -3) return {0.285, -M_PI / 2, 0.6, 0.0, 0.0};
  if (d == -2) return {0.27, -M_PI / 5, 0.7, 0.2, 0.1};
  if (d == -1) return {0.15, -2 * M_PI / 25, 0.8, 0.5, 0.2};
  if (d == 0) return {0.0, 0.0, 1.0, 1.0, 0.3};
  if (d == 1) return {-0.15, 2 * M_PI / 25, 0.8, 0.5, 0.2};
  if (d == 2) return {-0.27, M_PI / 5, 0.7, 0.2, 0.1};
  return {-0.285, M_PI / 2, 0.6, 0.0, 0.0};
}

}  // namespace

std::shared_ptr<RollLayout> RollLayout::layoutManagerWithImageSize(const QSizeF& size) {
  return std::make_shared<RollLayout>(size);
}

RollLayout::RollLayout(const QSizeF& size) : imageSize_(size) {}

void RollLayout::placeRow(const ox::LayerPtr& row, qint64 d, bool focused, const ox::Layer& roll,
                          const QSizeF& imageSize, double zSidePosition) {
  const RowStyle st = styleFor(d);
  const ox::LayerPtr holder = row->layerValue("__holderLayer");
  if (auto text = std::dynamic_pointer_cast<ox::TextLayer>(holder)) text->setForegroundColor(Qt::white);
  const double opacity = focused ? st.opacity : st.dimmedOpacity;
  if (d != 0) {
    if (holder) {
      holder->setTransform(Transform3D::scale(Transform3D::makeRotation(st.angle, 1, 0, 0), st.scale, st.scale,
                                              st.scale));
    }
    Transform3D p;
    p.m24 = -0.1 / zSidePosition;
    p.m32 = 0.1 / zSidePosition;
    p.m34 = 0.36 / zSidePosition;
    row->setSublayerTransform(p);
    if (holder) holder->setOpacity(opacity);
  } else {
    row->setSublayerTransform(Transform3D::identity());
    if (holder) {
      holder->setOpacity(opacity);
      holder->setTransform(Transform3D::identity());
    }
  }
  const QRectF b = roll.bounds();
  row->setPosition(QPointF(b.center().x(), b.center().y() + st.offset * imageSize.height()));
}

void RollLayout::layoutSublayersOfLayer(ox::Layer* roll) {
  if (!roll) return;
  const std::vector<ox::LayerPtr> rows = roll->sublayers();
  const qint64 s = roll->value("selectedIndex").toLongLong();
  const qint32 type = roll->value("type").toInt();
  if (rows.empty()) return;
  Transaction::begin();
  Transaction::setAnimationDuration(0.2);
  for (std::size_t i = 0; i < rows.size(); ++i)
    placeRow(rows[i], qint64(i) - s, type != -1, *roll, imageSize_, zSidePosition_);
  Transaction::commit();
}

// ---------------------------------------------------------------------------------------------------------------

std::shared_ptr<OXInfiniteRollLayout> OXInfiniteRollLayout::layoutManagerWithImageSize(const QSizeF& size,
                                                                                       const QVariantMap& parameters) {
  return std::make_shared<OXInfiniteRollLayout>(size, parameters);
}

OXInfiniteRollLayout::OXInfiniteRollLayout(const QSizeF& size, const QVariantMap& parameters)
    : imageSize_(size),
      textPrevious_(parameters.value("textPrevious").toString()),
      textNext_(parameters.value("textNext").toString()),
      textZero_(parameters.value("_textZero").toString()),
      step_(double(parameters.value("step").toFloat())) {}

void OXInfiniteRollLayout::layoutSublayersOfLayer(ox::Layer* roll) {
  if (!roll) return;
  const std::vector<ox::LayerPtr> rows = roll->sublayers();
  if (rows.empty()) return;
  const qint64 s = roll->value("selectedIndex").toLongLong();
  if (s == 2) positionIndex_ -= 1;
  if (s == 4) positionIndex_ += 1;
  roll->setValue("selectedIndex", qint64(3));
  roll->setValue("positionIndex", positionIndex_);
  const qint32 type = roll->value("type").toInt();
  Transaction::begin();
  Transaction::setAnimationDuration(0.2);
  // The block keeps the layout and the roll until it has run. A layout that nothing owns gets no block.
  std::shared_ptr<OXInfiniteRollLayout> self = weak_from_this().lock();
  ox::LayerPtr keep = roll->weak_from_this().lock();
  if (type != -1 && self && keep)
    Transaction::setCompletionBlock([self, keep] { self->reloadTexts(keep.get()); });
  // Placed against the selection as read, so a step slides the whole roll by one row.
  for (std::size_t i = 0; i < rows.size(); ++i)
    RollLayout::placeRow(rows[i], qint64(i) - s, type != -1, *roll, imageSize_, zSidePosition_);
  Transaction::commit();
}

void OXInfiniteRollLayout::reloadTexts(ox::Layer* roll) {
  if (!roll) return;
  const std::vector<ox::LayerPtr> rows = roll->sublayers();
  Transaction::begin();
  Transaction::setDisableActions(true);
  double v = (positionIndex_ - 3) * step_;
  for (std::size_t i = 0; i < 7 && i < rows.size(); ++i) {
    auto text = std::dynamic_pointer_cast<ox::TextLayer>(rows[i]->layerValue("__holderLayer"));
    if (text) {
      if (v < 0)
        text->setString(QString::asprintf("%0.1f ", std::abs(v)) + textPrevious_);
      else if (v > 0)
        text->setString(QString::asprintf("%0.1f ", std::abs(v)) + textNext_);
      else
        text->setString(textZero_);
    }
    v += step_;  // accumulated row by row, as the rows are read
  }
  Transaction::commit();
}
