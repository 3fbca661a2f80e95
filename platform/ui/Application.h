#pragma once
#include <functional>

namespace ox {

// The running program as its views see it. Termination leaves the event loop, so the program's own ending runs
// (the delegate's will-terminate step, saving what must be saved). Main thread only.
class Application {
 public:
  // Asks the program to end: QCoreApplication::quit unless a handler replaces it.
  static void terminate();
  // Tests replace termination (an empty handler restores it). Answers the termination requests seen so far.
  static void setTerminateHandler(std::function<void()> handler);
  static int terminateRequests();
};

}  // namespace ox
