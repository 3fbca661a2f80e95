#pragma once

// A view that builds its layer tree on request, once its owner has placed it: full-screen views and overlay
// contents alike. Whoever shows such a view asks it to build its layers before putting it on screen.
class OXSetupLayers {
 public:
  virtual ~OXSetupLayers() = default;
  virtual void setupLayers() = 0;
};
