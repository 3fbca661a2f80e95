#include "platform/layers/Layer.h"

#include <QSet>
#include <algorithm>
#include <cmath>

#include "platform/layers/LayerClock.h"
#include "platform/layers/LayerInternal.h"
#include "platform/layers/LayoutManager.h"

namespace ox {
namespace {

quint64 g_nextUid = 1;
quint64 g_nextAnimationId = 1;

QColor premultipliedLerp(const QColor& a, const QColor& b, double p) {
  const QColor ca = a.isValid() ? a.toRgb() : QColor(0, 0, 0, 0);
  const QColor cb = b.isValid() ? b.toRgb() : QColor(0, 0, 0, 0);
  auto lerp = [p](double x, double y) { return x + (y - x) * p; };
  return QColor::fromRgbF(float(lerp(ca.redF(), cb.redF())), float(lerp(ca.greenF(), cb.greenF())),
                          float(lerp(ca.blueF(), cb.blueF())), float(lerp(ca.alphaF(), cb.alphaF())));
}

}  // namespace

QRectF LayerState::frame() const {
  const double w = bounds.width(), h = bounds.height();
  if (transform.isIdentity()) {
    return QRectF(position.x() - anchorPoint.x() * w, position.y() - anchorPoint.y() * h, w, h);
  }
  const double ax = bounds.x() + anchorPoint.x() * w, ay = bounds.y() + anchorPoint.y() * h;
  const double xs[2] = {bounds.x(), bounds.x() + w}, ys[2] = {bounds.y(), bounds.y() + h};
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  for (double x : xs)
    for (double y : ys) {
      double o[4];
      transform.map(x - ax, y - ay, 0, o);
      if (!(std::abs(o[3]) > 1e-12)) continue;
      const double px = o[0] / o[3] + position.x(), py = o[1] / o[3] + position.y();
      minX = std::min(minX, px);
      maxX = std::max(maxX, px);
      minY = std::min(minY, py);
      maxY = std::max(maxY, py);
    }
  if (minX > maxX) return QRectF(position, QSizeF(0, 0));
  return QRectF(minX, minY, maxX - minX, maxY - minY);
}

AnimValue stateValue(const LayerState& s, LayerKey key) {
  switch (key) {
    case LayerKey::Bounds: return s.bounds;
    case LayerKey::Position: return s.position;
    case LayerKey::ZPosition: return s.zPosition;
    case LayerKey::AnchorPoint: return s.anchorPoint;
    case LayerKey::Transform: return s.transform;
    case LayerKey::SublayerTransform: return s.sublayerTransform;
    case LayerKey::Opacity: return s.opacity;
    case LayerKey::BackgroundColor: return s.backgroundColor;
    case LayerKey::BorderColor: return s.borderColor;
    case LayerKey::BorderWidth: return s.borderWidth;
    case LayerKey::CornerRadius: return s.cornerRadius;
    case LayerKey::ShadowColor: return s.shadowColor;
    case LayerKey::ShadowOpacity: return s.shadowOpacity;
    case LayerKey::ShadowOffset: return s.shadowOffset;
    case LayerKey::ShadowRadius: return s.shadowRadius;
    case LayerKey::ForegroundColor: return s.foregroundColor;
    case LayerKey::Count: break;
  }
  return 0.0;
}

void setStateValue(LayerState& s, LayerKey key, const AnimValue& v) {
  switch (key) {
    case LayerKey::Bounds: s.bounds = std::get<QRectF>(v); break;
    case LayerKey::Position: s.position = std::get<QPointF>(v); break;
    case LayerKey::ZPosition: s.zPosition = std::get<double>(v); break;
    case LayerKey::AnchorPoint: s.anchorPoint = std::get<QPointF>(v); break;
    case LayerKey::Transform: s.transform = std::get<Transform3D>(v); break;
    case LayerKey::SublayerTransform: s.sublayerTransform = std::get<Transform3D>(v); break;
    case LayerKey::Opacity: s.opacity = std::get<double>(v); break;
    case LayerKey::BackgroundColor: s.backgroundColor = std::get<QColor>(v); break;
    case LayerKey::BorderColor: s.borderColor = std::get<QColor>(v); break;
    case LayerKey::BorderWidth: s.borderWidth = std::get<double>(v); break;
    case LayerKey::CornerRadius: s.cornerRadius = std::get<double>(v); break;
    case LayerKey::ShadowColor: s.shadowColor = std::get<QColor>(v); break;
    case LayerKey::ShadowOpacity: s.shadowOpacity = std::get<double>(v); break;
    case LayerKey::ShadowOffset: s.shadowOffset = std::get<QSizeF>(v); break;
    case LayerKey::ShadowRadius: s.shadowRadius = std::get<double>(v); break;
    case LayerKey::ForegroundColor: s.foregroundColor = std::get<QColor>(v); break;
    case LayerKey::Count: break;
  }
}

AnimValue interpolateValue(const AnimValue& from, const AnimValue& to, double p) {
  if (from.index() != to.index()) return p < 1 ? from : to;
  auto lerp = [p](double a, double b) { return a + (b - a) * p; };
  switch (to.index()) {
    case 0: return lerp(std::get<double>(from), std::get<double>(to));
    case 1: {
      const QPointF a = std::get<QPointF>(from), b = std::get<QPointF>(to);
      return QPointF(lerp(a.x(), b.x()), lerp(a.y(), b.y()));
    }
    case 2: {
      const QSizeF a = std::get<QSizeF>(from), b = std::get<QSizeF>(to);
      return QSizeF(lerp(a.width(), b.width()), lerp(a.height(), b.height()));
    }
    case 3: {
      const QRectF a = std::get<QRectF>(from), b = std::get<QRectF>(to);
      return QRectF(lerp(a.x(), b.x()), lerp(a.y(), b.y()), lerp(a.width(), b.width()),
                    lerp(a.height(), b.height()));
    }
    case 4:
      if (p >= 1) return to;
      return premultipliedLerp(std::get<QColor>(from), std::get<QColor>(to), p);
    case 5: return Transform3D::interpolate(std::get<Transform3D>(from), std::get<Transform3D>(to), p);
  }
  return to;
}

bool sameValue(const AnimValue& a, const AnimValue& b) {
  if (a.index() != b.index()) return false;
  switch (a.index()) {
    case 0: return std::get<double>(a) == std::get<double>(b);
    case 1: {
      const QPointF p = std::get<QPointF>(a), q = std::get<QPointF>(b);
      return p.x() == q.x() && p.y() == q.y();
    }
    case 2: {
      const QSizeF p = std::get<QSizeF>(a), q = std::get<QSizeF>(b);
      return p.width() == q.width() && p.height() == q.height();
    }
    case 3: {
      const QRectF p = std::get<QRectF>(a), q = std::get<QRectF>(b);
      return p.x() == q.x() && p.y() == q.y() && p.width() == q.width() && p.height() == q.height();
    }
    case 4: return std::get<QColor>(a) == std::get<QColor>(b);
    case 5: return std::get<Transform3D>(a) == std::get<Transform3D>(b);
  }
  return false;
}

AnimValue LayerAnimation::valueAt(double t) const {
  const double p = duration > 0 ? std::clamp((t - beginTime) / duration, 0.0, 1.0) : 1.0;
  return interpolateValue(from, to, timing.valueAt(p));
}

// ---------------------------------------------------------------------------------------------------------------

Layer::Layer() : uid_(g_nextUid++) { createdGeneration_ = detail::flushGeneration(); }

LayerPtr Layer::layer() { return LayerPtr(new Layer()); }

Layer::~Layer() {
  detail::removePendingLayout(this);
  for (auto& s : sublayers_) s->superlayer_.reset();
}

bool Layer::isPresented() const { return createdGeneration_ < detail::flushGeneration(); }

void Layer::changeAnimatable(LayerKey key, const AnimValue& value) {
  // The same value again, with nothing animating the key: nothing would change on screen, and no completion waits.
  // A layout of thousands of items sets most of their values to what they are.
  const quint32 bit = 1u << int(key);
  if (!(animatedKeys_ & bit) && sameValue(stateValue(model_, key), value) && !detail::completionWaiting()) return;
  const double now = LayerClock::now();
  const bool animate = isPresented() && !detail::actionsDisabled() && detail::transactionDuration() > 0;
  AnimValue from;
  bool sliding = false;  // an animation of this key still moves it
  if (animate) {
    from = stateValue(model_, key);
    for (const auto& a : animations_)
      if (a.key == key && now < a.endTime()) {
        sliding = !sameValue(a.from, a.to);
        from = sliding ? a.valueAt(now) : a.to;
      }
    // The same value again, on screen already: an animation would change nothing, and nothing waits for it.
    if (!sliding && sameValue(from, value) && !detail::completionWaiting()) return;
  }
  // The first six keys place the layer. Dropping an animation shows the model value, which every box holds.
  const bool moves = key <= LayerKey::SublayerTransform &&
                     (!sameValue(stateValue(model_, key), value) || (animate && !sameValue(from, value)));
  setStateValue(model_, key, value);
  std::erase_if(animations_, [&](const LayerAnimation& a) { return a.key == key || a.endTime() <= now; });
  if (animate) {
    LayerAnimation a{key, from, value, now, detail::transactionDuration(), detail::transactionTiming(),
                     g_nextAnimationId++};
    animations_.push_back(a);
    // Only a completion waits for it; a reference to the layer for nothing costs a layout of thousands.
    if (detail::completionWaiting()) detail::registerAnimation(weak_from_this(), a.id);
    detail::animationEnds(weak_from_this(), a.endTime());
  }
  animatedKeys_ = 0;
  for (const auto& a : animations_) animatedKeys_ |= 1u << int(a.key);
  if (moves) detail::SubtreeExtent::changed(this, key != LayerKey::Bounds && key != LayerKey::SublayerTransform);
  detail::markDirty();
}

LayerState Layer::presentation(double t) const {
  LayerState s = model_;
  for (const auto& a : animations_)
    if (t < a.endTime()) setStateValue(s, a.key, a.valueAt(t));
  return s;
}

LayerState Layer::presentation() const { return presentation(LayerClock::now()); }

bool Layer::hasAnimationsAfter(double t) const {
  return std::any_of(animations_.begin(), animations_.end(), [t](const auto& a) { return a.endTime() > t; });
}

void Layer::dropEndedAnimations(double now) {
  std::erase_if(animations_, [now](const LayerAnimation& a) { return a.endTime() <= now; });
  if (animations_.empty()) std::vector<LayerAnimation>().swap(animations_);
  animatedKeys_ = 0;
  for (const auto& a : animations_) animatedKeys_ |= 1u << int(a.key);
}

void Layer::removeAllAnimations() {
  animations_.clear();
  animatedKeys_ = 0;
  detail::markDirty();
}

// --- geometry -----------------------------------------------------------------------------------------------------

void Layer::setBounds(const QRectF& r) {
  const bool resized = r.size() != model_.bounds.size();
  changeAnimatable(LayerKey::Bounds, r);
  if (resized) setNeedsLayout();
}
void Layer::setPosition(const QPointF& p) { changeAnimatable(LayerKey::Position, p); }
void Layer::setZPosition(double z) { changeAnimatable(LayerKey::ZPosition, z); }
void Layer::setAnchorPoint(const QPointF& p) { changeAnimatable(LayerKey::AnchorPoint, p); }

void Layer::setFrame(const QRectF& r) {
  const QPointF ap = model_.anchorPoint;
  setPosition(QPointF(r.x() + ap.x() * r.width(), r.y() + ap.y() * r.height()));
  setBounds(QRectF(model_.bounds.topLeft(), r.size()));
}

void Layer::setTransform(const Transform3D& t) { changeAnimatable(LayerKey::Transform, t); }
void Layer::setSublayerTransform(const Transform3D& t) { changeAnimatable(LayerKey::SublayerTransform, t); }

// --- appearance ---------------------------------------------------------------------------------------------------

void Layer::setOpacity(double o) { changeAnimatable(LayerKey::Opacity, o); }
void Layer::setHidden(bool h) {
  model_.hidden = h;
  detail::markDirty();
}
void Layer::setMasksToBounds(bool m) {
  if (m != model_.masksToBounds) geometryChanged();
  model_.masksToBounds = m;
  detail::markDirty();
}
void Layer::setMask(const LayerPtr& m) {
  mask_ = m;
  detail::markDirty();
}
void Layer::setBackgroundColor(const QColor& c) { changeAnimatable(LayerKey::BackgroundColor, c); }
void Layer::setBorderColor(const QColor& c) { changeAnimatable(LayerKey::BorderColor, c); }
void Layer::setBorderWidth(double w) { changeAnimatable(LayerKey::BorderWidth, w); }
void Layer::setCornerRadius(double r) { changeAnimatable(LayerKey::CornerRadius, r); }
void Layer::setShadowColor(const QColor& c) { changeAnimatable(LayerKey::ShadowColor, c); }
void Layer::setShadowOpacity(double o) { changeAnimatable(LayerKey::ShadowOpacity, o); }
void Layer::setShadowRadius(double r) { changeAnimatable(LayerKey::ShadowRadius, r); }
void Layer::setShadowOffset(const QSizeF& o) { changeAnimatable(LayerKey::ShadowOffset, o); }

void Layer::setContents(const QImage& image) {
  contents_ = image;
  contentChanged();
}
void Layer::setContentsGravity(Gravity g) {
  gravity_ = g;
  contentChanged();
}
void Layer::setContentsScale(double s) {
  contentsScale_ = s > 0 && std::isfinite(s) ? s : 1.0;
  contentChanged();
}

void Layer::setName(const QString& n) {
  name_ = n;
  superlayerNeedsLayout();
}

void Layer::setValue(const QString& key, const QVariant& v) {
  // Keys are shared by all layers: a layout that reads an entry of thousands of layers compares against one string
  // instead of one copy a layer, scattered over memory.
  static QSet<QString> keys;
  const auto it = std::find_if(values_.begin(), values_.end(), [&](const auto& e) { return e.first == key; });
  if (!v.isValid()) {
    if (it != values_.end()) values_.erase(it);
  } else if (it != values_.end()) {
    it->second = v;
  } else {
    values_.emplace_back(*keys.insert(key), v);
  }
  const LayerPtr up = superlayer_.lock();
  if (up && up->layoutManager_ && up->layoutManager_->keepsSublayerValue(key)) ++up->sublayersVersion_;
}

const QVariant* Layer::find(const QString& key) const {
  for (const auto& [k, v] : values_)
    if (k.constData() == key.constData() || k == key) return &v;
  return nullptr;
}

QVariant Layer::value(const QString& key) const {
  const QVariant* v = find(key);
  return v ? *v : QVariant();
}

LayerPtr Layer::layerValue(const QString& key) const {
  // Read in place: a copy of the entry would touch (and count a reference on) its shared block.
  const QVariant* v = find(key);
  return v ? v->value<LayerPtr>() : nullptr;
}

void Layer::contentChanged() {
  ++contentVersion_;
  detail::markDirty();
}

void Layer::setNeedsDisplay() { contentChanged(); }

void Layer::geometryChanged() { detail::SubtreeExtent::changed(this, false); }

QImage Layer::drawnContents(double, const LayerState&) const { return {}; }

void Layer::drawInContext(QPainter&, const LayerState&) const {}

// --- tree ---------------------------------------------------------------------------------------------------------

void Layer::insertSublayer(const LayerPtr& l, std::size_t index) {
  if (!l || l.get() == this) return;
  for (auto p = superlayer(); p; p = p->superlayer())
    if (p == l) return;  // would make a cycle
  LayerPtr keep = l;
  keep->removeFromSuperlayer();
  index = std::min(index, sublayers_.size());
  sublayers_.insert(sublayers_.begin() + std::ptrdiff_t(index), keep);
  keep->superlayer_ = weak_from_this();
  ++sublayersVersion_;
  geometryChanged();
  setNeedsLayout();
  detail::markDirty();
}

void Layer::addSublayer(const LayerPtr& l) { insertSublayer(l, sublayers_.size()); }

void Layer::removeFromSuperlayer() {
  LayerPtr parent = superlayer_.lock();
  superlayer_.reset();
  if (!parent) return;
  LayerPtr keep = weak_from_this().lock();  // the superlayer may hold the last reference
  auto& subs = parent->sublayers_;
  subs.erase(std::remove_if(subs.begin(), subs.end(), [this](const LayerPtr& s) { return s.get() == this; }),
             subs.end());
  ++parent->sublayersVersion_;
  parent->geometryChanged();
  parent->setNeedsLayout();
  detail::markDirty();
}

LayerPtr Layer::sublayerNamed(const QString& name) const {
  for (const auto& s : sublayers_)
    if (s->name_ == name) return s;
  return nullptr;
}

// --- layout -------------------------------------------------------------------------------------------------------

void Layer::setLayoutManager(const LayoutManagerPtr& m) {
  layoutManager_ = m;
  setNeedsLayout();
}

const std::vector<Constraint>& Layer::constraints() const {
  static const std::vector<Constraint> none;
  return constraints_ ? *constraints_ : none;
}

void Layer::addConstraint(const Constraint& c) {
  if (!constraints_) constraints_ = std::make_unique<std::vector<Constraint>>();
  constraints_->push_back(c);
  superlayerNeedsLayout();
}

void Layer::setConstraints(const std::vector<Constraint>& c) {
  constraints_ = std::make_unique<std::vector<Constraint>>(c);
  superlayerNeedsLayout();
}

void Layer::superlayerNeedsLayout() {
  if (auto p = superlayer()) p->setNeedsLayout();
}

void Layer::setNeedsLayout() {
  needsLayout_ = true;
  detail::addPendingLayout(this);
  detail::markDirty();
}

void Layer::markSubtreeFlag() {
  // All the way up: a layer of thousands of sublayers leaves the marks of those it did not look at.
  for (auto p = superlayer(); p; p = p->superlayer()) p->subtreeNeedsLayout_ = true;
}

void Layer::layoutIfNeeded() {
  LayerPtr root = weak_from_this().lock();
  if (!root) return;  // not owned yet (being built)
  while (auto p = root->superlayer()) root = p;
  detail::propagatePendingLayout();
  root->layoutTree();
}

void Layer::layoutTree() {
  LayerPtr keep = weak_from_this().lock();
  if (needsLayout_) {
    needsLayout_ = false;
    detail::removePendingLayout(this);
    layoutSublayers();
  }
  subtreeNeedsLayout_ = false;
  const auto waiting = [](const LayerPtr& s) { return s->needsLayout_ || s->subtreeNeedsLayout_; };
  std::vector<LayerPtr> subs;
  if (sublayers_.size() > 64) {
    // Among thousands, the few waiting are found from the layers that asked, not by a look at every one.
    for (Layer* asked : detail::pendingLayouts())
      for (Layer* l = asked; l;) {
        const LayerPtr up = l->superlayer_.lock();
        if (up.get() == this) {
          if (LayerPtr sub = l->weak_from_this().lock()) subs.push_back(std::move(sub));
          break;
        }
        l = up.get();
      }
    std::sort(subs.begin(), subs.end());
    subs.erase(std::unique(subs.begin(), subs.end()), subs.end());
  } else if (std::any_of(sublayers_.begin(), sublayers_.end(), waiting)) {
    // A copy: laying out may change the list.
    subs = sublayers_;
  }
  for (const auto& s : subs)
    if (waiting(s) && s->superlayer_.lock().get() == this) s->layoutTree();
}

void Layer::layoutSublayers() {
  if (layoutManager_) layoutManager_->layoutSublayersOfLayer(this);
}

QSizeF Layer::preferredFrameSize() const {
  if (layoutManager_) return layoutManager_->preferredSizeOfLayer(this);
  return model_.bounds.size();
}

QSizeF LayoutManager::preferredSizeOfLayer(const Layer* layer) const { return layer->bounds().size(); }

bool LayoutManager::keepsSublayerValue(const QString&) const { return false; }

}  // namespace ox
