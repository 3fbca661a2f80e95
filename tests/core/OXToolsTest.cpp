#include "core/OXTools.h"

#include "platform/foundation/MainQueue.h"
#include "tests/support/TestUtil.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>

TEST(TextBetween, CutsBetweenMarkers) {
  EXPECT_EQ(textBetween("x;dn=Quiet.Orchard;tr=y", ";dn=", ";tr="), "Quiet.Orchard");
  EXPECT_TRUE(textBetween("x;tr=y", ";dn=", ";tr=").isNull());
  EXPECT_EQ(textBetween("x;dn=Quiet;dn=Other", ";dn=", ";tr="), "Quiet");
  EXPECT_EQ(textBetween("x;dn=Quiet.Orchard", ";dn=", ";tr="), "Quiet.Orchard");
  EXPECT_EQ(textBetween("k=1&k=2", "k=", "&"), "1");
  EXPECT_EQ(textBetween("a&dn=one&dn=two&tr", "&dn=", "&tr"), "one");
  const QString atEnd = textBetween("abc;dn=", ";dn=", ";tr=");
  EXPECT_FALSE(atEnd.isNull());
  EXPECT_TRUE(atEnd.isEmpty());
}

TEST(PerformBlockAfterDelay, RunsOnTheMainThreadAfterTheCallerReturned) {
  bool ran = false, onMain = false;
  qint64 at = 0;
  QElapsedTimer clock;
  clock.start();
  performBlockAfterDelay(
      [&] {
        ran = true;
        onMain = ox::isMainThread();
        at = clock.elapsed();
      },
      0.3);
  EXPECT_FALSE(ran);
  ASSERT_TRUE(oxtest::spinUntil([&] { return ran; }));
  EXPECT_TRUE(onMain);
  EXPECT_GE(at, 300);
  EXPECT_LT(at, 3000);

  // From another thread, and with no delay or a negative one: still later, still on the main thread.
  std::atomic<int> count{0};
  std::atomic<bool> allOnMain{true};
  std::thread([&] {
    for (double d : {0.0, -1.0, 0.01})
      performBlockAfterDelay(
          [&] {
            if (!ox::isMainThread()) allOnMain = false;
            count.fetch_add(1);
          },
          d);
  }).join();
  performBlockAfterDelay([&] { count.fetch_add(1); }, 0);
  EXPECT_LT(count.load(), 4);
  ASSERT_TRUE(oxtest::spinUntil([&] { return count.load() == 4; }));
  EXPECT_TRUE(allOnMain.load());

  // Delays whose nanoseconds do not fit 64 bits, or are not a number, must not crash or run early.
  auto late = std::make_shared<bool>(false);
  performBlockAfterDelay([late] { *late = true; }, 1e300);
  performBlockAfterDelay([late] { *late = true; }, std::numeric_limits<double>::infinity());
  bool nanRan = false;
  performBlockAfterDelay([&] { nanRan = true; }, std::nan(""));
  ASSERT_TRUE(oxtest::spinUntil([&] { return nanRan; }));
  EXPECT_FALSE(*late);
}
