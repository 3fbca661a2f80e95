#include "platform/foundation/MainQueue.h"

#include "tests/support/TestUtil.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QObject>

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using oxtest::spinFor;
using oxtest::spinUntil;

TEST(MainQueue, KnowsTheMainThread) {
  EXPECT_TRUE(ox::isMainThread());
  bool other = true;
  std::thread([&] { other = ox::isMainThread(); }).join();
  EXPECT_FALSE(other);
}

TEST(MainQueue, RunsLaterOnTheMainThreadInPostingOrder) {
  std::vector<int> order;  // touched only on the main thread
  bool allOnMain = true;
  ox::dispatchMain([&] { order.push_back(-1); });
  EXPECT_TRUE(order.empty());  // never inside the call, even on the main thread

  constexpr int kCount = 2000;
  std::thread poster([&] {
    for (int i = 0; i < kCount; ++i)
      ox::dispatchMain([&, i] {
        allOnMain = allOnMain && ox::isMainThread();
        order.push_back(i);
      });
  });
  // The main thread runs blocks while the poster is still posting.
  const bool all = spinUntil([&] { return order.size() == kCount + 1; });
  poster.join();
  ASSERT_TRUE(all);
  EXPECT_TRUE(allOnMain);
  EXPECT_EQ(order.front(), -1);
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(order[i + 1], i);
}

TEST(MainQueue, AfterNoDelayRunsAtTheNextTurnInOrderWithOtherPosts) {
  std::vector<int> order;
  ox::dispatchMainAfter(0, [&] { order.push_back(1); });
  ox::dispatchMain([&] { order.push_back(2); });
  ox::dispatchMainAfter(-3, [&] { order.push_back(3); });
  ox::dispatchMainAfter(std::nan(""), [&] { order.push_back(4); });
  EXPECT_TRUE(order.empty());
  ASSERT_TRUE(spinUntil([&] { return order.size() == 4; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(MainQueue, AfterADelayFromAnyThreadNeverEarly) {
  std::atomic<bool> ran{false}, onMain{false};
  std::atomic<qint64> at{0};
  QElapsedTimer clock;
  clock.start();
  std::thread([&] {
    ox::dispatchMainAfter(0.2, [&] {
      at = clock.elapsed();
      onMain = ox::isMainThread();
      ran = true;
    });
  }).join();
  ASSERT_TRUE(spinUntil([&] { return ran.load(); }));
  EXPECT_TRUE(onMain.load());
  EXPECT_GE(at.load(), 200);
  EXPECT_LT(at.load(), 3000);
}

TEST(MainQueue, DelaysBeyondAnyTimerDoNotRunEarly) {
  auto ran = std::make_shared<bool>(false);  // the timers outlive the test
  ox::dispatchMainAfter(9.0e9, [ran] { *ran = true; });   // close to the 64-bit nanosecond limit
  ox::dispatchMainAfter(1.0e12, [ran] { *ran = true; });  // beyond it
  ox::dispatchMainAfter(3.0e6, [ran] { *ran = true; });   // beyond one int of milliseconds
  spinFor(100);
  EXPECT_FALSE(*ran);
}

TEST(MainQueue, WorkForAnObjectRunsOnTheMainThreadOnlyWhileItLives) {
  auto owner = std::make_unique<QObject>();
  bool now = false;
  ox::performOnMainThread(owner.get(), [&] { now = true; });
  EXPECT_TRUE(now);  // already on the main thread: at once

  std::atomic<int> ran{0};
  std::atomic<bool> onMain{false};
  std::thread([&] {
    ox::performOnMainThread(owner.get(), [&] {
      onMain = ox::isMainThread();
      ++ran;
    });
  }).join();
  EXPECT_EQ(ran, 0);
  ASSERT_TRUE(spinUntil([&] { return ran == 1; }));
  EXPECT_TRUE(onMain);

  std::thread([&] { ox::performOnMainThread(owner.get(), [&] { ++ran; }); }).join();
  owner.reset();  // gone before the main queue turns
  spinFor(50);
  EXPECT_EQ(ran, 1);
}
