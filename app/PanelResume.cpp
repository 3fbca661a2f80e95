#include "app/PanelResume.h"

#include <algorithm>
#include <cmath>

#include "app/OXSetupLayers.h"

using namespace ox;

std::shared_ptr<PanelResume> PanelResume::initWithPanelView(const ViewPtr& view) {
  std::shared_ptr<PanelResume> w(new PanelResume);
  if (auto* builder = dynamic_cast<OXSetupLayers*>(view.get())) {
    builder->setupLayers();
    w->addContent(view);
    w->panelView_ = view;
  }
  w->present(w->panelView_);
  return w;
}

float PanelResume::resumeRatio(float storedRatio) {
  if (!std::isfinite(storedRatio)) return 0.0f;
  return std::clamp(storedRatio, 0.0f, 1.0f);
}
