#pragma once
#include <QString>

namespace ox {

// Running programs are known by their bundle identifiers ("Varnel.Ombrix", "Varnel.OmbrixHelper"), names on the
// session bus that each program owns while it runs.
class RunningApplication {
 public:
  enum class Claim {
    Owned,           // this process now owns the name
    TakenByAnother,  // another process runs under it
    NoSessionBus,    // no bus to ask: the program runs, but cannot tell a second copy of itself
  };
  // Takes the name for this process, never queueing for it nor letting another take it over. Main thread.
  static Claim claimBundleIdentifier(const QString& identifier);
};

}  // namespace ox
