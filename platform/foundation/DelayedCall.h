#pragma once
#include <functional>
#include <memory>

namespace ox {

// One pending, cancellable perform on the main thread: what a view arms after a delay and cancels or re-arms before
// it is due (a clock tick, the next slideshow picture, a settle-down after key presses). Starting it again replaces
// the pending call; the object going away cancels it. Main thread only.
//
// Tests switch every DelayedCall to a manual clock, which only advanceManualTime moves, so a test can run what falls
// due in nine seconds without waiting for them.
class DelayedCall {
 public:
  DelayedCall();
  ~DelayedCall();
  DelayedCall(const DelayedCall&) = delete;
  DelayedCall& operator=(const DelayedCall&) = delete;

  // Runs `block` once, `seconds` from now (0 or less: at the next turn of the event loop), unless cancelled or
  // started again before.
  void start(double seconds, std::function<void()> block);
  void cancel();
  bool isPending() const;

  // Calls started from now on follow the manual clock (true) or real time (false, the default).
  static void useManualTime(bool manual);
  static bool isManualTime();
  // Moves the manual clock and runs, in the order they fall due, the calls due by then, also those they start.
  static void advanceManualTime(double seconds);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace ox
