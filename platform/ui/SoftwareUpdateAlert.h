#pragma once
#include <QMessageBox>

#include "platform/system/SoftwareUpdater.h"

namespace ox {

// The update check a person asks for: the feed is read off the main thread and the answer shown in a small dialogue
// whatever it is: a newer version, with a button to its release page; up to date; or a feed that could not be read.
// The automatic checks show the first of these the same way. One dialogue at a time: a later answer takes the place
// of the one on screen. Main thread only.
class SoftwareUpdateAlert {
 public:
  static void checkForUpdates();
  static void show(const SoftwareUpdater::CheckResult& result);
  // The dialogue on screen; none when none shows.
  static QMessageBox* current();
};

}  // namespace ox
