#include "platform/ui/Button.h"

namespace ox {

void Button::clearTarget() {
  target_.reset();
  action_ = nullptr;
}

bool Button::sendAction() const {
  if (!action_) return false;
  const std::shared_ptr<void> target = target_.lock();
  if (!target) return false;
  // Held for the call: the action may replace this button's target, or drop the last other reference to it.
  const auto action = action_;
  action(target.get(), *this);
  return true;
}

}  // namespace ox
