#pragma once
#include <functional>

#include "platform/layers/Layer.h"

// Opacity fades on any layer, the way the full-screen views fade in and out and chain their next step.

// Animates the layer's opacity to `opacity` over `time` seconds (in one transaction of that duration).
void setAnimationToOpacity(const ox::LayerPtr& layer, float opacity, float time);
// The same; then runs `block` on the main thread time + 0.2 s after the call, 0.2 s after the fade has ended,
// whether or not the opacity changed. A later fade on the layer does not cancel an earlier block.
void setAnimationToOpacity(const ox::LayerPtr& layer, float opacity, float time, std::function<void()> block);
