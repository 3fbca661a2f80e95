#pragma once
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <memory>
#include <vector>

#include "platform/layers/Layer.h"
#include "platform/ui/KeyEvent.h"

namespace ox {

class Window;
class View;
using ViewPtr = std::shared_ptr<View>;

// A rectangle of a window, in its superview's coordinates (origin bottom left, y up), backed by a layer. Subviews'
// layers are sublayers of the view's layer. A view answers keys when it is its window's first responder.
//
// The layer is made on first use (`layer()`), so a view that is only drawn into an image (`cacheDisplayInRect`)
// touches no layer and may be used off the main thread.
class View : public std::enable_shared_from_this<View> {
 public:
  explicit View(const QRectF& frame = QRectF());
  virtual ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  QRectF frame() const { return frame_; }
  void setFrame(const QRectF& frame);
  QRectF bounds() const { return QRectF(QPointF(0, 0), frame_.size()); }
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  // The opacity of the backing layer: at once, or through the animator (animated like a layer change, 0.25 s unless
  // an open transaction says otherwise; a layer that was never on screen fades from the value it has).
  double alphaValue();
  void setAlphaValue(double alpha);
  void animateAlphaValue(double alpha);

  // The backing layer; made by makeBackingLayer on first use.
  LayerPtr layer();
  bool hasLayer() const { return layer_ != nullptr; }
  // Hosts the given layer instead (the view's frame is applied to it).
  void setLayer(const LayerPtr& layer);

  void addSubview(const ViewPtr& view);
  void removeFromSuperview();
  const std::vector<ViewPtr>& subviews() const { return subviews_; }
  ViewPtr superview() const { return superview_.lock(); }
  std::shared_ptr<Window> window() const;

  // Sent after the view (or a superview) joined a window or left one; window() tells which.
  virtual void viewDidMoveToWindow() {}

  virtual bool acceptsFirstResponder() const { return false; }
  virtual bool becomeFirstResponder() { return true; }
  virtual bool resignFirstResponder() { return true; }
  // Unhandled keys go up to the superview; the window drops them at the top.
  virtual void keyDown(const KeyEvent& event);

  // Custom drawing, in the bounds, y up. Views that draw answer true from drawsContent; their drawing becomes the
  // layer's contents on setNeedsDisplay (and when the layer is made).
  virtual void drawRect(QPainter& painter, const QRectF& dirtyRect);
  virtual bool drawsContent() const { return false; }
  void setNeedsDisplay();
  // The view's drawing and its subviews' over `rect` (bounds coordinates), one pixel per point.
  QImage cacheDisplayInRect(const QRectF& rect) const;

 protected:
  virtual LayerPtr makeBackingLayer();

 private:
  friend class Window;
  void applyFrameToLayer();
  void drawTree(QPainter& painter, const QRectF& rect, bool subviews) const;
  QImage drawInto(const QRectF& rect, bool subviews) const;
  void setWindow(const std::shared_ptr<Window>& w);

  QRectF frame_;
  bool hidden_ = false;
  LayerPtr layer_;
  std::vector<ViewPtr> subviews_;
  std::weak_ptr<View> superview_;
  std::weak_ptr<Window> window_;
};

}  // namespace ox
