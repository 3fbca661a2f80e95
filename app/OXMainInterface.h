#pragma once
#include <memory>

#include "app/AppController.h"
#include "app/OXWindow.h"
#include "app/VNAppDelegate.h"

// What Ombrix's interface holds at start, connected as the delegate and the switcher expect: the delegate, the one
// window with its content view, and the section switcher, whose awakeFromNib is the library's first use.
struct OXMainInterface {
  std::shared_ptr<VNAppDelegate> delegate;
  std::shared_ptr<OXWindow> window;
  std::shared_ptr<AppController> appController;

  static OXMainInterface load();

  // Ombrix's information values: bundle name, identifier and version, the update feed, the helper's bundle
  // identifier and program (beside our own executable), and the shell's killall. Each has an environment override
  // for tests and the demo (OMBRIX_FEED_URL, OMBRIX_BUNDLE_IDENTIFIER, OMBRIX_HELPER_BUNDLE_IDENTIFIER,
  // OMBRIX_HELPER_PATH, OMBRIX_KILLALL).
  static void registerInfoValues();
};
