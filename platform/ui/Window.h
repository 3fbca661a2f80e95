#pragma once
#include <QColor>
#include <QRectF>
#include <memory>

#include "platform/layers/Layer.h"
#include "platform/ui/KeyEvent.h"
#include "platform/ui/View.h"

class QScreen;

namespace ox {

// Window levels, lowest first; windows of a higher level are always in front.
namespace WindowLevel {
constexpr int Normal = 0;
constexpr int Floating = 3;
constexpr int MainMenu = 24;
constexpr int Status = 25;
constexpr int PopUpMenu = 101;
constexpr int ScreenSaver = 1000;
}  // namespace WindowLevel

// One of the program's windows. It has no native window of its own: the window server composes every visible
// window of a screen, in level order, into that screen's one full-screen surface. Frames are in global screen
// coordinates with the origin at the bottom left of the primary screen and y up. Main thread only.
class Window : public std::enable_shared_from_this<Window> {
 public:
  explicit Window(const QRectF& frame = QRectF());
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  QRectF frame() const { return frame_; }
  void setFrame(const QRectF& frame);
  // The screen the window shows on: the one holding the middle of its frame (the primary screen otherwise).
  QScreen* screen() const;
  int level() const { return level_; }
  void setLevel(int level);
  double alphaValue() const;
  void setAlphaValue(double alpha);  // at once
  // Through the animator: animated like a layer change, 0.25 s unless an open transaction says otherwise; a new
  // window fades from the alpha it was given.
  void animateAlphaValue(double alpha);
  QColor backgroundColor() const { return background_; }
  void setBackgroundColor(const QColor& color);  // at once
  // Through the animator, as animateAlphaValue.
  void animateBackgroundColor(const QColor& color);
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }
  // A blurred copy of what lies beneath the window shows through its background (and fades with its alpha); 0, the
  // default, blurs nothing. The radius is in points.
  double backgroundBlurRadius() const { return blurRadius_; }
  void setBackgroundBlurRadius(double radius);

  ViewPtr contentView() const { return contentView_; }
  void setContentView(const ViewPtr& view);

  // Borderless windows become key or main only when their class says so.
  virtual bool canBecomeKeyWindow() const { return false; }
  virtual bool canBecomeMainWindow() const { return false; }
  void makeKeyAndOrderFront();
  void makeKeyWindow();
  void makeMainWindow();
  void orderFront();
  void orderOut();
  // Orders the window out for good; it can be shown again (its owner keeps it).
  virtual void close();
  bool isVisible() const { return visible_; }
  bool isKeyWindow() const;
  bool isMainWindow() const;

  ViewPtr firstResponder() const { return firstResponder_.lock(); }
  // A view of this window that accepts; nullptr makes the window itself the responder. false when refused.
  bool makeFirstResponder(const ViewPtr& view);
  // Delivers a key to the first responder (the window's own keyDown when there is none).
  virtual void sendEvent(const KeyEvent& event);
  virtual void keyDown(const KeyEvent& event);

  // The layer that stands for the whole window: background colour, alpha as opacity, the content view's layer.
  LayerPtr rootLayer() const { return root_; }

 private:
  friend class WindowServer;
  void placeRootLayer();

  QRectF frame_;
  int level_ = WindowLevel::Normal;
  QColor background_{0, 0, 0};
  bool opaque_ = true;
  double blurRadius_ = 0;
  bool visible_ = false;
  ViewPtr contentView_;
  std::weak_ptr<View> firstResponder_;
  LayerPtr root_;
  quint64 orderSeq_ = 0;
};

// Screen frames in the windows' coordinates (y up, origin at the primary screen's bottom left).
QRectF screenFrame(const QScreen* screen);

}  // namespace ox
