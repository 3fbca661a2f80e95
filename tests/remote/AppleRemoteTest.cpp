#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QTemporaryDir>

#include "remote/AppleRemote.h"
#include "tests/remote/FakeHIDBackend.h"
#include "tests/remote/RemoteTestUtil.h"
#include "tests/support/TestUtil.h"

using remotetest::PostLog;

namespace {

struct Remote {
  std::shared_ptr<remotetest::Recorder> recorder = std::make_shared<remotetest::Recorder>();
  FakeHIDBackend* fake = nullptr;
  std::unique_ptr<AppleRemote> remote;
  explicit Remote(const QString& lockPath = {}, int generation = 1000) {
    auto backend = std::make_unique<FakeHIDBackend>(lockPath);
    fake = backend.get();
    fake->generation = generation;
    remote = AppleRemote::create(recorder, std::move(backend));
  }
};

}  // namespace

TEST(AppleRemoteTest, EveryButtonOfEveryTableReachesTheDelegateAsPressAndRelease) {
  for (int generation : {800, 900, 1000}) {
    Remote r({}, generation);
    r.remote->startListening();
    const auto table = AppleRemote::cookieTable(generation, false);
    for (auto it = table.begin(); it != table.end(); ++it) {
      r.recorder->log.clear();
      // Menu held comes as its release only; the rest as a press, and Plus, Minus and the Right and Left holds
      // with a release of their own. Releases of buttons that came as a press only find no press and are dropped.
      if (it.value() != RemoteButtonMenuHold) r.fake->deliver(it.key(), 1);
      r.fake->deliver(it.key(), 0);
      const std::string code = std::to_string(it.value());
      EXPECT_EQ(r.recorder->log, code + "+ " + code + "-") << it.key().toStdString();
    }
  }
  Remote plus;
  plus.remote->startListening();
  plus.fake->deliver(QStringLiteral("33_31_30_21_20_2_"), 1);
  EXPECT_EQ(plus.recorder->log, "2+");  // the release comes later, on its own
}

TEST(AppleRemoteTest, TheReceiverDecidesTheTableAndWithoutOneThereIsNoRemote) {
  auto backend = std::make_unique<FakeHIDBackend>();
  backend->properties.insert(QStringLiteral("RemoteBuddyEmulationV2"), true);
  auto remote = AppleRemote::create({}, std::move(backend));
  EXPECT_EQ(remote->cookieToButtonMapping(), AppleRemote::cookieTable(900, false));
  EXPECT_TRUE(remote->sendsEventForButtonIdentifier(RemoteButtonRightHold | RemoteButtonPlay));
  EXPECT_FALSE(remote->sendsEventForButtonIdentifier(RemoteButtonPlusHold));

  auto absent = std::make_unique<FakeHIDBackend>();
  absent->present = false;
  EXPECT_FALSE(AppleRemote::create({}, std::move(absent)));
}

TEST(AppleRemoteTest, ListeningOpensOnceAndOnlyAnExclusiveSessionAnnouncesItsEnd) {
  const QString me = remotetest::useBundleIdentifier();
  PostLog finished(RemoteControl::kFinishedUsingRemoteControl, me);
  EXPECT_TRUE(RemoteControl().notificationUserInfo("x").isEmpty());  // no device name: the list ends at once
  {
    Remote r;
    r.remote->stopListening();  // not listening: nothing to announce
    r.remote->startListening();
    r.remote->setListeningToRemote(true);
    EXPECT_EQ(r.fake->openCount, 1);
    r.remote->stopListening();  // announced
    EXPECT_FALSE(r.fake->isOpen());
    r.remote->setOpenInExclusiveMode(false);
    r.remote->startListening();
    r.remote->stopListening();  // shared access: not announced
    r.remote->setOpenInExclusiveMode(true);
    r.remote->startListening();
  }  // going away while listening: announced
  ASSERT_TRUE(oxtest::spinUntil([&] { return finished.posts.size() >= 2; }));
  oxtest::spinFor(50);
  EXPECT_EQ(finished.posts.size(), 2u);
  // No target: the list ends before "TargetBundleIdentifier".
  const QVariantMap expected{{"RemoteControlDeviceName", "AppleIRController"}, {"CFBundleIdentifier", me}};
  EXPECT_EQ(finished.posts[0], expected);
}

TEST(AppleRemoteTest, AnExclusiveSessionJoinsTheBusAsItOpensNotAtItsEnd) {
  if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus";
  // Qt's own session connection, looked up by its name without being made: its first use from the main thread is
  // finished by a later turn of the event loop, which a post from the teardown at the program's end never gets.
  const auto onBus = [] { return QDBusConnection(QStringLiteral("qt_default_session_bus")).isConnected(); };
  if (onBus()) GTEST_SKIP() << "an earlier test of this process joined the bus";
  Remote r;
  r.remote->startListening();
  ASSERT_TRUE(r.remote->isListeningToRemote());
  EXPECT_TRUE(onBus());
}

TEST(AppleRemoteTest, AFailedOpenGivesEverythingBackAndAnnouncesNothing) {
  PostLog finished(RemoteControl::kFinishedUsingRemoteControl, remotetest::useBundleIdentifier());
  QTemporaryDir dir;
  Remote r(dir.filePath("receiver"));
  r.fake->cookies.clear();  // opens, but offers no button
  r.remote->startListening();
  EXPECT_FALSE(r.remote->isListeningToRemote());
  Remote other(dir.filePath("receiver"));
  other.remote->startListening();
  EXPECT_TRUE(other.remote->isListeningToRemote());  // the exclusive access went back
  r.fake->failOpen = true;
  r.remote->startListening();
  EXPECT_FALSE(r.remote->isWaitingForRemote());
  oxtest::spinFor(50);
  EXPECT_TRUE(finished.posts.empty());
}

TEST(AppleRemoteTest, ARefusedOpenAsksAndWaitsOnceAndAStopEndsTheWait) {
  const QString me = remotetest::useBundleIdentifier();
  PostLog requests(RemoteControl::kRequestForRemoteControl, me);
  QTemporaryDir dir;
  Remote holder(dir.filePath("receiver"));
  Remote waiter(dir.filePath("receiver"));
  holder.remote->startListening();
  waiter.remote->startListening();
  waiter.remote->startListening();
  EXPECT_FALSE(waiter.remote->isListeningToRemote());
  EXPECT_TRUE(waiter.remote->isWaitingForRemote());
  ASSERT_TRUE(oxtest::spinUntil([&] { return requests.posts.size() >= 2; }));
  EXPECT_FALSE(requests.posts[0].contains(QStringLiteral("TargetBundleIdentifier")));

  // Refused twice, yet the holder's one finished notification brings one more open, not two.
  const int opens = waiter.fake->openCount;
  holder.remote->stopListening();
  ASSERT_TRUE(oxtest::spinUntil([&] { return waiter.remote->isListeningToRemote(); }));
  oxtest::spinFor(50);
  EXPECT_EQ(waiter.fake->openCount, opens + 1);
  EXPECT_FALSE(waiter.remote->isWaitingForRemote());

  // A waiter told to stop does not take the receiver when it comes free.
  holder.remote->startListening();
  ASSERT_TRUE(holder.remote->isWaitingForRemote());
  holder.remote->stopListening();
  waiter.remote->stopListening();
  oxtest::spinFor(100);
  EXPECT_FALSE(holder.remote->isListeningToRemote());
}
