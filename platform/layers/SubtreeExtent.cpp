#include "platform/layers/SubtreeExtent.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/layers/Layer.h"
#include "platform/layers/ReplicatorLayer.h"

namespace ox::detail {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// As the renderer: a homogeneous weight at or below this lies at or behind the eye.
constexpr double kNearestWeight = 1e-6;
constexpr std::size_t kMostSublayersBoxed = 256;

bool placesLayer(LayerKey key) { return key <= LayerKey::SublayerTransform; }

void widen(double lo[], double hi[], int n, const double v[]) {
  for (int i = 0; i < n; ++i) {
    lo[i] = std::min(lo[i], v[i]);
    hi[i] = std::max(hi[i], v[i]);
  }
}

// Grows the rectangle lo..hi by the corners of a box carried by `m` (null for none) and flattened; false when a
// corner reaches the eye.
bool addCarriedBox(const double boxLo[3], const double boxHi[3], const Transform3D* m, double lo[2], double hi[2]) {
  const int corners = boxLo[2] == boxHi[2] ? 4 : 8;
  for (int i = 0; i < corners; ++i) {
    const double x = i & 1 ? boxHi[0] : boxLo[0], y = i & 2 ? boxHi[1] : boxLo[1], z = i & 4 ? boxHi[2] : boxLo[2];
    double o[4] = {x, y, z, 1};
    if (m) m->map(x, y, z, o);
    if (!(o[3] > kNearestWeight)) return false;
    const double p[2] = {o[0] / o[3], o[1] / o[3]};
    if (!std::isfinite(p[0]) || !std::isfinite(p[1])) return false;
    widen(lo, hi, 2, p);
  }
  return true;
}

}  // namespace

// The sublayers found in view for one way of carrying them onto the canvas, and those to look at again each frame.
struct SubtreeExtent::InView {
  bool fresh = false;
  double from = 0, until = 0;
  QTransform device;
  bool stepped = false;
  Transform3D step;
  QRectF viewport;
  std::vector<std::pair<Layer*, bool>> entries;  // in view, or passing (looked at again), in sublayer order
  std::vector<Layer*> touched;                   // sublayers changed since, to look at again

  void touch(Layer* sublayer, std::size_t count) {
    if (!fresh || (!touched.empty() && touched.back() == sublayer)) return;
    // Past a quarter of them, looking at them all costs no more.
    if (touched.size() >= std::max<std::size_t>(64, count / 4)) {
      fresh = false;
      touched.clear();
      return;
    }
    touched.push_back(sublayer);
  }
};

SubtreeExtent::SubtreeExtent() = default;
SubtreeExtent::~SubtreeExtent() = default;

bool sublayerMatrix(const LayerState& s, Transform3D& out) {
  if (s.sublayerTransform.isIdentity()) return false;
  const QRectF b = s.bounds;
  const double px = b.x() + s.anchorPoint.x() * b.width(), py = b.y() + s.anchorPoint.y() * b.height();
  // translate(-p) * sublayerTransform * translate(p), written out (and summed in the order of the full product).
  const Transform3D& m = s.sublayerTransform;
  out = m;
  out.m41 = -px * m.m11 + -py * m.m21 + m.m41;
  out.m42 = -px * m.m12 + -py * m.m22 + m.m42;
  out.m43 = -px * m.m13 + -py * m.m23 + m.m43;
  out.m44 = -px * m.m14 + -py * m.m24 + m.m44;
  out.m11 += out.m14 * px;
  out.m12 += out.m14 * py;
  out.m21 += out.m24 * px;
  out.m22 += out.m24 * py;
  out.m31 += out.m34 * px;
  out.m32 += out.m34 * py;
  out.m41 += out.m44 * px;
  out.m42 += out.m44 * py;
  return true;
}

const SubtreeExtent& SubtreeExtent::of(Layer* layer, double t) {
  SubtreeExtent& e = layer->extent_;
  const bool holds = e.valid_ && (e.lasting_ ? t >= e.from_ && t < e.until_ : t == e.from_);
  if (!holds) e.make(layer, t);
  return e;
}

void SubtreeExtent::changed(Layer* layer, bool placement) {
  if (layer->extent_.inView_ && !placement) layer->extent_.inView_->fresh = false;
  // A box is only ever made from the boxes below it, so the walk stops at the first that was already dropped.
  for (Layer* l = layer; l;) {
    Layer* up = l->superlayer_.lock().get();
    if (up && up->extent_.inView_) up->extent_.inView_->touch(l, up->sublayers_.size());
    SubtreeExtent& e = l->extent_;
    const bool held = e.valid_;
    e.valid_ = false;
    if (l != layer || !placement) e.planeValid_ = false;
    if (!held) break;
    l = up;
  }
}

void SubtreeExtent::make(Layer* layer, double t) {
  const LayerState& model = layer->model();
  // Geometry in flight: a slide of position or depth is swept over the ends of its whole path (past 0..1 where the
  // pacing overshoots); anything else is taken as it is at t, in the plane (bounds, sublayer transform) or in the
  // placing (transform, anchor point). Animations that change nothing, or are over, leave the model values.
  bool planePassing = false, placingPassing = false;
  double until = kInfinity, settles = t;
  double shiftLo[3] = {model.position.x(), model.position.y(), model.zPosition};
  double shiftHi[3] = {shiftLo[0], shiftLo[1], shiftLo[2]};
  for (const LayerAnimation& a : layer->animations()) {
    if (a.endTime() <= t || !placesLayer(a.key) || sameValue(a.from, a.to)) continue;
    if (a.key == LayerKey::Bounds || a.key == LayerKey::SublayerTransform) {
      planePassing = true;
      settles = std::max(settles, a.endTime());
    } else if (a.key == LayerKey::Transform || a.key == LayerKey::AnchorPoint) {
      placingPassing = true;
      settles = std::max(settles, a.endTime());
    } else {
      double ends[2];
      a.timing.progressRange(ends[0], ends[1]);
      for (double p : ends) {
        const AnimValue v = interpolateValue(a.from, a.to, p);
        if (a.key == LayerKey::Position) {
          const QPointF q = std::get<QPointF>(v);
          const double xy[2] = {q.x(), q.y()};
          widen(shiftLo, shiftHi, 2, xy);
        } else {
          shiftLo[2] = std::min(shiftLo[2], std::get<double>(v));
          shiftHi[2] = std::max(shiftHi[2], std::get<double>(v));
        }
      }
      until = std::min(until, a.endTime());
    }
  }
  const bool lasting = !planePassing && !placingPassing;
  std::optional<LayerState> shown;
  if (!lasting) {
    shown = layer->presentation(t);
    shiftLo[0] = shiftHi[0] = shown->position.x();
    shiftLo[1] = shiftHi[1] = shown->position.y();
    shiftLo[2] = shiftHi[2] = shown->zPosition;
  }
  const LayerState& s = shown ? *shown : model;
  const bool planeHolds = planeValid_ && !planePassing && t >= planeFrom_ && t < planeUntil_;
  if (!planeHolds) makePlane(layer, s, t);
  planeValid_ = !planePassing;

  // Into the superlayer's sublayer space: about the anchor point, through the transform, then shifted.
  bool bounded = planeBounded_;
  if (bounded) {
    const QRectF b = s.bounds;
    const double ax = b.x() + s.anchorPoint.x() * b.width(), ay = b.y() + s.anchorPoint.y() * b.height();
    const bool plain = s.transform.isIdentity();
    double boxLo[3] = {kInfinity, kInfinity, kInfinity}, boxHi[3] = {-kInfinity, -kInfinity, -kInfinity};
    for (int i = 0; i < 4 && bounded; ++i) {
      const double x = (i & 1 ? planeHi_[0] : planeLo_[0]) - ax, y = (i & 2 ? planeHi_[1] : planeLo_[1]) - ay;
      double o[4] = {x, y, 0, 1};
      if (!plain) s.transform.map(x, y, 0, o);
      const double p[3] = {o[0] / o[3], o[1] / o[3], o[2] / o[3]};
      bounded = o[3] > kNearestWeight && std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
      widen(boxLo, boxHi, 3, p);
    }
    for (int k = 0; k < 3; ++k) {
      lo_[k] = boxLo[k] + shiftLo[k];
      hi_[k] = boxHi[k] + shiftHi[k];
    }
  }
  valid_ = true;
  bounded_ = bounded;
  lasting_ = lasting;
  from_ = t;
  until_ = lasting ? std::min(until, planeUntil_) : settles;
}

void SubtreeExtent::makePlane(Layer* layer, const LayerState& s, double t) {
  // The layer's bounds and, unless they mask, every sublayer's box as it is carried (by each replicator
  // instance). A sublayer without a box, or passing, leaves none here either, until it settles.
  const QRectF b = s.bounds, own = b.normalized();
  planeLo_[0] = own.left();
  planeLo_[1] = own.top();
  planeHi_[0] = own.right();
  planeHi_[1] = own.bottom();
  planeBounded_ = true;
  planeFrom_ = t;
  planeUntil_ = kInfinity;
  const std::vector<LayerPtr>& subs = layer->sublayers();
  const auto* replicator = subs.empty() ? nullptr : dynamic_cast<const ReplicatorLayer*>(layer);
  if (s.masksToBounds || subs.empty() || (replicator && replicator->instanceCount() == 0)) return;
  // A layer of thousands (a row of posters running far off the canvas either way) gets no box: it would be made
  // anew from all of them whenever one moves, and would hardly ever miss the canvas.
  if (subs.size() > kMostSublayersBoxed) {
    planeBounded_ = false;
    return;
  }
  Transform3D pivot;
  const bool pivoted = sublayerMatrix(s, pivot);
  std::vector<Transform3D> steps;  // replicator instances past the first
  Transform3D step;
  for (int i = 1; replicator && i < replicator->instanceCount(); ++i) {
    step = i == 1 ? replicator->instanceTransform() : Transform3D::concat(step, replicator->instanceTransform());
    const Transform3D about = ReplicatorLayer::aboutCentre(step, b);
    steps.push_back(pivoted ? Transform3D::concat(about, pivot) : about);
  }
  for (const LayerPtr& c : subs) {
    const SubtreeExtent& e = of(c.get(), t);
    planeUntil_ = std::min(planeUntil_, e.until_);
    const Transform3D* first = pivoted ? &pivot : nullptr;
    bool bounded = e.bounded_ && e.lasting_ && addCarriedBox(e.lo_, e.hi_, first, planeLo_, planeHi_);
    for (std::size_t i = 0; bounded && i < steps.size(); ++i)
      bounded = addCarriedBox(e.lo_, e.hi_, &steps[i], planeLo_, planeHi_);
    if (!bounded) {
      planeBounded_ = false;
      return;
    }
  }
}

bool SubtreeExtent::misses(const Transform3D* step, const QTransform& toDevice, const QRectF& viewport) const {
  if (!bounded_) return false;
  const QTransform& h = toDevice;
  double lo[2] = {kInfinity, kInfinity}, hi[2] = {-kInfinity, -kInfinity};
  const int corners = lo_[2] == hi_[2] ? 4 : 8;
  for (int i = 0; i < corners; ++i) {
    const double x = i & 1 ? hi_[0] : lo_[0], y = i & 2 ? hi_[1] : lo_[1], z = i & 4 ? hi_[2] : lo_[2];
    double o[4] = {x, y, z, 1};
    if (step) step->map(x, y, z, o);
    // Flattened (depth dropped) and onto the canvas, as the renderer carries a plane.
    const double w = h.m13() * o[0] + h.m23() * o[1] + h.m33() * o[3];
    if (!(w > kNearestWeight)) return false;
    const double p[2] = {(h.m11() * o[0] + h.m21() * o[1] + h.m31() * o[3]) / w,
                         (h.m12() * o[0] + h.m22() * o[1] + h.m32() * o[3]) / w};
    if (!std::isfinite(p[0]) || !std::isfinite(p[1])) return false;
    widen(lo, hi, 2, p);
  }
  // A pixel to spare: the drawing rounds its own way.
  return !QRectF(QPointF(lo[0] - 1, lo[1] - 1), QPointF(hi[0] + 1, hi[1] + 1)).intersects(viewport);
}

void SubtreeExtent::sublayersInView(Layer* layer, const Transform3D* step, const QTransform& toDevice,
                                    const QRectF& viewport, double t, bool remember, std::vector<Layer*>& out,
                                    int& culled, bool& moving) {
  out.clear();
  moving = false;
  const std::vector<LayerPtr>& subs = layer->sublayers();
  InView* kept = nullptr;
  if (remember) {
    std::unique_ptr<InView>& slot = layer->extent_.inView_;
    if (!slot) slot = std::make_unique<InView>();
    kept = slot.get();
  }
  const auto look = [&](Layer* c) {
    if (of(c, t).misses(step, toDevice, viewport))
      moving = true;
    else
      out.push_back(c);
  };
  const bool carried = kept && kept->fresh && t >= kept->from && kept->device == toDevice &&
                       kept->stepped == (step != nullptr) && (!step || kept->step == *step) &&
                       kept->viewport == viewport;
  if (carried && kept->touched.empty() && t < kept->until) {
    for (const auto& [c, passing] : kept->entries)
      if (passing)
        look(c);
      else
        out.push_back(c);
    culled = int(subs.size() - out.size());
    return;
  }
  // What is kept as it was made at t: lasting boxes in view (until the first of them changes shape), and passing
  // ones, looked at again each frame. A lasting box off the canvas is not kept: it only shrinks as its animations
  // end, so it stays off the canvas until its layer changes.
  double until = kInfinity;
  const auto keep = [&](Layer* c) {
    const SubtreeExtent& e = of(c, t);
    if (!e.lasting_) {
      if (kept) kept->entries.emplace_back(c, true);
      look(c);
    } else if (!e.misses(step, toDevice, viewport)) {
      until = std::min(until, e.until_);
      if (kept) kept->entries.emplace_back(c, false);
      out.push_back(c);
    }
  };
  if (carried) {
    // Only the sublayers that changed and those kept are looked at again.
    std::vector<Layer*> again;
    again.reserve(kept->entries.size() + kept->touched.size());
    for (const auto& entry : kept->entries) again.push_back(entry.first);
    again.insert(again.end(), kept->touched.begin(), kept->touched.end());
    std::sort(again.begin(), again.end(),
              [](const Layer* a, const Layer* b) { return a->extent_.index_ < b->extent_.index_; });
    again.erase(std::unique(again.begin(), again.end()), again.end());
    kept->entries.clear();
    kept->touched.clear();
    for (Layer* c : again) keep(c);
  } else {
    if (kept) {
      kept->entries.clear();
      kept->touched.clear();
    }
    for (std::size_t i = 0; i < subs.size(); ++i) {
      subs[i]->extent_.index_ = i;
      keep(subs[i].get());
    }
  }
  culled = int(subs.size() - out.size());
  if (!kept) return;
  kept->fresh = true;
  kept->from = t;
  kept->until = until;
  kept->device = toDevice;
  kept->stepped = step != nullptr;
  if (step) kept->step = *step;
  kept->viewport = viewport;
}

}  // namespace ox::detail
