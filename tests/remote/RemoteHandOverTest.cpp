#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QProcess>
#include <QTemporaryDir>

#include "remote/AppleRemote.h"
#include "tests/remote/FakeHIDBackend.h"
#include "tests/remote/RemoteTestUtil.h"
#include "tests/support/TestUtil.h"

TEST(RemoteHandOverTest, TheHolderInAnotherProcessHandsTheReceiverOverAndTakesItBack) {
  if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus to hand the receiver over on";
  const QString me = remotetest::useBundleIdentifier(QStringLiteral("Varnel.Ombrix"));
  const QString helper = me + QStringLiteral(".Helper");
  QTemporaryDir dir;
  const QString lock = dir.filePath(QStringLiteral("receiver"));
  remotetest::PostLog requests(RemoteControl::kRequestForRemoteControl, me);
  remotetest::PostLog helperFinished(RemoteControl::kFinishedUsingRemoteControl, helper);

  std::unique_ptr<QProcess> peer;
  QByteArray said;
  auto peerSays = [&](const QByteArray& line, int times) {
    return oxtest::spinUntil([&] { return (said += peer->readAllStandardOutput()).count(line + "\n") >= times; }, 20000);
  };
  ASSERT_TRUE(oxtest::startProcess(peer, QStringLiteral(OX_TEST_REMOTE_PEER), {lock, helper, me},
                                   oxtest::programEnvironment()));
  ASSERT_TRUE(peerSays("listening", 1)) << said.constData();

  auto recorder = std::make_shared<remotetest::Recorder>();
  auto backend = std::make_unique<FakeHIDBackend>(lock);
  FakeHIDBackend* fake = backend.get();
  auto remote = AppleRemote::create(recorder, std::move(backend));
  remote->startListening();  // refused: this process asks and waits
  EXPECT_FALSE(remote->isListeningToRemote());
  EXPECT_TRUE(remote->isWaitingForRemote());

  // The holder closes and announces it; the waiter opens.
  ASSERT_TRUE(oxtest::spinUntil([&] { return remote->isListeningToRemote(); }, 10000)) << said.constData();
  EXPECT_TRUE(peerSays("released", 1));
  EXPECT_EQ(requests.posts.size(), 1u);
  ASSERT_EQ(helperFinished.posts.size(), 1u);
  EXPECT_EQ(helperFinished.posts[0].value(RemoteControl::kDeviceNameKey).toString(), AppleRemote::kDeviceName);
  EXPECT_EQ(fake->openCount, 2);
  fake->deliver(QStringLiteral("33_23_21_20_2_33_23_21_20_2_"), 1);
  EXPECT_EQ(recorder->log, "16+ 16-");

  // Finished here: the helper takes the receiver back.
  remote->stopListening();
  EXPECT_TRUE(peerSays("listening", 2)) << said.constData();
  peer->closeWriteChannel();
  ASSERT_TRUE(peer->waitForFinished(5000));
  // A sanitizer's report in the peer shows in its status.
  EXPECT_EQ(peer->exitCode(), 0) << peer->readAllStandardError().constData();
}
