#pragma once

// One pointer hide for the whole program, however many views ask: the platform's hides are counted, so hiding
// goes through here, and a single showCursor undoes it. Main thread only.
class NSCursor_Hide {
 public:
  static void hideCursor();
  static void showCursor();
  // Whether this hide is outstanding.
  static bool isCursorHidden();
};
