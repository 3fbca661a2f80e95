#pragma once
#include <memory>

#include "platform/ui/Window.h"

// Ombrix's only window: borderless, and still able to become key and main.
class OXWindow : public ox::Window {
 public:
  static std::shared_ptr<OXWindow> create() { return std::shared_ptr<OXWindow>(new OXWindow()); }
  bool canBecomeKeyWindow() const override { return true; }
  bool canBecomeMainWindow() const override { return true; }

 protected:
  OXWindow() = default;
};
