#include "platform/foundation/DelayedCall.h"

#include <QtGlobal>

#include <algorithm>
#include <vector>

#include "platform/foundation/MainQueue.h"

namespace ox {

struct DelayedCall::State {
  quint64 generation = 0;
  bool pending = false;
};

namespace {

struct ManualEntry {
  double due;
  quint64 order;
  std::function<bool()> stillWanted;
  std::function<void()> run;
};

struct ManualClock {
  bool manual = false;
  double now = 0;
  quint64 nextOrder = 0;
  std::vector<ManualEntry> entries;
};

ManualClock& manualClock() {
  static ManualClock clock;
  return clock;
}

}  // namespace

DelayedCall::DelayedCall() : state_(std::make_shared<State>()) {}

DelayedCall::~DelayedCall() { cancel(); }

void DelayedCall::start(double seconds, std::function<void()> block) {
  const quint64 generation = ++state_->generation;
  state_->pending = true;
  std::weak_ptr<State> weak = state_;
  auto fire = [weak, generation, block = std::move(block)] {
    const std::shared_ptr<State> s = weak.lock();
    if (!s || s->generation != generation || !s->pending) return;
    s->pending = false;
    if (block) block();
  };
  ManualClock& clock = manualClock();
  if (clock.manual) {
    clock.entries.push_back({clock.now + std::max(0.0, seconds), clock.nextOrder++,
                             [weak, generation] {
                               const auto s = weak.lock();
                               return s && s->generation == generation && s->pending;
                             },
                             std::move(fire)});
    return;
  }
  dispatchMainAfter(seconds, std::move(fire));
}

void DelayedCall::cancel() {
  ++state_->generation;
  state_->pending = false;
}

bool DelayedCall::isPending() const { return state_->pending; }

void DelayedCall::useManualTime(bool manual) {
  ManualClock& clock = manualClock();
  clock.manual = manual;
  if (!manual) clock.entries.clear();
}

bool DelayedCall::isManualTime() { return manualClock().manual; }

void DelayedCall::advanceManualTime(double seconds) {
  ManualClock& clock = manualClock();
  const double until = clock.now + std::max(0.0, seconds);
  for (;;) {
    std::erase_if(clock.entries, [](const ManualEntry& e) { return !e.stillWanted(); });
    auto next = std::min_element(clock.entries.begin(), clock.entries.end(), [](const auto& a, const auto& b) {
      return a.due != b.due ? a.due < b.due : a.order < b.order;
    });
    if (next == clock.entries.end() || next->due > until) break;
    clock.now = std::max(clock.now, next->due);
    std::function<void()> run = std::move(next->run);
    clock.entries.erase(next);
    run();
  }
  clock.now = until;
}

}  // namespace ox
