#pragma once
#include <memory>

#include "platform/layers/LayoutManager.h"

// The episode menu's row of thumbnails: the chosen one full size across the layer at three tenths of its height,
// the others scaled to 0.85 to its left and right; every change of "selectedIndex" (read in single precision)
// slides the row in 0.2 s, ease-out.
class OXEpisodeLayoutManager : public ox::LayoutManager {
 public:
  static std::shared_ptr<OXEpisodeLayoutManager> layoutManager();
  void layoutSublayersOfLayer(ox::Layer* layer) override;
};
