// Ombrix's remote dispatch: the fake receiver's batches through the Apple Remote and its behaviour to the delegate,
// which commands the key window's first responder; holds are timed on a manual clock.
#include <gtest/gtest.h>

#include <QStringList>

#include <linux/input-event-codes.h>

#include "app/OXWindow.h"
#include "app/VNAppDelegate.h"
#include "platform/ui/WindowServer.h"
#include "remote/AppleRemote.h"
#include "remote/EvdevKeyBatcher.h"
#include "tests/remote/FakeHIDBackend.h"
#include "tests/remote/ManualRemoteClock.h"
#include "tests/remote/RemoteTestUtil.h"

namespace {

// A full-screen view that writes down every command it gets.
struct Recorder : ox::View, OXRemoteProtocol {
  QStringList seen;
  bool acceptsFirstResponder() const override { return true; }
  void moveLeft() override { seen << "left"; }
  void moveRight() override { seen << "right"; }
  void moveUp() override { seen << "up"; }
  void moveDown() override { seen << "down"; }
  void keyPlay() override { seen << "play"; }
  void keyMenu() override { seen << "menu"; }
  void holdLeft() override { seen << "holdLeft"; }
  void holdRight() override { seen << "holdRight"; }
  void releaseButton() override { seen << "release"; }
  void holdMenu() override { seen << "holdMenu"; }
  void holdPlay() override { seen << "holdPlay"; }
};

// A view with only the six required commands.
struct Plain : ox::View, OXRemoteProtocol {
  int commands = 0;
  bool acceptsFirstResponder() const override { return true; }
  void moveLeft() override { ++commands; }
  void moveRight() override { ++commands; }
  void moveUp() override { ++commands; }
  void moveDown() override { ++commands; }
  void keyPlay() override { ++commands; }
  void keyMenu() override { ++commands; }
};

// A responder that is no full-screen view.
struct Bare : ox::View {
  bool acceptsFirstResponder() const override { return true; }
};

// Generation 1000's cookie strings.
const QString kPlus = "33_31_30_21_20_2_", kMinus = "33_32_30_21_20_2_", kMenu = "33_22_21_20_2_33_22_21_20_2_",
              kPlay = "33_23_21_20_2_33_23_21_20_2_", kRightHeld = "33_21_20_14_12_2_",
              kMenuHeld = "33_21_20_2_33_21_20_2_", kPlayHeld = "37_33_21_20_2_37_33_21_20_2_";

class RemoteDispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    remotetest::useBundleIdentifier();
    auto backend = std::make_unique<FakeHIDBackend>();
    fake = backend.get();
    delegate->setRemoteClock(&clock);
    delegate->setRemoteBackend(std::move(backend));
    delegate->setupRemoteControl();
    ASSERT_TRUE(delegate->remoteControl());
    window->setContentView(std::make_shared<ox::View>());
    window->contentView()->addSubview(view);
    window->makeKeyAndOrderFront();
    window->makeFirstResponder(view);
  }
  void TearDown() override { window->close(); }
  void press(const QString& cookies) { fake->deliver(cookies, 1); }
  void release(const QString& cookies) { fake->deliver(cookies, 0); }

  ManualRemoteClock clock;
  FakeHIDBackend* fake = nullptr;
  std::shared_ptr<VNAppDelegate> delegate = VNAppDelegate::create();
  std::shared_ptr<OXWindow> window = OXWindow::create();
  std::shared_ptr<Recorder> view = std::make_shared<Recorder>();
};

}  // namespace

TEST_F(RemoteDispatch, PlusHeldStepsAtOnceThenFromFourHundredFiftyMillisecondsEveryFiftyUntilLetGo) {
  EXPECT_TRUE(delegate->remoteControl()->isListeningToRemote());
  press(kPlus);
  EXPECT_EQ(view->seen, QStringList{"up"});
  clock.advance(0.399);
  EXPECT_EQ(view->seen.size(), 1);
  EXPECT_FALSE(delegate->isRepeating());
  clock.advance(0.041);  // 0.44 s
  EXPECT_EQ(view->seen.size(), 1);
  clock.advance(0.011);  // 0.451 s
  EXPECT_EQ(view->seen.size(), 2);
  clock.advance(0.5);  // 0.951 s: ten further steps
  EXPECT_EQ(view->seen.size(), 12);
  EXPECT_EQ(view->seen.count("up"), 12);
  release(kPlus);
  EXPECT_FALSE(delegate->isRepeating());
  clock.advance(1);
  EXPECT_EQ(view->seen.size(), 12);

  // Let go before the hold time: one step only, and the pending hold is gone.
  view->seen.clear();
  press(kMinus);
  clock.advance(0.3);
  release(kMinus);
  clock.advance(1);
  EXPECT_EQ(view->seen, QStringList{"down"});

  // The repeat follows the key window's responder as it changes.
  view->seen.clear();
  press(kMinus);
  clock.advance(0.5);
  auto other = std::make_shared<Recorder>();
  window->contentView()->addSubview(other);
  window->makeFirstResponder(other);
  clock.advance(0.1);
  release(kMinus);
  EXPECT_EQ(view->seen, QStringList({"down", "down", "down"}));
  EXPECT_EQ(other->seen, QStringList({"down", "down"}));
}

TEST_F(RemoteDispatch, AHeldPlusStopsRepeatingWhenTheReceiverLosesItsKeys) {
  EvdevKeyBatcher batcher(clock);
  batcher.setBatchHandler([this](const HIDEventBatch& batch) { fake->deliver(batch); });
  batcher.keyEvent(KEY_VOLUMEUP, 1);
  clock.advance(0.6);
  ASSERT_TRUE(delegate->isRepeating());
  // Events dropped (or the receiver gone) while Plus is down: its release never comes from the device.
  batcher.reset();
  EXPECT_FALSE(delegate->isRepeating());
  const qsizetype steps = view->seen.size();
  clock.advance(2);
  batcher.keyEvent(KEY_VOLUMEUP, 0);
  EXPECT_EQ(view->seen.size(), steps);
  EXPECT_EQ(view->seen.count("up"), steps);
}

TEST_F(RemoteDispatch, AStalledMainLoopSkipsTheMissedRepeatsInsteadOfFiringThemAtOnce) {
  press(kPlus);
  clock.advance(0.451);
  ASSERT_EQ(view->seen.size(), 2);
  clock.stall(1.0);
  clock.advance(0);
  EXPECT_EQ(view->seen.size(), 3);
  clock.advance(0.05);
  EXPECT_EQ(view->seen.size(), 4);
  release(kPlus);
}

TEST_F(RemoteDispatch, TheRemotesOwnHoldsBecomeHoldCommandsAndOnlyLeftAndRightAreReleased) {
  press(kMenu);
  press(kPlay);
  press(kRightHeld);
  clock.advance(1);  // the view repeats a held Right itself, not the delegate
  release(kRightHeld);
  release(kMenuHeld);  // the receiver reports Menu held as its release only
  press(kPlayHeld);
  EXPECT_EQ(view->seen, QStringList({"menu", "play", "holdRight", "release", "holdMenu", "holdPlay"}));

  // The Plus and Minus hold codes (sent by remotes that report them) only leave a line in the log.
  view->seen.clear();
  delegate->remoteButton(RemoteButtonPlusHold, true, 1);
  delegate->remoteButton(RemoteButtonMinusHold, true, 1);
  delegate->remoteButton(RemoteControlSwitched, true, 1);
  clock.advance(1);
  EXPECT_TRUE(view->seen.isEmpty());
  EXPECT_FALSE(delegate->isRepeating());
}

TEST_F(RemoteDispatch, WithoutAKeyWindowOrAFullScreenResponderNothingIsSent) {
  // A view with only the required commands takes the holds as nothing.
  auto plain = std::make_shared<Plain>();
  window->contentView()->addSubview(plain);
  window->makeFirstResponder(plain);
  press(kRightHeld);
  release(kRightHeld);
  press(kPlayHeld);
  release(kMenuHeld);
  EXPECT_EQ(plain->commands, 0);
  press(kPlay);
  EXPECT_EQ(plain->commands, 1);

  // A responder that answers no commands; then no window is key at all.
  auto bare = std::make_shared<Bare>();
  window->contentView()->addSubview(bare);
  ASSERT_TRUE(window->makeFirstResponder(bare));
  EXPECT_FALSE(VNAppDelegate::keyWindowResponder());
  press(kPlus);
  clock.advance(1);
  window->orderOut();
  EXPECT_FALSE(ox::WindowServer::shared().keyWindow());
  clock.advance(1);
  release(kPlus);
  EXPECT_TRUE(view->seen.isEmpty());
  EXPECT_EQ(plain->commands, 1);
}

TEST_F(RemoteDispatch, TheRemoteListensWhileActiveAndStopsAtTerminationAndWithoutAReceiverThereIsNone) {
  RemoteControl* remote = delegate->remoteControl();
  delegate->applicationWillTerminate();
  EXPECT_FALSE(remote->isListeningToRemote());
  press(kPlay);
  EXPECT_TRUE(view->seen.isEmpty());
  delegate->applicationWillBecomeActive();
  EXPECT_TRUE(remote->isListeningToRemote());
  EXPECT_EQ(fake->openCount, 2);
  delegate->setupRemoteControl();  // once only
  EXPECT_EQ(delegate->remoteControl(), remote);

  auto bare = VNAppDelegate::create();
  auto absent = std::make_unique<FakeHIDBackend>();
  absent->present = false;
  bare->setRemoteBackend(std::move(absent));
  bare->setupRemoteControl();
  EXPECT_FALSE(bare->remoteControl());
  bare->applicationWillBecomeActive();
  bare->applicationWillTerminate();
}
