#pragma once
#include <functional>

// Time and delayed work of the remote chain (hold detection, click windows). The main loop's clock is real
// monotonic time with blocks run by the main thread's event loop; tests give a manual clock instead, so that holds
// and click windows are checked at chosen instants without waiting. Main thread only.
class RemoteClock {
 public:
  virtual ~RemoteClock() = default;
  // Seconds on a monotonic scale.
  virtual double now() const = 0;
  // Runs `block` on the main thread `seconds` from now, never inside this call.
  virtual void after(double seconds, std::function<void()> block) = 0;

  static RemoteClock& mainLoop();
};
