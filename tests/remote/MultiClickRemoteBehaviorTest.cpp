#include <gtest/gtest.h>

#include <cmath>

#include "remote/MultiClickRemoteBehavior.h"
#include "tests/remote/ManualRemoteClock.h"

namespace {

// The target's events as "code+" / "code-", with "xN" for a count above 1 and "@ms" since the start.
struct Target : MultiClickRemoteBehaviorDelegate {
  explicit Target(const RemoteClock& c) : clock(c), start(c.now()) {}
  const RemoteClock& clock;
  double start;
  std::string log;
  void remoteButton(qint32 event, bool pressedDown, quint32 clickCount) override {
    log += (log.empty() ? "" : " ") + std::to_string(event) + (pressedDown ? "+" : "-") +
           (clickCount != 1 ? "x" + std::to_string(clickCount) : "") + "@" +
           std::to_string(std::lround((clock.now() - start) * 1000));
  }
};

// A remote that reports the holds of Right and Left itself, as the Apple Remote does.
struct HoldingRemote : RemoteControl {
  bool sendsEventForButtonIdentifier(qint32 code) const override {
    return (code & (RemoteButtonRightHold | RemoteButtonLeftHold | 126)) == code;
  }
};

struct Chain {
  ManualRemoteClock clock;
  Target target{clock};
  MultiClickRemoteBehavior behavior{clock};
  HoldingRemote remote;
  Chain() { behavior.setDelegate(&target); }
  void press(qint32 code, double after = 0) {
    clock.advance(after);
    behavior.sendRemoteButtonEvent(code, true, &remote);
  }
  void release(qint32 code, double after = 0) {
    clock.advance(after);
    behavior.sendRemoteButtonEvent(code, false, &remote);
  }
  const std::string& log() {
    clock.advance(2);
    return target.log;
  }
};

}  // namespace

TEST(MultiClickRemoteBehaviorTest, ByDefaultEveryEventPassesAtOnceWithClickCountOne) {
  Chain c;
  c.press(RemoteButtonPlus);
  c.release(RemoteButtonPlus, 0.5);
  c.press(RemoteButtonPlayHold);
  c.release(RemoteButtonPlayHold);
  EXPECT_EQ(c.log(), "2+@0 2-@500 1024+@500 1024-@500");
  c.behavior.setDelegate(nullptr);  // without a target events go nowhere
  c.press(RemoteButtonPlay);
  EXPECT_EQ(c.clock.pending(), 0u);
}

TEST(MultiClickRemoteBehaviorTest, ClicksWithinTheWindowArriveAsOnePressAndReleaseWithTheirCount) {
  Chain c;
  c.behavior.setClickCountingEnabled(true);
  for (double at : {0.0, 0.15, 0.15}) {
    c.press(RemoteButtonPlay, at);
    c.release(RemoteButtonPlay, 0.05);  // the remote's releases are not passed on
  }
  // The window closes 0.35 s after the last press, at 0.75; the release follows 0.1 s later.
  EXPECT_EQ(c.log(), "16+x3@750 16-x3@850");
}

TEST(MultiClickRemoteBehaviorTest, AnotherButtonOrAnUncountedEventEndsAWindowInOrder) {
  Chain c;
  c.behavior.setClickCountingEnabled(true);
  c.press(RemoteButtonPlay);
  c.press(RemoteButtonPlay, 0.1);
  c.press(RemoteButtonRight, 0.1);  // closes Play's window with Play's own count
  EXPECT_EQ(c.log(), "16+x2@200 16-x2@300 32+@550 32-@650");

  Chain d;
  d.behavior.setClickCountEnabledButtons(RemoteButtonPlay);
  d.press(RemoteButtonPlay);
  d.press(RemoteButtonMenu, 0.36);  // Play's counted release, due at 0.45, goes first
  EXPECT_EQ(d.log(), "16+@350 16-@360 8+@360");
}

TEST(MultiClickRemoteBehaviorTest, AButtonHeldLongEnoughBecomesItsHoldCodeWhereTheRemoteHasNone) {
  Chain c;
  c.behavior.setSimulateHoldEvent(true);
  c.press(RemoteButtonPlus);
  c.release(RemoteButtonPlus, 0.6);
  c.press(RemoteButtonPlus);
  c.release(RemoteButtonPlus, 0.2);  // let go before the hold time: the button itself
  c.press(RemoteButtonRight);        // the remote reports Right held itself
  c.press(RemoteButtonMenuHold);     // and hold codes are never simulated
  EXPECT_EQ(c.log(), "128+@400 128-@600 2+@800 2-@800 32+@800 512+@800");
  EXPECT_FALSE(c.behavior.simulatesHoldForButtonIdentifier(RemoteControlSwitched, nullptr));
}

TEST(MultiClickRemoteBehaviorTest, AReleaseWithoutItsPressDeliversNothing) {
  Chain c;
  c.behavior.setSimulateHoldEvent(true);
  c.release(RemoteButtonMinus);
  c.press(RemoteButtonPlus);
  c.release(RemoteButtonMinus);
  c.release(RemoteButtonMinus, 0.5);  // Plus is held by now
  c.release(RemoteButtonPlus);
  EXPECT_EQ(c.log(), "128+@400 128-@500");
}

TEST(MultiClickRemoteBehaviorTest, AHeldBackClickCountsFromItsPressAndWaitsEndWithTheBehaviour) {
  Chain c;
  c.behavior.setSimulateHoldEvent(true);
  c.behavior.setClickCountEnabledButtons(RemoteButtonMenu);
  c.press(RemoteButtonMenu);
  c.release(RemoteButtonMenu, 0.1);
  EXPECT_EQ(c.log(), "8+@350 8-@450");

  ManualRemoteClock clock;
  Target target(clock);
  {
    MultiClickRemoteBehavior behavior(clock);
    auto owned = std::make_shared<Target>(clock);
    std::weak_ptr<Target> watch = owned;
    behavior.setOwnedDelegate(std::move(owned));
    behavior.setDelegate(&target);
    EXPECT_TRUE(watch.expired());
    behavior.setSimulateHoldEvent(true);
    behavior.sendRemoteButtonEvent(RemoteButtonPlay, true, nullptr);
  }
  clock.advance(1);
  EXPECT_EQ(target.log, "");
}
