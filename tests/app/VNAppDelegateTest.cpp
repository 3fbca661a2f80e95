#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/HomeView.h"
#include "app/MoviesView.h"
#include "app/OXMainInterface.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/foundation/Info.h"
#include "platform/layers/LayerClock.h"
#include "platform/system/DistributedNotificationCenter.h"
#include "platform/system/Workspace.h"
#include "tests/support/LoopbackServer.h"
#include "platform/ui/Application.h"
#include "platform/ui/WindowServer.h"
#include "tests/app/AppTestUtil.h"
#include "tests/support/TestUtil.h"

namespace {

struct ProgramRun {
  QString program;
  QStringList arguments;
  int timeoutMs;
};

class VNAppDelegateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::supportFolder();
    OXMainInterface::registerInfoValues();
    killall.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    ox::registerInfoValues({{"OXHelperBundleIdentifier", helperName},
                            {"OXHelperPath", "/opt/ombrix/ombrix-helper"},
                            {"OXKillallPath", killall.fileName()}});
    ox::Workspace::shared().setLauncher([this](const QString& path) {
      launched << path;
      return true;
    });
    ox::Application::setTerminateHandler([this] { ++quits; });
    ox::DelayedCall::useManualTime(true);
  }
  void TearDown() override {
    ox::DelayedCall::useManualTime(false);
    ox::Application::setTerminateHandler({});
    ox::Workspace::shared().setLauncher({});
    for (const auto& w : ox::WindowServer::shared().orderedWindows()) w->close();
  }

  OXMainInterface launch() {
    OXMainInterface ui = OXMainInterface::load();
    ui.delegate->setProgramRunner([this](const QString& program, const QStringList& arguments, int timeoutMs) {
      runs.push_back({program, arguments, timeoutMs});
      return 1;  // killall finds no such process: ignored
    });
    ui.delegate->applicationWillFinishLaunching();
    ui.delegate->applicationDidFinishLaunching();
    return ui;
  }
  static void press(char16_t key) { ox::WindowServer::shared().dispatchKeyEvent(ox::KeyEvent::withCharacters(QString(QChar(key)))); }

  const QString helperName = QStringLiteral("Varnel.Test%1.OmbrixHelper").arg(QCoreApplication::applicationPid());
  QTemporaryDir dir;
  QFile killall{dir.filePath("killall")};
  QStringList launched;
  std::vector<ProgramRun> runs;
  int quits = 0;
};

}  // namespace

TEST_F(VNAppDelegateTest, TheHelperIsLaunchedWhenNoProcessOwnsItsNameAndNeverASecondTime) {
  ASSERT_TRUE(killall.open(QIODevice::WriteOnly));
  killall.close();
  launch();
  if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus (tools/test.sh opens one)";
  EXPECT_EQ(launched, QStringList{"/opt/ombrix/ombrix-helper"});

  // Now "it runs": its name is owned (here by this process, which the bus cannot tell from another).
  ASSERT_EQ(ox::Workspace::shared().claimBundleIdentifier(helperName), ox::Workspace::Claim::Owned);
  launch();
  EXPECT_EQ(launched.size(), 1);
}

TEST_F(VNAppDelegateTest, TheOtherRemoteHelpersAreStoppedOnlyWhereKillallExistsAndWithATimeLimit) {
  ASSERT_TRUE(killall.open(QIODevice::WriteOnly));
  killall.close();
  killall.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
  launch();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].program, killall.fileName());
  EXPECT_EQ(runs[0].arguments, QStringList({"-9", "PlexHelper"}));
  EXPECT_EQ(runs[1].arguments, QStringList({"-9", "PlexHTHelper"}));
  EXPECT_EQ(runs[1].timeoutMs, VNAppDelegate::kKillTimeoutMs);

  runs.clear();
  ox::registerInfoValues({{"OXKillallPath", dir.filePath("no-killall-here")}});
  launch();
  EXPECT_TRUE(runs.empty());
}

TEST_F(VNAppDelegateTest, AfterLaunchTheWindowFillsTheScreenAndHomeTakesTheKeys) {
  OXMainInterface ui = launch();
  QScreen* screen = OXPreferencesValues::sharePreferences()->mainScreen();
  ASSERT_TRUE(screen);
  EXPECT_EQ(ui.window->frame(), ox::screenFrame(screen));
  EXPECT_EQ(ui.window->level(), ox::WindowLevel::ScreenSaver - 1);
  EXPECT_TRUE(ui.window->isVisible());
  EXPECT_TRUE(ui.window->isKeyWindow());
  EXPECT_FALSE(ui.window->isOpaque());
  auto home = std::dynamic_pointer_cast<HomeView>(ui.appController->currentSection());
  ASSERT_TRUE(home);
  EXPECT_EQ(ui.window->firstResponder(), home);
  EXPECT_EQ(VNAppDelegate::keyWindowResponder(), std::dynamic_pointer_cast<OXRemoteProtocol>(home));

  press(ox::DownArrowFunctionKey);
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 1u);
  press(13);
  ASSERT_TRUE(oxtest::spinUntil([&] { return ui.appController->currentSection() != home; }, 3000));
  auto movies = std::dynamic_pointer_cast<MoviesView>(ui.appController->currentSection());
  ASSERT_TRUE(movies);
  EXPECT_EQ(movies->sectionName(), "Movies");
  EXPECT_EQ(VNAppDelegate::keyWindowResponder(), std::dynamic_pointer_cast<OXRemoteProtocol>(movies));
  press(127);  // Delete goes back like Menu, after the browser's fade
  std::shared_ptr<HomeView> back;
  ASSERT_TRUE(oxtest::spinUntil([&] {
    back = std::dynamic_pointer_cast<HomeView>(ui.appController->currentSection());
    return bool(back);
  }, 3000));
  EXPECT_EQ(back->homeSectionList()->selectedRow(), 1u);
  press(27);
  ASSERT_TRUE(oxtest::spinUntil([&] { return quits == 1; }, 3000));
}

TEST_F(VNAppDelegateTest, TheRestartNotificationRebuildsHomeFromTheTop) {
  OXMainInterface ui = launch();
  ui.appController->openTVShows();
  ox::NotificationCenter::defaultCenter().post(kVNOpenMainInterfaceNotification);
  ASSERT_TRUE(oxtest::spinUntil([&] { return bool(std::dynamic_pointer_cast<HomeView>(ui.appController->currentSection())); }));
  auto home = std::dynamic_pointer_cast<HomeView>(ui.appController->currentSection());
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 0u);
  EXPECT_TRUE(ui.window->isKeyWindow());
}

TEST_F(VNAppDelegateTest, UpdateAvailableAsksInAMenuWhoseLaterGivesTheKeysBackToHome) {
  oxtest::LoopbackServer feed;
  feed.setReply("/appcast.xml", {200,
                                 "<rss xmlns:sparkle=\"s\"><channel><item><link>https://ombrix.example/releases/2</link>"
                                 "<enclosure sparkle:version=\"99.0\"/></item></channel></rss>",
                                 "application/rss+xml", {}});
  qputenv("OMBRIX_FEED_URL", feed.url("/appcast.xml").toString().toUtf8());
  QList<QUrl> opened;
  ox::Workspace::shared().setURLOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  OXMainInterface ui = launch();
  auto home = std::dynamic_pointer_cast<HomeView>(ui.appController->currentSection());
  ASSERT_TRUE(oxtest::spinUntil([&] { return home->homeSectionList()->itemList().last() == "Update Available"; }));
  for (int i = 0; i < 3; ++i) press(ox::DownArrowFunctionKey);
  press(13);
  const auto menu = home->fullScreenMenu();
  ASSERT_TRUE(menu);
  EXPECT_TRUE(menu->isKeyWindow());
  ASSERT_EQ(menu->panel()->buttons().size(), 2u);
  EXPECT_EQ(menu->panel()->buttons()[0]->title(), "Install now");
  oxtest::spinFor(600);  // the menu has faded in
  QDir().mkpath(OX_BINARY_DIR "/frames");
  ox::WindowServer::shared().grabScreen(ui.window->screen(), ox::LayerClock::now()).save(OX_BINARY_DIR "/frames/home_update_menu.png");

  press(13);  // "Install now": the release page, nothing downloaded
  // "Later" while the menu is still there, however long the feed takes to answer the check.
  press(ox::DownArrowFunctionKey);
  press(13);
  EXPECT_FALSE(home->fullScreenMenu());
  ASSERT_TRUE(oxtest::spinUntil([&] { return !opened.isEmpty(); }));
  EXPECT_EQ(opened, QList<QUrl>{QUrl("https://ombrix.example/releases/2")});
  ASSERT_TRUE(oxtest::spinUntil([&] { return ui.window->isKeyWindow(); }, 3000));
  press(ox::UpArrowFunctionKey);
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 2u);
  ox::Workspace::shared().setURLOpener({});
  qputenv("OMBRIX_FEED_URL", "http://127.0.0.1:9");
}

TEST_F(VNAppDelegateTest, AskingTheHelperForItsPanelIsOneDistributedNotification) {
  QStringList seen;
  const auto token = ox::DistributedNotificationCenter::defaultCenter().addObserver(
      "openPopUpPermanent", {}, [&](const ox::DistributedNotification& n) { seen << n.name + "|" + n.object; });
  OXMainInterface ui = launch();
  ui.delegate->openHelperPopUpPermanent();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !seen.isEmpty(); }));
  EXPECT_EQ(seen, QStringList{"openPopUpPermanent|"});
  ox::DistributedNotificationCenter::defaultCenter().removeObserver(token);
}
