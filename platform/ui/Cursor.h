#pragma once

namespace ox {

// The pointer as the platform hides it: hides are counted, and the pointer shows again only when every hide has
// been matched by an unhide. Unhides beyond the hides do nothing. Main thread only.
class Cursor {
 public:
  static void hide();
  static void unhide();
  static bool isHidden();
  static int hideCount();
};

}  // namespace ox
