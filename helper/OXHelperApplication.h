#pragma once
#include <QObject>
#include <memory>

#include "platform/foundation/NotificationCenter.h"

class OXAppDelegate;

// The helper's application object: it takes the bundle identifier on the session bus (a second copy of the program
// asks the running one to open its panel and ends at once), runs the delegate through launching, the event loop and
// termination, and terminates (ox::Application::terminate) on "closeOmbrixHelperNotification" and, through
// ox::Application::run, on the session's SIGTERM (or a SIGINT), saving the library on the way out.
class OXHelperApplication : public QObject {
 public:
  // The program: the process arguments in, the exit status out (0 also for a second copy that stepped aside).
  static int main(int argc, char** argv);
  // The program's information values (name, identifier, version).
  static void registerInfoValues();

  OXHelperApplication();
  ~OXHelperApplication() override;

  OXAppDelegate* delegate() const { return delegate_.get(); }

 private:
  std::unique_ptr<OXAppDelegate> delegate_;
  ox::NotificationCenter::Token closeObserver_ = 0;
};
