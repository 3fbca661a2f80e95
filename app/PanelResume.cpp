#include "app/PanelResume.h"

#include <algorithm>
#include <cmath>

#include "app/OXSetupLayers.h"
#include "playback/OXVideoPlayer.h"

using namespace ox;

PanelResume::PanelResume() : Window(OXVideoPlayer::screenContentRect()) {
  setLevel(WindowLevel::ScreenSaver - 1);
  setAlphaValue(0.0);
  setBackgroundColor(QColor::fromRgbF(0, 0, 0, 0.5f));
  setOpaque(false);
}

std::shared_ptr<PanelResume> PanelResume::initWithPanelView(const ViewPtr& view) {
  std::shared_ptr<PanelResume> w(new PanelResume);
  w->setContentView(std::make_shared<View>());
  if (auto* builder = dynamic_cast<OXSetupLayers*>(view.get())) {
    builder->setupLayers();
    w->contentView()->addSubview(view);
    w->panelView_ = view;
  }
  w->makeMainWindow();
  w->makeKeyWindow();
  w->orderFront();
  if (w->panelView_) w->makeFirstResponder(view);
  w->enableBlurForWindow();
  w->animateAlphaValue(1.0);
  return w;
}

void PanelResume::enableBlurForWindow() { setBackgroundBlurRadius(kBlurRadius); }

float PanelResume::resumeRatio(float storedRatio) {
  if (!std::isfinite(storedRatio)) return 0.0f;
  return std::clamp(storedRatio, 0.0f, 1.0f);
}
