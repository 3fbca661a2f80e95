#pragma once
#include <QWidget>
#include <functional>

// The helper's pop-up panel: a frameless, transparent window that floats over other windows and can become the key
// (active) window. Its content view is the one child that fills it. Main thread only.
class OXPanel : public QWidget {
 public:
  OXPanel();

  bool canBecomeKeyWindow() const { return true; }
  bool isKeyWindow() const { return isActiveWindow(); }

  // The window's delegate messages (the panel controller's).
  std::function<void()> windowDidBecomeKey;
  std::function<void()> windowDidResignKey;
  std::function<void()> windowWillClose;
  // Escape, when no view inside the panel took it.
  std::function<void()> cancelOperation;

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};
