#include <gtest/gtest.h>

#include <QStringList>
#include <memory>

#include "platform/foundation/DelayedCall.h"
#include "tests/support/TestUtil.h"

using ox::DelayedCall;

namespace {

struct ManualTime {
  ManualTime() { DelayedCall::useManualTime(true); }
  ~ManualTime() { DelayedCall::useManualTime(false); }
};

}  // namespace

TEST(DelayedCall, RestartingReplacesThePendingCallAndCancelStopsIt) {
  ManualTime manual;
  QStringList ran;
  DelayedCall settle;
  settle.start(1.0, [&] { ran << "first"; });
  DelayedCall::advanceManualTime(0.5);
  settle.start(1.0, [&] { ran << "second"; });  // a key press inside the second resets the wait
  DelayedCall::advanceManualTime(0.9);
  EXPECT_TRUE(ran.isEmpty());
  EXPECT_TRUE(settle.isPending());
  DelayedCall::advanceManualTime(0.2);
  EXPECT_EQ(ran, QStringList{"second"});
  EXPECT_FALSE(settle.isPending());

  settle.start(1.0, [&] { ran << "cancelled"; });
  settle.cancel();
  DelayedCall::advanceManualTime(5);
  EXPECT_EQ(ran, QStringList{"second"});
}

TEST(DelayedCall, CallsRunInDueOrderAndRearmingCallsRunAgainWithinOneAdvance) {
  ManualTime manual;
  QStringList ran;
  DelayedCall slideshow, clock;
  std::function<void()> tick = [&] {
    ran << "picture";
    slideshow.start(9.0, tick);
  };
  slideshow.start(0, tick);
  clock.start(10.0, [&] { ran << "clock"; });
  DelayedCall::advanceManualTime(20);
  EXPECT_EQ(ran, QStringList({"picture", "picture", "clock", "picture"}));
  EXPECT_TRUE(slideshow.isPending());
}

TEST(DelayedCall, AnObjectThatGoesCancelsItsCall) {
  ManualTime manual;
  int ran = 0;
  auto call = std::make_unique<DelayedCall>();
  call->start(1.0, [&] { ++ran; });
  call.reset();
  DelayedCall::advanceManualTime(2);
  EXPECT_EQ(ran, 0);
}

TEST(DelayedCall, RealTimeRunsOnTheEventLoopOnce) {
  int ran = 0;
  DelayedCall call, cancelled;
  call.start(0.02, [&] { ++ran; });
  cancelled.start(0.01, [&] { ran += 100; });
  cancelled.cancel();
  EXPECT_EQ(ran, 0);  // never inside the call
  ASSERT_TRUE(oxtest::spinUntil([&] { return ran > 0; }, 2000));
  oxtest::spinFor(50);
  EXPECT_EQ(ran, 1);
}
