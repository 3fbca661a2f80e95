#pragma once
#include <QImage>
#include <QPainter>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/KeyEvent.h"
#include "platform/ui/Window.h"

class QScreen;

namespace ox {

// Keeps the visible windows in order, the key and main windows, and one full-screen surface per screen that has
// a visible window. Surfaces repaint after layer changes and keep painting while anything moves; they pass their
// key presses to the key window. Main thread only.
class WindowServer {
 public:
  static WindowServer& shared();

  // Visible windows, back to front: by level, then by the order they were brought front.
  std::vector<std::shared_ptr<Window>> orderedWindows() const;
  std::vector<std::shared_ptr<Window>> windowsOnScreen(const QScreen* screen) const;
  std::shared_ptr<Window> keyWindow() const { return key_.lock(); }
  std::shared_ptr<Window> mainWindow() const { return main_.lock(); }

  // The composition of a screen at time t, as its surface shows it: black, then each window with its alpha.
  void render(QPainter& painter, const QScreen* screen, double time);
  QImage grabScreen(const QScreen* screen, double time);
  // Sends a key to the key window; false when there is none.
  bool dispatchKeyEvent(const KeyEvent& event);
  // Whether the screen's native surface exists and is shown.
  bool hasSurface(const QScreen* screen) const;
  // Every surface paints again.
  void setNeedsDisplay();
  // Called after a screen's surface has painted the composition of instant `time` (grabScreen with the same
  // screen and time gives that frame). Answers a token for removeFrameObserver.
  int addFrameObserver(std::function<void(const QScreen* screen, double time)> observer);
  void removeFrameObserver(int token);
  // The surfaces report each painted frame here.
  void framePainted(const QScreen* screen, double time);

 private:
  friend class Window;
  WindowServer();
  ~WindowServer();
  void orderFront(const std::shared_ptr<Window>& w);
  void orderOut(Window* w);
  void makeKey(const std::shared_ptr<Window>& w);
  void makeMain(const std::shared_ptr<Window>& w);
  void updateSurfaces();
  struct Impl;
  std::unique_ptr<Impl> d;
  std::weak_ptr<Window> key_;
  std::weak_ptr<Window> main_;
};

}  // namespace ox
