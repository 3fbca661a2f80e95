#pragma once
// Shared state between layers, transactions and the renderer. Not for use outside platform/layers.
#include <memory>
#include <unordered_set>

#include "platform/layers/TimingFunction.h"

namespace ox {
class Layer;
namespace detail {

// Values of the innermost open transaction that says anything about them.
double transactionDuration();
TimingFunction transactionTiming();
bool actionsDisabled();
// A new implicit animation: every open transaction with a completion block waits for it.
void registerAnimation(const std::weak_ptr<Layer>& layer, quint64 id);
// An animation of the layer ends at `end`: the next flush after that lets the layer's ended animations go, so that a
// pass over thousands of layers leaves nothing behind once it is over.
void animationEnds(const std::weak_ptr<Layer>& layer, double end);
// Whether an open transaction has a completion block.
bool completionWaiting();
// Something in some tree changed: a flush is posted to the event loop (layout, presentation, observers).
void markDirty();
void addPendingLayout(Layer* layer);
// The layers waiting for layout.
const std::unordered_set<Layer*>& pendingLayouts();
void removePendingLayout(Layer* layer);
// Marks the ancestors of every layer waiting for layout, so a pass from the root finds them.
void propagatePendingLayout();
// Counts flushes; a layer made before the latest flush is presented.
quint64 flushGeneration();
// Runs the transaction completions whose animations are over (or gone).
void processCompletions();

}  // namespace detail
}  // namespace ox
