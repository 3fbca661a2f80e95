#pragma once
#include <QString>
#include <QUrl>
#include <functional>

namespace ox {

// The desktop as the programs meet each other through it. A program runs when some process owns its bundle
// identifier ("Varnel.Ombrix", "Varnel.OmbrixHelper") as a name on the session bus; each program claims its own at
// start. Launching is starting the program file detached; web pages open in the desktop's browser. Main thread only.
class Workspace {
 public:
  static Workspace& shared();

  // False without a session bus.
  bool isApplicationRunning(const QString& bundleIdentifier) const;

  enum class Claim { Owned, TakenByAnother, NoBus };
  // Takes the bus name for this process for its whole life (never queued, never handed to a later claimant).
  Claim claimBundleIdentifier(const QString& bundleIdentifier);

  // Starts the program file without arguments, detached; false when there is no such program or it cannot start.
  bool launchApplication(const QString& path);
  // Hands the address to the desktop's opener (xdg-open); false when there is none.
  bool openURL(const QUrl& url);

  // Tests replace how programs start and pages open; an empty function restores the real one.
  void setLauncher(std::function<bool(const QString& path)> launcher);
  void setURLOpener(std::function<bool(const QUrl& url)> opener);

 private:
  Workspace() = default;
  std::function<bool(const QString&)> launcher_;
  std::function<bool(const QUrl&)> opener_;
};

}  // namespace ox
