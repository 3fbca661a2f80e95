#include "core/OXPreferencesValues.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(OXPreferencesValues, OneInstanceEvenWhenFirstAskedFromManyThreads) {
  std::vector<OXPreferencesValues*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i)
    threads.emplace_back([&seen, i] { seen[i] = OXPreferencesValues::sharePreferences(); });
  for (auto& t : threads) t.join();
  for (auto* p : seen) EXPECT_EQ(p, OXPreferencesValues::sharePreferences());
}

TEST(OXPreferencesValues, FrameHasZeroOriginAndIsZeroWithoutAScreen) {
  OXPreferencesValues* prefs = OXPreferencesValues::sharePreferences();
  QScreen* const original = prefs->mainScreen();  // none in a program without a GUI application
  if (original) {
    EXPECT_EQ(prefs->mainScreenFrame(), QRectF(QPointF(0, 0), QSizeF(original->geometry().size())));
  }
  prefs->setMainScreen(nullptr);
  EXPECT_EQ(prefs->mainScreen(), nullptr);
  EXPECT_EQ(prefs->mainScreenFrame(), QRectF(0, 0, 0, 0));

  // A 1920 x 1080 display placed right of another one.
  prefs->setScreenGeometryForTesting(QRect(2560, 0, 1920, 1080));
  EXPECT_EQ(prefs->mainScreenFrame(), QRectF(0, 0, 1920, 1080));
  prefs->setScreenGeometryForTesting(std::nullopt);
  EXPECT_EQ(prefs->mainScreenFrame(), QRectF(0, 0, 0, 0));
  prefs->setMainScreen(original);
}
