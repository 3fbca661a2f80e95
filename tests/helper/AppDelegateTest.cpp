#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

#include "core/OXLibrary.h"
#include "helper/OXAppDelegate.h"
#include "helper/OXAppleRemoteController.h"
#include "helper/OXHelperApplication.h"
#include "helper/OXMenubarController.h"
#include "helper/OXPanelController.h"
#include "helper/OXPanelListController.h"
#include "helper/OXSettingsWindowController.h"
#include "helper/OXServer.h"
#include "helper/OXSignUpLoginController.h"
#include "helper/OXTutorialWindowController.h"
#include "helper/StatusItemView.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Info.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/LoginItem.h"
#include "platform/system/SoftwareUpdater.h"
#include "platform/system/Workspace.h"
#include "platform/ui/SoftwareUpdateAlert.h"
#include "platform/ui/SystemTrayStatusItem.h"
#include "scanner/OXCoreLibrary.h"
#include "tests/core/LibraryTestUtil.h"
#include "tests/helper/HelperTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

using helpertest::FakeStatusItem;

namespace {

class Start : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(oxtest::StandIn::shared().isRunning());
    helpertest::resetHelperState();
    FakeStatusItem::install(QRect(600, 0, 24, 22));
  }
  // Video files as the scan finds them: a catalogue movie and home footage.
  void makeMovieFolder() {
    for (const char* name : {"/The.Glass.Harbour.1998.720p.mkv", "/Birthday party.mkv"}) {
      QFile f(movies.path() + name);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(5 * 1048576));
    }
    OXLibrary::shareLibrary()->rootList()->addURLs({QUrl::fromLocalFile(movies.path() + "/")}, 1);
  }
  // Those files and one more that the library already holds: it is not empty at the start.
  void makeMovieFolderWithAKnownMovie() {
    makeMovieFolder();
    const QString known = QDir(movies.path()).filePath("Quiet.Orchard.mkv");
    QFile file(known);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(1048576));
    OXLibrary::shareLibrary()->addContent(libtest::movie("tt9000001", known, "Quiet Orchard"));
  }
  QTemporaryDir movies;
};

const QString kLoginItem = QStringLiteral("Varnel.OmbrixHelper");

}  // namespace

TEST_F(Start, FirstStartScansAndThePanelFollowsTheSession) {
  makeMovieFolder();
  helpertest::NotificationCounter posts(
      {OXPanelController::kTogglePanel, OXCoreLibrary::kScanningState, OXCoreLibrary::kStopScanningState});
  OXAppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  OXPanelController* panel = delegate.panelController();
  OXMenubarController* menubar = delegate.menubarController();
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();

  // First-run setup: the login item, the defaults, automatic update checks, the tour.
  EXPECT_TRUE(ox::LoginItem::isInLoginItems(kLoginItem));
  EXPECT_TRUE(ox::SoftwareUpdater::shared().automaticallyChecksForUpdates());
  EXPECT_TRUE(ox::SoftwareUpdater::shared().automaticallyDownloadsUpdates());
  EXPECT_TRUE(ox::UserDefaults::value("firstSetupDone").toBool());
  EXPECT_TRUE(ox::UserDefaults::value("controlAppleRemote").toBool());
  EXPECT_EQ(ox::UserDefaults::value("refreshTime").toInt(), 0);
  EXPECT_TRUE(ox::UserDefaults::value("lastHashScanTimestamp").toDateTime().isValid());
  ASSERT_NE(panel->panelListController()->tutorialWindowController(), nullptr);
  EXPECT_TRUE(panel->panelListController()->tutorialWindowController()->window()->isVisible());

  // Folders but an empty library: the panel opens for good, with the form (no session), and the item lights up.
  EXPECT_EQ(posts.count(OXPanelController::kTogglePanel), 0);
  EXPECT_TRUE(panel->hasActivePanel());
  EXPECT_FALSE(panel->shouldClosePanelWhenResignKey());
  EXPECT_TRUE(menubar->hasActiveIcon());
  OXSignUpLoginController* form = panel->signUpLoginController();
  EXPECT_EQ(panel->filledView(), form->view());

  // The first scan runs at start and fills the library; the item's blink ends with it.
  ASSERT_TRUE(oxtest::spinUntil([&] { return !engine->isUpdating(); }, 60000));
  ASSERT_TRUE(oxtest::spinUntil([&] { return posts.count(OXCoreLibrary::kStopScanningState) > 0; }));
  EXPECT_GE(posts.count(OXCoreLibrary::kScanningState), 1);
  ASSERT_TRUE(oxtest::spinUntil([&] { return menubar->timerIcon() == nullptr; }));
  ASSERT_EQ(OXLibrary::shareLibrary()->movieList().size(), 1);
  EXPECT_EQ(OXLibrary::shareLibrary()->movieList()[0]->title(), "The Glass Harbour");
  EXPECT_EQ(OXLibrary::shareLibrary()->unknownMovieList().size(), 1);
  EXPECT_EQ(panel->filledView(), form->view());  // still no session

  // A login through the form swaps in the library page, which has something to list.
  form->emailField()->setText("tester@ombrix.test");
  form->passField()->setText("opensesame");
  form->actionButton()->click();
  QWidget* list = panel->panelListController()->view();
  ASSERT_TRUE(oxtest::spinUntil([&] { return panel->filledView() == list && !panel->isSwitchingView(); }, 20000));
  EXPECT_TRUE(panel->window()->isVisible());
  ASSERT_TRUE(oxtest::spinUntil([&] { return !panel->panelListController()->isMessageViewShown(); }));

  // The item's press toggles the panel; closing clears the highlight.
  FakeStatusItem::last()->press();
  EXPECT_FALSE(panel->hasActivePanel());
  EXPECT_FALSE(menubar->hasActiveIcon());
  EXPECT_TRUE(panel->shouldClosePanelWhenResignKey());
  FakeStatusItem::last()->press();
  EXPECT_TRUE(panel->hasActivePanel());
  EXPECT_TRUE(menubar->hasActiveIcon());
  ox::NotificationCenter::defaultCenter().post(OXPanelController::kClosePanelNotification);
  EXPECT_FALSE(panel->hasActivePanel());
  EXPECT_FALSE(menubar->hasActiveIcon());

  // The settings, made with the panel before the first-run setup, show what it set once they come forward.
  OXSettingsWindowController* settings = panel->panelListController()->settingsWindowController();
  panel->panelListController()->showPreferences();
  EXPECT_TRUE(settings->startAtLoginButton()->isChecked());
  EXPECT_TRUE(settings->controlAppleRemoteButton()->isChecked());
  EXPECT_TRUE(settings->updatesAutomaticallyButton()->isChecked());
  settings->window()->close();
}

TEST_F(Start, TheUpdateFeedIsReadInTheBackgroundAndANewerVersionIsOfferedWithItsPage) {
  oxtest::LoopbackServer feed;
  feed.setReply("/appcast.xml", {200,
                                 "<rss xmlns:sparkle=\"s\"><channel><item><link>http://127.0.0.1:9/release</link>"
                                 "<enclosure sparkle:version=\"99.0\"/></item></channel></rss>",
                                 "application/rss+xml",
                                 {}});
  qputenv("OMBRIX_FEED_URL", feed.url("/appcast.xml").toString().toUtf8());
  OXHelperApplication::registerInfoValues();
  QList<QUrl> opened;
  ox::Workspace::shared().setURLOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  OXAppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  // Asked by nobody, the check opens no browser: it offers the page, as the hand check does.
  const bool offered = oxtest::spinUntil([] { return ox::SoftwareUpdateAlert::current(); });
  oxtest::spinFor(100);
  EXPECT_TRUE(offered);
  EXPECT_TRUE(opened.isEmpty());
  if (offered)
    for (QAbstractButton* button : ox::SoftwareUpdateAlert::current()->buttons())
      if (button->text() == "Show Release Page") button->click();
  ox::Workspace::shared().setURLOpener({});
  EXPECT_EQ(opened, QList<QUrl>{QUrl("http://127.0.0.1:9/release")});
  EXPECT_EQ(feed.requestCount(), 1);
}

TEST_F(Start, AutomaticUpdateChecksRunOnlyWhileTheBoxIsOnOnceADay) {
  oxtest::LoopbackServer feed;
  feed.setReply("/appcast.xml", {200, "<rss xmlns:sparkle=\"s\"><channel><item><enclosure sparkle:version=\"0.0.1\"/>"
                                      "</item></channel></rss>", "application/rss+xml", {}});
  qputenv("OMBRIX_FEED_URL", feed.url("/appcast.xml").toString().toUtf8());
  OXHelperApplication::registerInfoValues();  // before the defaults: the program's name names their file
  ox::UserDefaults::setValue("firstSetupDone", true);
  ox::SoftwareUpdater::shared().setAutomaticallyChecksForUpdates(false);
  ox::SoftwareUpdater::shared().setAutomaticCheckInterval(150);  // the test's day
  OXAppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  QCheckBox* box = delegate.panelController()->panelListController()->settingsWindowController()->updatesAutomaticallyButton();

  oxtest::spinFor(500);
  EXPECT_EQ(feed.requestCount(), 0);  // neither at launch nor on the days after

  box->click();
  ASSERT_TRUE(ox::SoftwareUpdater::shared().automaticallyChecksForUpdates());
  EXPECT_TRUE(oxtest::spinUntil([&] { return feed.requestCount() >= 2; }));
  feed.setReply("/appcast.xml", {500, "", "text/plain", {}});
  const int upToDate = feed.requestCount();
  EXPECT_TRUE(oxtest::spinUntil([&] { return feed.requestCount() >= upToDate + 2; }));
  EXPECT_EQ(ox::SoftwareUpdateAlert::current(), nullptr);  // up to date or unread: nobody is told
  box->click();
  oxtest::spinFor(200);  // a check already under way ends
  const int checked = feed.requestCount();
  oxtest::spinFor(500);
  EXPECT_EQ(feed.requestCount(), checked);
  ox::SoftwareUpdater::shared().setAutomaticCheckInterval(ox::SoftwareUpdater::kAutomaticCheckIntervalMs);
}

TEST_F(Start, WithoutFoldersThePanelOpensByItselfAndThePointerIsReadyForIt) {
  OXAppDelegate delegate;
  helpertest::NotificationCounter posts({OXPanelController::kTogglePanel});
  delegate.applicationDidFinishLaunching();
  // "togglePanel" posted while the panel fills itself reached a delegate that already held the panel.
  EXPECT_EQ(posts.count(OXPanelController::kTogglePanel), 1);
  EXPECT_TRUE(delegate.panelController()->hasActivePanel());
  EXPECT_TRUE(delegate.menubarController()->hasActiveIcon());
  // The library is empty too: "openPopUpPermanent" then only keeps it open.
  EXPECT_FALSE(delegate.panelController()->shouldClosePanelWhenResignKey());
  delegate.openPopUpPermanent();
  EXPECT_TRUE(delegate.panelController()->hasActivePanel());
}

TEST_F(Start, EscapeClosesThePanelEvenOneOpenedToStay) {
  ox::UserDefaults::setValue("firstSetupDone", true);
  OXAppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  OXPanelController* panel = delegate.panelController();
  ASSERT_TRUE(panel->hasActivePanel());  // an empty library: open for good
  ASSERT_FALSE(panel->shouldClosePanelWhenResignKey());

  // Typed in the account form's field, the key goes up to the panel.
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(panel->signUpLoginController()->emailField(), &escape);
  EXPECT_FALSE(panel->hasActivePanel());
  EXPECT_FALSE(delegate.menubarController()->hasActiveIcon());
  ASSERT_TRUE(oxtest::spinUntil([&] { return !panel->window()->isVisible(); }));
}

TEST_F(Start, ADoubleClickOnTheTrayIconTogglesThePanelOnceAndAMiddleClickNever) {
  ox::StatusItem::setFactory({});  // the desktop's own tray icon
  ox::UserDefaults::setValue("firstSetupDone", true);
  makeMovieFolderWithAKnownMovie();
  OXAppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  OXPanelController* panel = delegate.panelController();
  auto* tray = dynamic_cast<ox::SystemTrayStatusItem*>(delegate.menubarController()->statusItemView()->statusItem());
  ASSERT_NE(tray, nullptr);
  ASSERT_FALSE(panel->hasActivePanel());

  emit tray->trayIcon().activated(QSystemTrayIcon::Trigger);  // a double click, as Qt reports it
  emit tray->trayIcon().activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(panel->hasActivePanel());
  emit tray->trayIcon().activated(QSystemTrayIcon::MiddleClick);
  EXPECT_TRUE(panel->hasActivePanel());
  emit tray->trayIcon().activated(QSystemTrayIcon::Trigger);
  EXPECT_FALSE(panel->hasActivePanel());
  EXPECT_FALSE(delegate.menubarController()->hasActiveIcon());
}

TEST_F(Start, LaterStartsRunNoSetupAndOpenOnlyForAnEmptyLibrary) {
  ox::UserDefaults::setValue("firstSetupDone", true);
  makeMovieFolderWithAKnownMovie();
  ASSERT_FALSE(OXLibrary::shareLibrary()->isLibraryEmpty());

  OXAppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  EXPECT_FALSE(ox::LoginItem::isInLoginItems(kLoginItem));
  EXPECT_EQ(delegate.panelController()->panelListController()->tutorialWindowController(), nullptr);
  EXPECT_FALSE(delegate.panelController()->hasActivePanel());
  EXPECT_FALSE(delegate.menubarController()->hasActiveIcon());

  ox::NotificationCenter::defaultCenter().post("openPopUpPermanent");  // the tour's page 3
  EXPECT_TRUE(delegate.panelController()->hasActivePanel());
  EXPECT_FALSE(delegate.panelController()->shouldClosePanelWhenResignKey());
}

// A second install started now and then leaves the entry of the first, which still starts; an entry whose helper is
// gone starts this one.
TEST_F(Start, ALaterStartPointsALoginItemAtThisHelperOnlyWhenItsOwnHelperIsGone) {
  ox::UserDefaults::setValue("firstSetupDone", true);
  const QString other = movies.filePath("ombrix-helper");
  QFile program(other);
  ASSERT_TRUE(program.open(QIODevice::WriteOnly) && program.write("#!/bin/sh\n") > 0);
  program.close();
  ASSERT_TRUE(program.setPermissions(program.permissions() | QFileDevice::ExeOwner));
  const QString path = ox::LoginItem::desktopFilePath(kLoginItem);
  const auto entry = [&path] {
    QFile item(path);
    return item.open(QIODevice::ReadOnly) ? QString::fromUtf8(item.readAll()) : QString();
  };
  ASSERT_TRUE(ox::LoginItem::addToLoginItems(kLoginItem, "Ombrix Helper", other));
  const QString kept = entry();
  {
    OXAppDelegate delegate;
    delegate.applicationDidFinishLaunching();
  }
  EXPECT_EQ(entry(), kept);

  ASSERT_TRUE(QFile::remove(other));
  OXAppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  const QString exec = "\nExec=" + ox::LoginItem::quoteExecArgument(QCoreApplication::applicationFilePath()) + "\n";
  EXPECT_TRUE(entry().contains(exec));
}

TEST_F(Start, TheLibraryIsServedFromCreationAndAnUpdateLaunchesOmbrixThroughTheRemoteController) {
  ox::UserDefaults::setValue("firstSetupDone", true);
  OXLibrary::shareLibrary()->addContent(libtest::movie("tt9000002", movies.filePath("Salt.Roads.mkv"), "Salt Roads"));
  ox::registerInfoValues({{"OXMainAppPath", "/opt/ombrix/ombrix"}});
  QStringList launched;
  ox::Workspace::shared().setLauncher([&](const QString& path) {
    launched << path;
    return true;
  });
  OXAppDelegate delegate;
  ASSERT_TRUE(OXServer::shareServer()->isRunning());
  const ox::HttpResponse served =
      ox::httpGet(QUrl(QStringLiteral("http://127.0.0.1:%1/movies").arg(OXServer::shareServer()->port())));
  ASSERT_EQ(served.status, 200);
  EXPECT_TRUE(ox::KeyedUnarchiver(served.body).isValid());
  EXPECT_TRUE(served.body.contains("tt9000002"));

  delegate.applicationDidFinishLaunching();
  ASSERT_NE(delegate.appleRemoteController(), nullptr);
  delegate.launchUpdate();
  ox::Workspace::shared().setLauncher({});
  EXPECT_EQ(launched, QStringList{"/opt/ombrix/ombrix"});
  const QString marker = OXLibrary::shareLibrary()->pathWithFolder("Updates", "update.bin");
  QFile file(marker);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(ox::propertyListValue(file.readAll()).toMap().value("date").toDateTime().isValid());
}

TEST_F(Start, TerminationStopsTheEngineAndSavesTheLibrary) {
  makeMovieFolder();
  OXAppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  ASSERT_TRUE(engine->isUpdating());
  const QString store = OXLibrary::shareLibrary()->pathWithFolder(QString(), "library.bin");
  QFile::remove(store);
  delegate.applicationWillTerminate();  // in the middle of the first scan
  EXPECT_TRUE(engine->isShutDown());
  EXPECT_FALSE(engine->isUpdating());
  EXPECT_TRUE(QFile::exists(store));
  engine->updateLibrary();
  EXPECT_FALSE(engine->isUpdating());
}

// A later start on a library with a movie in its folder, on a bus of the test's own, so no other test hears its
// posts; the bus is chosen before anything in this process has used a session bus.
class StartOnItsOwnBus : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus.isRunning());
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    helpertest::resetHelperState();
    FakeStatusItem::install();
    ox::UserDefaults::setValue("firstSetupDone", true);
    OXLibrary::shareLibrary()->rootList()->addURLs({QUrl::fromLocalFile(movies.path() + "/")}, 1);
    QFile known(movies.filePath("Quiet.Orchard.mkv"));
    ASSERT_TRUE(known.open(QIODevice::WriteOnly) && known.resize(1048576));
    OXLibrary::shareLibrary()->addContent(libtest::movie("tt9000001", known.fileName()));
  }
  oxtest::PrivateBus bus;
  QTemporaryDir movies;
};

// Ombrix asks for the panel over the bus.
TEST_F(StartOnItsOwnBus, OmbrixAsksForThePanelAndItStaysOpen) {
  OXAppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  OXPanelController* panel = delegate.panelController();
  ASSERT_FALSE(panel->hasActivePanel());

  std::unique_ptr<QProcess> poster;
  ASSERT_TRUE(oxtest::startProcess(poster, QStringLiteral(OX_BINARY_DIR "/tools/ox-post-notification"),
                                   {"openPopUpPermanent"}, helpertest::programEnvironment()));
  ASSERT_TRUE(poster->waitForFinished(20000));
  ASSERT_EQ(poster->exitCode(), 0);
  ASSERT_TRUE(oxtest::spinUntil([&] { return panel->hasActivePanel(); }));
  EXPECT_TRUE(delegate.menubarController()->hasActiveIcon());
  EXPECT_FALSE(panel->shouldClosePanelWhenResignKey());

  // Another program changed the update setting and says so: the settings' box reads it again.
  QCheckBox* updates = panel->panelListController()->settingsWindowController()->updatesAutomaticallyButton();
  ASSERT_FALSE(updates->isChecked());
  ox::SoftwareUpdater::shared().setAutomaticallyChecksForUpdates(true);
  ASSERT_TRUE(oxtest::startProcess(poster, QStringLiteral(OX_BINARY_DIR "/tools/ox-post-notification"),
                                   {"updateCheckUpdateAutomatically"}, helpertest::programEnvironment()));
  ASSERT_TRUE(poster->waitForFinished(20000));
  EXPECT_TRUE(oxtest::spinUntil([&] { return updates->isChecked(); }));
  ox::SoftwareUpdater::shared().setAutomaticallyChecksForUpdates(false);
}

// Started again while it runs (the way to the panel on a desktop without a tray), the helper asks the running copy to
// open its panel before it leaves. The running copy is this test's delegate, holding the name on the test's bus.
TEST_F(StartOnItsOwnBus, ASecondCopyOpensThePanelOfTheRunningOne) {
  ASSERT_EQ(ox::Workspace::shared().claimBundleIdentifier(OXAppDelegate::kBundleIdentifier),
            ox::Workspace::Claim::Owned);
  OXAppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  OXPanelController* panel = delegate.panelController();
  ASSERT_FALSE(panel->hasActivePanel());

  std::unique_ptr<QProcess> second;
  ASSERT_TRUE(oxtest::startProcess(second, QStringLiteral(OX_BINARY_DIR "/bin/ombrix-helper"), {},
                                   helpertest::programEnvironment()));
  ASSERT_TRUE(second->waitForFinished(20000));
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_TRUE(second->readAllStandardError().contains("already runs"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return panel->hasActivePanel(); }));
  EXPECT_TRUE(delegate.menubarController()->hasActiveIcon());
  EXPECT_FALSE(panel->shouldClosePanelWhenResignKey());
}
