#include "app/CALayer_Transitions.h"

#include "core/OXTools.h"
#include "platform/layers/Transaction.h"


void setAnimationToOpacity(const ox::LayerPtr& layer, float opacity, float time) {
  if (!layer) return;
  ox::Transaction::begin();
  ox::Transaction::setAnimationDuration(double(time));
  layer->setOpacity(double(opacity));
  ox::Transaction::commit();
}

void setAnimationToOpacity(const ox::LayerPtr& layer, float opacity, float time, std::function<void()> block) {
  if (!layer) return;
  ox::Transaction::begin();
  ox::Transaction::setAnimationDuration(double(time));
  layer->setOpacity(double(opacity));
  // Set after the change, so it waits for no animation: it runs right after the commit and only starts the delay.
  ox::Transaction::setCompletionBlock([layer, block = std::move(block), time]() mutable {
    performBlockAfterDelay([layer, block = std::move(block)] {
      if (block) block();
    }, double(time) + 0.2);
  });
  ox::Transaction::commit();
}
