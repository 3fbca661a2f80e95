#include "remote/RemoteClock.h"

#include <chrono>

#include "platform/foundation/MainQueue.h"

namespace {

class MainLoopClock final : public RemoteClock {
 public:
  double now() const override {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }
  void after(double seconds, std::function<void()> block) override { ox::dispatchMainAfter(seconds, std::move(block)); }
};

}  // namespace

RemoteClock& RemoteClock::mainLoop() {
  static MainLoopClock* const clock = new MainLoopClock;
  return *clock;
}
