#include "platform/ui/Window.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "platform/layers/Transaction.h"
#include "platform/ui/WindowServer.h"

namespace ox {

QRectF screenFrame(const QScreen* screen) {
  if (!screen) return {};
  const QScreen* primary = QGuiApplication::primaryScreen();
  const double primaryHeight = primary ? primary->geometry().height() : 0;
  const QRect g = screen->geometry();
  return QRectF(g.x(), primaryHeight - (g.y() + g.height()), g.width(), g.height());
}

Window::Window(const QRectF& frame) : frame_(frame), root_(Layer::layer()) {
  Transaction::begin();
  Transaction::setDisableActions(true);
  root_->setAnchorPoint(QPointF(0, 0));
  root_->setBackgroundColor(background_);
  Transaction::commit();
  placeRootLayer();
}

Window::~Window() = default;

QScreen* Window::screen() const {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
  const QPointF mid = frame_.center();
  for (QScreen* s : QGuiApplication::screens())
    if (screenFrame(s).contains(mid)) return s;
  return QGuiApplication::primaryScreen();
}

void Window::placeRootLayer() {
  const QRectF sf = screenFrame(screen());
  Transaction::begin();
  Transaction::setDisableActions(true);
  root_->setBounds(QRectF(QPointF(0, 0), frame_.size()));
  root_->setPosition(frame_.topLeft() - sf.topLeft());
  Transaction::commit();
  if (contentView_) contentView_->setFrame(QRectF(QPointF(0, 0), frame_.size()));
}

void Window::setFrame(const QRectF& frame) {
  frame_ = frame;
  placeRootLayer();
  WindowServer::shared().updateSurfaces();
}

void Window::setLevel(int level) {
  level_ = level;
  WindowServer::shared().setNeedsDisplay();
}

double Window::alphaValue() const { return root_->opacity(); }

void Window::setAlphaValue(double alpha) {
  Transaction::begin();
  Transaction::setDisableActions(true);
  root_->setOpacity(std::clamp(alpha, 0.0, 1.0));
  Transaction::commit();
}

void Window::animateAlphaValue(double alpha) {
  // A window that was never on screen fades from the alpha it has, as soon as a flush has presented it.
  if (!root_->isPresented()) Transaction::flush();
  root_->setOpacity(std::clamp(alpha, 0.0, 1.0));
}

void Window::setBackgroundColor(const QColor& color) {
  background_ = color;
  Transaction::begin();
  Transaction::setDisableActions(true);
  root_->setBackgroundColor(color);
  Transaction::commit();
}

void Window::setBackgroundBlurRadius(double radius) {
  blurRadius_ = std::isfinite(radius) && radius > 0 ? radius : 0;
  WindowServer::shared().setNeedsDisplay();
}

void Window::animateBackgroundColor(const QColor& color) {
  background_ = color;
  root_->setBackgroundColor(color);
}

void Window::setContentView(const ViewPtr& view) {
  if (contentView_) {
    if (contentView_->hasLayer()) contentView_->layer()->removeFromSuperlayer();
    contentView_->setWindow(nullptr);
    if (firstResponder()) makeFirstResponder(nullptr);
  }
  contentView_ = view;
  if (!view) return;
  view->removeFromSuperview();
  view->setFrame(QRectF(QPointF(0, 0), frame_.size()));
  view->setWindow(weak_from_this().lock());
  root_->addSublayer(view->layer());
}

void Window::makeKeyAndOrderFront() {
  orderFront();
  makeKeyWindow();
}

void Window::makeKeyWindow() {
  if (!canBecomeKeyWindow()) return;
  if (auto self = weak_from_this().lock()) WindowServer::shared().makeKey(self);
}

void Window::makeMainWindow() {
  if (!canBecomeMainWindow()) return;
  if (auto self = weak_from_this().lock()) WindowServer::shared().makeMain(self);
}

void Window::orderFront() {
  if (auto self = weak_from_this().lock()) WindowServer::shared().orderFront(self);
}

void Window::orderOut() { WindowServer::shared().orderOut(this); }

void Window::close() { orderOut(); }

bool Window::isKeyWindow() const { return WindowServer::shared().keyWindow().get() == this; }
bool Window::isMainWindow() const { return WindowServer::shared().mainWindow().get() == this; }

bool Window::makeFirstResponder(const ViewPtr& view) {
  ViewPtr current = firstResponder();
  if (current == view) return true;
  if (view && (view->window().get() != this || !view->acceptsFirstResponder())) return false;
  if (current && !current->resignFirstResponder()) return false;
  if (view && !view->becomeFirstResponder()) {
    firstResponder_.reset();
    return false;
  }
  firstResponder_ = view;
  return true;
}

void Window::sendEvent(const KeyEvent& event) {
  if (ViewPtr r = firstResponder())
    r->keyDown(event);
  else
    keyDown(event);
}

void Window::keyDown(const KeyEvent&) {}

}  // namespace ox
