#pragma once
#include <memory>

#include "platform/ui/View.h"
#include "platform/ui/Window.h"

// What the overlay windows of the browsing views (full-screen menu, resume panel) have in common: borderless over
// the chosen screen's whole frame with its place among the screens, one level below the screen saver, black at 50 %
// over a blur of radius 20 of what lies beneath, key and main while shown. The opener keeps the window in a field of
// its own; closing does not free it. Main thread only.
class OXOverlayWindow : public ox::Window {
 public:
  bool canBecomeMainWindow() const override { return true; }
  bool canBecomeKeyWindow() const override { return true; }

  // The blur of radius 20 of what lies beneath.
  void enableBlurForWindow();

  static constexpr double kBlurRadius = 20;

 protected:
  // At alpha 0, not yet shown; the empty rectangle without a chosen screen.
  OXOverlayWindow();
  // Puts the view into the window's content view.
  void addContent(const ox::ViewPtr& view);
  // Makes the window main and key, orders it front with `responder` (when given) taking the keys, turns the blur on
  // and fades the window in.
  void present(const ox::ViewPtr& responder);
};
