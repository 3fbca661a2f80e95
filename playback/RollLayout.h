#pragma once
#include <QSizeF>
#include <QString>
#include <QVariantMap>
#include <memory>

#include "platform/layers/Layer.h"
#include "platform/layers/LayoutManager.h"

// The drum-roll rows of the playback options panel: the chosen row flat in the middle, the rows above and below
// tilted about the horizontal axis, shrunk and faded, every change over 0.2 s. Each row keeps its text layer under
// "__holderLayer"; the roll keeps "selectedIndex" and "type" (-1 when its column lacks the focus).
class RollLayout : public ox::LayoutManager {
 public:
  static std::shared_ptr<RollLayout> layoutManagerWithImageSize(const QSizeF& size);
  explicit RollLayout(const QSizeF& size);  // initWithImageSize
  void layoutSublayersOfLayer(ox::Layer* roll) override;

  QSizeF imageSize() const { return imageSize_; }
  double zSidePosition() const { return zSidePosition_; }

  // Places row `row` at distance d from the selection (both layouts use the same table).
  static void placeRow(const ox::LayerPtr& row, qint64 d, bool focused, const ox::Layer& roll, const QSizeF& imageSize,
                       double zSidePosition);

 private:
  QSizeF imageSize_;
  double zSidePosition_ = -300;
};

// The endless numeric roll of exactly seven rows (the subtitle delay): the selection is held on the middle row,
// a position index counts the steps taken, and the row texts are rewritten around it.
class OXInfiniteRollLayout : public ox::LayoutManager, public std::enable_shared_from_this<OXInfiniteRollLayout> {
 public:
  // parameters: "textPrevious", "textNext", "_textZero" (texts) and "step" (a number, read in single precision).
  static std::shared_ptr<OXInfiniteRollLayout> layoutManagerWithImageSize(const QSizeF& size,
                                                                          const QVariantMap& parameters);
  OXInfiniteRollLayout(const QSizeF& size, const QVariantMap& parameters);  // initWithImageSize:parameters:
  void layoutSublayersOfLayer(ox::Layer* roll) override;
  // Rewrites the texts of rows 0 to 6 (as many as the roll has) around the position index, without animation.
  void reloadTexts(ox::Layer* roll);

  double positionIndex() const { return positionIndex_; }
  double step() const { return step_; }

 private:
  QSizeF imageSize_;
  double zSidePosition_ = -300;
  QString textPrevious_;
  QString textNext_;
  QString textZero_;
  double step_ = 0;
  double positionIndex_ = 0;
};
