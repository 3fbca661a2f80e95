#pragma once
#include <QSizeF>
#include <memory>
#include <vector>

#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transform3D.h"

// Lays out the movie browser's poster row as a cover flow: the selected poster flat in the middle, the others
// turned away and pushed back on either side. Everything is read from key-value entries: "selectedIndex" on the
// row (slots counted over enabled items), "isEnable" and "__holderLayer" on each item. Each pass is one 0.2 s
// ease-out move; depth changes jump.
//
// A row of thousands is not walked on every move: while its items and which of them are enabled stay as they are,
// a pass lays out only the items within kReach slots of the old or the new selection, which holds every item that
// is in view or crosses the view during the move. The others keep, off screen, the places of the last pass that
// reached them; one that comes back within reach is first put where the pass before would have put it, so that it
// slides in as if it had been laid out all along.
class MyLayoutManager : public ox::LayoutManager {
 public:
  static std::shared_ptr<MyLayoutManager> layoutManagerWithImageSize(const QSizeF& size);
  // initWithImageSize: takes the screen width from the display preferences, once.
  explicit MyLayoutManager(const QSizeF& size);

  void layoutSublayersOfLayer(ox::Layer* layer) override;
  // Which items are enabled is kept between passes; the holders are read afresh by each.
  bool keepsSublayerValue(const QString& key) const override;

  QSizeF imageSize() const { return imageSize_; }
  double zCenterPosition() const { return zCenterPosition_; }
  double zSidePosition() const { return zSidePosition_; }
  double rowScaleFactor() const { return rowScaleFactor_; }
  double offSetFactor() const { return offSetFactor_; }
  ox::Transform3D leftTransform() const { return leftTransform_; }
  ox::Transform3D rightTransform() const { return rightTransform_; }
  // The perspective given to the items beside the centre.
  ox::Transform3D sidePerspective() const;

  // Slots on either side of the selection that a pass lays out: more than a row shrunk to 0.4 (the show browser
  // opening a show) shows, about 18 a side.
  static constexpr quint64 kReach = 32;
  // Items the last pass laid out.
  std::size_t lastPassCount() const { return lastPassCount_; }

 private:
  // What the last pass left: the row it laid out, as it stood, and the items it reached.
  struct Pass {
    quint64 row = 0;  // the row's unique id
    quint64 version = 0;
    std::size_t count = 0;
    double mx = 0;
    quint64 selected = 0;
    std::vector<std::size_t> enabled;  // the sublayer index of each enabled item, slot by slot
    std::size_t first = 0, last = 0;   // the items laid out, by sublayer index
  };
  // Places one item in slot p for the selection s around mx (the holder's and item's depth jump).
  void place(ox::Layer& item, ox::Layer* holder, bool enabled, quint64 p, quint64 s, double mx) const;

  QSizeF imageSize_;
  double zCenterPosition_ = 10;
  double zSidePosition_ = -300;
  double rowScaleFactor_ = 0.42;
  double offSetFactor_ = 0;
  ox::Transform3D leftTransform_;
  ox::Transform3D rightTransform_;
  Pass last_;
  bool hasLast_ = false;
  std::size_t lastPassCount_ = 0;
};
