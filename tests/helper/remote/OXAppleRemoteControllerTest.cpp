#include "helper/OXAppleRemoteController.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QFile>
#include <QTemporaryDir>

#include "core/OXLibrary.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/Workspace.h"
#include "remote/AppleRemote.h"
#include "tests/remote/FakeHIDBackend.h"
#include "tests/remote/RemoteTestUtil.h"
#include "tests/support/TestUtil.h"

namespace {

const QString kMenu = QStringLiteral("33_22_21_20_2_33_22_21_20_2_");
const QString kPlus = QStringLiteral("33_31_30_21_20_2_");

// A helper with a stand-in receiver, the update marker in place, and launches and program runs recorded.
struct Helper {
  QTemporaryDir dir;
  std::shared_ptr<OXLibrary> library = OXLibrary::libraryWithSupportFolder(dir.path());
  QString self = remotetest::useBundleIdentifier(QStringLiteral("Varnel.OmbrixHelper"));
  QString ombrix = self + QStringLiteral(".Main");
  QString marker = library->pathWithFolder(QStringLiteral("Updates"), QStringLiteral("update.bin"));
  QStringList launched, ran;
  FakeHIDBackend* fake = nullptr;
  std::unique_ptr<OXAppleRemoteController> controller;

  explicit Helper(bool control = true, bool receiver = true) {
    ox::registerInfoValues({{"OXMainAppBundleIdentifier", ombrix},
                            {"OXMainAppPath", "/opt/ombrix/ombrix"},
                            {"OXKillallPath", "/bin/true"}});
    ox::UserDefaults::setValue(OXAppleRemoteController::kControlAppleRemote, control);
    ox::Workspace::shared().setLauncher([this](const QString& path) {
      launched << path;
      return true;
    });
    QFile(marker).open(QIODevice::WriteOnly);
    auto backend = std::make_unique<FakeHIDBackend>(dir.filePath(QStringLiteral("receiver")));
    backend->present = receiver;
    fake = backend.get();
    controller = std::make_unique<OXAppleRemoteController>(library.get());
    controller->setProgramRunner([this](const QString& program, const QStringList& args, int) {
      ran << program + ' ' + args.join(' ');
      return 0;
    });
    controller->setupRemote(std::move(backend));
    controller->controlAppleRemoteIfNeeded();
  }
  ~Helper() {
    controller.reset();
    ox::Workspace::shared().setLauncher({});
  }
  bool listening() const { return controller->remoteControl() && controller->remoteControl()->isListeningToRemote(); }
  void post(const QString& name, const QString& from) {
    ox::DistributedNotificationCenter::defaultCenter().post(name, {}, {{RemoteControl::kBundleIdentifierKey, from}});
  }
};

}  // namespace

TEST(OXAppleRemoteController, MenuLaunchesOmbrixOnceWithTheMarkerGoneAndTheReceiverFree) {
  Helper helper;
  EXPECT_EQ(helper.ran, QStringList({"/bin/true -9 PlexHelper", "/bin/true -9 PlexHTHelper"}));
  ASSERT_TRUE(helper.listening());
  helper.fake->deliver(kPlus, 1);
  helper.fake->deliver(kPlus, 0);
  EXPECT_TRUE(helper.launched.isEmpty());
  EXPECT_TRUE(QFile::exists(helper.marker));

  remotetest::PostLog finished(RemoteControl::kFinishedUsingRemoteControl, helper.self);
  helper.fake->deliver(kMenu, 1);  // a press, and the receiver's own release after it
  EXPECT_EQ(helper.launched, QStringList{"/opt/ombrix/ombrix"});
  EXPECT_FALSE(QFile::exists(helper.marker));
  EXPECT_FALSE(helper.listening());
  // Its own hand-back comes round to it too, and leaves the receiver to Ombrix.
  ASSERT_TRUE(oxtest::spinUntil([&] { return !finished.posts.empty(); }));
  oxtest::spinFor(50);
  EXPECT_FALSE(helper.listening());
  EXPECT_EQ(helper.launched.size(), 1);
}

TEST(OXAppleRemoteController, HeldMenuOrPlayLaunchesAndOtherButtonsDoNot) {
  Helper helper;
  for (qint32 code : {RemoteButtonPlus, RemoteButtonMinus, RemoteButtonLeft, RemoteButtonRight, RemoteButtonPlusHold})
    helper.controller->remoteButton(code, true, 1);
  helper.controller->remoteButton(RemoteButtonPlay, false, 1);
  EXPECT_TRUE(helper.launched.isEmpty());
  for (qint32 code : {RemoteButtonPlay, RemoteButtonMenuHold, RemoteButtonPlayHold})
    helper.controller->remoteButton(code, true, 1);
  EXPECT_EQ(helper.launched.size(), 3);
}

TEST(OXAppleRemoteController, TheSettingDecidesWhetherTheHelperListens) {
  Helper helper(false);
  EXPECT_FALSE(helper.listening());
  ox::NotificationCenter::defaultCenter().post(OXAppleRemoteController::kAppleRemoteChangeNotification, nullptr,
                                               {{OXAppleRemoteController::kControlAppleRemote, true}});
  EXPECT_TRUE(helper.listening());
  EXPECT_TRUE(ox::UserDefaults::value(OXAppleRemoteController::kControlAppleRemote).toBool());
  ox::NotificationCenter::defaultCenter().post(OXAppleRemoteController::kAppleRemoteChangeNotification, nullptr,
                                               {{OXAppleRemoteController::kControlAppleRemote, false}});
  EXPECT_FALSE(helper.listening());
  // Another program's hand-back does not override the setting.
  helper.post(RemoteControl::kFinishedUsingRemoteControl, helper.ombrix);
  oxtest::spinFor(100);
  EXPECT_FALSE(helper.listening());
}

TEST(OXAppleRemoteController, TheReceiverGoesToOmbrixOnRequestAndComesBackWhenOmbrixIsDone) {
  if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus to hand the receiver over on";
  Helper helper;
  helper.post(RemoteControl::kRequestForRemoteControl, QStringLiteral("Varnel.SomeoneElse"));
  oxtest::spinFor(100);
  EXPECT_TRUE(helper.listening());
  helper.post(RemoteControl::kRequestForRemoteControl, helper.ombrix);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !helper.listening(); }));
  helper.post(RemoteControl::kFinishedUsingRemoteControl, helper.ombrix);
  EXPECT_TRUE(oxtest::spinUntil([&] { return helper.listening(); }));
}

TEST(OXAppleRemoteController, WithoutAReceiverNothingListensAndNothingBreaks) {
  Helper helper(true, false);
  EXPECT_EQ(helper.controller->remoteControl(), nullptr);
  helper.controller->controlAppleRemoteChange(true);
  helper.post(RemoteControl::kFinishedUsingRemoteControl, helper.ombrix);
  oxtest::spinFor(50);
  helper.controller->remoteButton(RemoteButtonMenu, true, 1);
  EXPECT_EQ(helper.launched.size(), 1);
}
