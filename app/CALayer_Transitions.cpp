#include "app/CALayer_Transitions.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>

#include "platform/layers/Transaction.h"

namespace {

// The delayed main-queue block: `delay` seconds from now, never inside the call.
void performBlockAfterDelay(std::function<void()> block, double delay) {
  if (!QCoreApplication::instance() || !block) return;
  const auto ns = std::chrono::nanoseconds(delay > 0 ? qint64(delay * 1e9) : 0);
  QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(ns), Qt::PreciseTimer,
                     QCoreApplication::instance(), std::move(block));
}

}  // namespace

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
