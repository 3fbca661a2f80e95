#include "playback/NSCursor_Hide.h"

#include "platform/ui/Cursor.h"

namespace {
bool gHidden = false;
}

void NSCursor_Hide::hideCursor() {
  if (gHidden) return;
  ox::Cursor::hide();
  gHidden = true;
}

void NSCursor_Hide::showCursor() {
  if (!gHidden) return;
  ox::Cursor::unhide();
  gHidden = false;
}

bool NSCursor_Hide::isCursorHidden() { return gHidden; }
