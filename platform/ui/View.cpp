#include "platform/ui/View.h"

#include <algorithm>
#include <cmath>

#include "platform/layers/Transaction.h"
#include "platform/ui/Window.h"

namespace ox {

View::View(const QRectF& frame) : frame_(frame) {}

View::~View() = default;

LayerPtr View::makeBackingLayer() { return Layer::layer(); }

LayerPtr View::layer() {
  if (!layer_) {
    layer_ = makeBackingLayer();
    applyFrameToLayer();
    for (const auto& s : subviews_) layer_->addSublayer(s->layer());
    if (drawsContent()) setNeedsDisplay();
  }
  return layer_;
}

void View::setLayer(const LayerPtr& layer) {
  if (!layer) return;
  if (layer_) {
    for (const auto& s : subviews_)
      if (s->layer_) s->layer_->removeFromSuperlayer();
    if (auto super = superview(); super && super->layer_) {
      const auto& siblings = super->layer_->sublayers();
      const auto it = std::find(siblings.begin(), siblings.end(), layer_);
      const std::size_t at = std::size_t(it - siblings.begin());
      layer_->removeFromSuperlayer();
      super->layer_->insertSublayer(layer, at);
    }
  }
  layer_ = layer;
  applyFrameToLayer();
  for (const auto& s : subviews_) layer_->addSublayer(s->layer());
}

void View::applyFrameToLayer() {
  if (!layer_) return;
  // View geometry never animates on its own.
  Transaction::begin();
  Transaction::setDisableActions(true);
  layer_->setAnchorPoint(QPointF(0, 0));
  layer_->setBounds(QRectF(QPointF(0, 0), frame_.size()));
  layer_->setPosition(frame_.topLeft());
  layer_->setHidden(hidden_);
  Transaction::commit();
}

void View::setFrame(const QRectF& frame) {
  const bool resized = frame.size() != frame_.size();
  frame_ = frame;
  applyFrameToLayer();
  if (resized && drawsContent() && layer_) setNeedsDisplay();
}

void View::setHidden(bool hidden) {
  hidden_ = hidden;
  if (layer_) layer_->setHidden(hidden);
}

double View::alphaValue() { return layer()->opacity(); }

void View::setAlphaValue(double alpha) {
  Transaction::begin();
  Transaction::setDisableActions(true);
  layer()->setOpacity(std::clamp(alpha, 0.0, 1.0));
  Transaction::commit();
}

void View::animateAlphaValue(double alpha) {
  // Only a presented layer animates; a new one is presented by a flush, which then shows where the fade starts.
  if (!layer()->isPresented()) Transaction::flush();
  layer()->setOpacity(std::clamp(alpha, 0.0, 1.0));
}

void View::addSubview(const ViewPtr& view) {
  if (!view || view.get() == this) return;
  for (auto p = superview(); p; p = p->superview())
    if (p == view) return;
  view->removeFromSuperview();
  subviews_.push_back(view);
  view->superview_ = weak_from_this();
  view->setWindow(window_.lock());
  if (layer_) layer_->addSublayer(view->layer());
}

void View::removeFromSuperview() {
  ViewPtr super = superview_.lock();
  superview_.reset();
  if (!super) return;
  ViewPtr keep = weak_from_this().lock();
  if (layer_) layer_->removeFromSuperlayer();
  std::erase_if(super->subviews_, [this](const ViewPtr& v) { return v.get() == this; });
  if (auto w = window_.lock(); w && w->firstResponder().get() == this) w->makeFirstResponder(nullptr);
  setWindow(nullptr);
}

std::shared_ptr<Window> View::window() const { return window_.lock(); }

void View::setWindow(const std::shared_ptr<Window>& w) {
  if (window_.lock() == w) return;
  window_ = w;
  for (const auto& s : subviews_) s->setWindow(w);
  viewDidMoveToWindow();
}

void View::keyDown(const KeyEvent& event) {
  if (auto super = superview())
    super->keyDown(event);
  else if (auto w = window())
    w->keyDown(event);
}

void View::drawRect(QPainter&, const QRectF&) {}

void View::drawTree(QPainter& painter, const QRectF& rect, bool subviews) const {
  painter.save();
  const_cast<View*>(this)->drawRect(painter, rect);
  painter.restore();
  if (!subviews) return;
  for (const auto& s : subviews_) {
    if (s->hidden_) continue;
    painter.save();
    painter.translate(s->frame_.topLeft());
    s->drawTree(painter, rect.translated(-s->frame_.topLeft()), true);
    painter.restore();
  }
}

QImage View::cacheDisplayInRect(const QRectF& rect) const { return drawInto(rect, true); }

QImage View::drawInto(const QRectF& rect, bool subviews) const {
  const QSize size(int(std::ceil(rect.width())), int(std::ceil(rect.height())));
  if (size.isEmpty()) return {};
  QImage img(size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // y up inside the view: flip once, with the rectangle's origin at the bottom left of the image.
  p.translate(-rect.x(), rect.y() + rect.height());
  p.scale(1, -1);
  drawTree(p, rect, subviews);
  p.end();
  return img;
}

void View::setNeedsDisplay() {
  if (!layer_ || !drawsContent()) return;
  // The drawing is held upright in the layer (contents are shown top row up).
  // Subviews draw into layers of their own.
  layer_->setContents(drawInto(bounds(), false));
}

}  // namespace ox
