#include "playback/NSCursor_Hide.h"

#include <gtest/gtest.h>

#include "platform/ui/Cursor.h"

using ox::Cursor;

TEST(NSCursorHide, ManyHidesAreOneAndOneShowUndoesThem) {
  const int start = Cursor::hideCount();
  NSCursor_Hide::showCursor();  // nothing to undo: the platform's count is left alone
  EXPECT_EQ(Cursor::hideCount(), start);

  NSCursor_Hide::hideCursor();
  NSCursor_Hide::hideCursor();
  NSCursor_Hide::hideCursor();
  EXPECT_EQ(Cursor::hideCount(), start + 1);
  EXPECT_TRUE(Cursor::isHidden());
  NSCursor_Hide::showCursor();
  EXPECT_EQ(Cursor::hideCount(), start);
  EXPECT_FALSE(NSCursor_Hide::isCursorHidden());

  // A hide made straight through the platform is neither counted here nor undone.
  Cursor::hide();
  NSCursor_Hide::hideCursor();
  NSCursor_Hide::showCursor();
  NSCursor_Hide::showCursor();
  EXPECT_EQ(Cursor::hideCount(), start + 1);
  EXPECT_TRUE(Cursor::isHidden());
  Cursor::unhide();
  EXPECT_EQ(Cursor::hideCount(), start);
}
