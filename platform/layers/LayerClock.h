#pragma once

namespace ox {

// The time base of layer animations, in seconds. Real time by default (a monotonic clock); tests switch to a manual
// clock to render or inspect a chosen instant. Main thread only.
class LayerClock {
 public:
  static double now();
  // Switches to a manual clock that reads `seconds` until moved.
  static void setManualTime(double seconds);
  // Moves the manual clock forward and runs the transaction completions that became due.
  static void advance(double seconds);
  static void useRealTime();
  static bool isManual();
};

// Scoped manual clock for tests: starts at `seconds`, returns to real time when it goes.
class ManualClock {
 public:
  explicit ManualClock(double seconds = 1000.0) { LayerClock::setManualTime(seconds); }
  ~ManualClock() { LayerClock::useRealTime(); }
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;
  double now() const { return LayerClock::now(); }
  void advance(double seconds) { LayerClock::advance(seconds); }
};

}  // namespace ox
