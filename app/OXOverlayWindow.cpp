#include "app/OXOverlayWindow.h"

#include "playback/OXVideoPlayer.h"

using namespace ox;

OXOverlayWindow::OXOverlayWindow() : Window(OXVideoPlayer::screenContentRect()) {
  setLevel(WindowLevel::ScreenSaver - 1);
  setAlphaValue(0.0);
  setBackgroundColor(QColor::fromRgbF(0, 0, 0, 0.5f));
  setOpaque(false);
}

void OXOverlayWindow::addContent(const ViewPtr& view) {
  // Made here, not in the constructor: a content view learns its window from the window's shared pointer.
  if (!contentView()) setContentView(std::make_shared<View>());
  contentView()->addSubview(view);
}

void OXOverlayWindow::enableBlurForWindow() { setBackgroundBlurRadius(kBlurRadius); }

void OXOverlayWindow::present(const ViewPtr& responder) {
  if (!contentView()) setContentView(std::make_shared<View>());
  makeMainWindow();
  makeKeyWindow();
  orderFront();
  if (responder) makeFirstResponder(responder);
  enableBlurForWindow();
  animateAlphaValue(1.0);
}
