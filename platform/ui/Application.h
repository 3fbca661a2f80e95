#pragma once
#include <functional>

namespace ox {

// The running program as its views see it. Termination leaves the event loop, so the program's own ending runs
// (the delegate's will-terminate step, saving what must be saved). Main thread only.
class Application {
 public:
  // Runs the event loop, then willTerminate, and answers the loop's status. Every way out passes through
  // willTerminate once: terminate() and any other quit of the loop; SIGTERM and SIGINT, whose handler only wakes
  // the loop, which then terminates; and a broken display connection, after which Qt's xcb platform ends the process
  // from inside its event dispatcher: willTerminate then runs first and the process ends with status 0.
  static int run(const std::function<void()>& willTerminate);

  // Asks the program to end: QCoreApplication::quit unless a handler replaces it.
  static void terminate();
  // Tests replace termination (an empty handler restores it). Answers the termination requests seen so far.
  static void setTerminateHandler(std::function<void()> handler);
  static int terminateRequests();
};

}  // namespace ox
