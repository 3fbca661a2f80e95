#pragma once
// Where a layer's tree can draw, kept on the layer between frames, so the renderer passes over what lies off the
// canvas without looking inside, and a layer of thousands of sublayers finds the few in view without a look at
// the others while nothing moves them. Not for use outside platform/layers.
#include <QRectF>
#include <QTransform>
#include <memory>
#include <vector>

#include "platform/layers/Transform3D.h"

namespace ox {
class Layer;
struct LayerState;
namespace detail {

// The sublayer transform as it carries sublayers, about the layer's anchor point, into `out`; false (and `out`
// untouched) when it is the identity.
bool sublayerMatrix(const LayerState& s, Transform3D& out);

// A box in the superlayer's sublayer space (before the superlayer's sublayer transform and any replicator step)
// holding everything the layer's tree draws, as the renderer decides it: a layer draws only when its bounds meet
// the canvas, and bounds masking keeps its sublayers inside.
//
// The box holds from the instant it was made on, as the animations of the tree stand: a slide of position or
// depth is swept over its whole path. Any other geometry of the layer in flight makes the box exact for that
// instant only ("passing"); a superlayer holding a passing tree gives up its own box (never passed over) until
// that geometry has settled. A change of geometry anywhere in the tree drops the box.
class SubtreeExtent {
 public:
  SubtreeExtent();
  ~SubtreeExtent();
  SubtreeExtent(const SubtreeExtent&) = delete;
  SubtreeExtent& operator=(const SubtreeExtent&) = delete;

  // The box of `layer`'s tree at time t, made anew when it does not hold then.
  static const SubtreeExtent& of(Layer* layer, double t);
  // Something that places `layer` (`placement`: only where it sits in its superlayer) or a layer of its tree
  // changed.
  static void changed(Layer* layer, bool placement);
  // The sublayers of `layer` whose trees may meet `viewport` at time t, in sublayer order, when carried by `step`
  // (a replicator step and the sublayer transform; null for none) and `toDevice`. `culled` counts the others;
  // `moving` tells that one of them is passing and may come into view. With `remember`, the list is kept and
  // given again while the boxes, the carrying and the viewport stay as they are; after a change to some sublayers
  // only those and the ones in view are looked at again, so a move of a few among thousands costs what they cost.
  static void sublayersInView(Layer* layer, const Transform3D* step, const QTransform& toDevice,
                              const QRectF& viewport, double t, bool remember, std::vector<Layer*>& out,
                              int& culled, bool& moving);

  // Whether the box holds for every later instant (until something changes); else it is passing.
  bool isLasting() const { return lasting_; }
  // Whether the box, carried by `step` (null for none) into the superlayer's plane and by `toDevice` onto the
  // canvas, certainly misses `viewport`.
  bool misses(const Transform3D* step, const QTransform& toDevice, const QRectF& viewport) const;

 private:
  struct InView;
  void make(Layer* layer, double t);
  void makePlane(Layer* layer, const LayerState& s, double t);

  bool valid_ = false;
  bool bounded_ = false;  // false: never passed over
  bool lasting_ = false;
  double from_ = 0;       // made at this instant
  double until_ = 0;      // lasting: holds until then; passing: its geometry settles then
  double lo_[3] = {0, 0, 0}, hi_[3] = {0, 0, 0};
  // The tree in the layer's own plane, which a change of the layer's place leaves as it is.
  bool planeValid_ = false;
  bool planeBounded_ = false;
  double planeFrom_ = 0, planeUntil_ = 0;
  double planeLo_[2] = {0, 0}, planeHi_[2] = {0, 0};
  std::unique_ptr<InView> inView_;
  std::size_t index_ = 0;  // its place among its superlayer's sublayers when the superlayer last looked at them all
};

}  // namespace detail
}  // namespace ox
