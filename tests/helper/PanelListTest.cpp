#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include "core/OXLibrary.h"
#include "helper/OXContentListViewController.h"
#include "helper/OXPanelController.h"
#include "helper/OXPanelListController.h"
#include "helper/OXSearchListViewController.h"
#include "helper/OXSettingsWindowController.h"
#include "platform/foundation/Info.h"
#include "platform/system/SoftwareUpdater.h"
#include "platform/system/Workspace.h"
#include "platform/ui/Application.h"
#include "platform/ui/SoftwareUpdateAlert.h"
#include "scanner/OXCoreLibrary.h"
#include "tests/helper/HelperTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestUtil.h"

namespace {

QStringList entries(const QMenu* menu) {
  QStringList out;
  for (const QAction* action : menu->actions()) out << (action->isSeparator() ? QString() : action->text());
  return out;
}

QAction* entry(const QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions())
    if (action->text() == text) return action;
  return nullptr;
}

QByteArray appcast(const QString& version) {
  return QStringLiteral("<rss xmlns:sparkle=\"s\"><channel><item><link>http://127.0.0.1:9/release/%1</link>"
                        "<enclosure sparkle:version=\"%1\"/></item></channel></rss>")
      .arg(version)
      .toUtf8();
}

// The answer's dialogue once it is on screen; none when none comes.
QMessageBox* updateAnswer() {
  oxtest::spinUntil([] { return ox::SoftwareUpdateAlert::current() && ox::SoftwareUpdateAlert::current()->isVisible(); },
                    30000);
  return ox::SoftwareUpdateAlert::current();
}

// Clicks the dialogue's button titled `title` and waits for the dialogue to go.
void answerWith(QMessageBox* box, const QString& title) {
  for (QAbstractButton* button : box->buttons())
    if (button->text().remove(QLatin1Char('&')) == title) button->click();
  oxtest::spinUntil([] { return !ox::SoftwareUpdateAlert::current(); });
}

}  // namespace

TEST(PanelList, CheckingForUpdatesByHandAlwaysAnswersInADialogue) {
  helpertest::resetHelperState();
  oxtest::LoopbackServer feed;
  ox::registerInfoValues({{"SUFeedURL", feed.url("/appcast.xml").toString()},
                          {"CFBundleVersion", "1.2"},
                          {"CFBundleName", "Ombrix Helper"}});
  ox::SoftwareUpdater::shared().setTimeouts(10000, 20000);  // every feed here answers, at a busy machine's pace
  QList<QUrl> opened;
  ox::Workspace::shared().setURLOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  OXPanelListController list;
  QPushButton* checkNow = list.settingsWindowController()->checkUpdatesButton();

  feed.setReply("/appcast.xml", {200, appcast("1.3"), "application/rss+xml", {}});
  checkNow->click();
  QMessageBox* box = updateAnswer();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->informativeText().contains("Ombrix Helper 1.3 is out; you have 1.2."));
  answerWith(box, "Show Release Page");
  EXPECT_EQ(opened, QList<QUrl>{QUrl("http://127.0.0.1:9/release/1.3")});

  feed.setReply("/appcast.xml", {200, appcast("1.2"), "application/rss+xml", {}});
  entry(list.menu(), "Check Updates...")->trigger();
  ASSERT_NE(box = updateAnswer(), nullptr);
  EXPECT_EQ(box->text(), "Ombrix Helper is up to date.");
  answerWith(box, "OK");

  // A feed that cannot be read says so, and two clicks in a row show one dialogue.
  feed.setReply("/appcast.xml", {404, "gone", "text/plain", {}});
  checkNow->click();
  checkNow->click();
  ASSERT_NE(box = updateAnswer(), nullptr);
  EXPECT_EQ(box->text(), "The update information could not be read.");
  ASSERT_TRUE(feed.waitForRequests(4));
  oxtest::spinFor(50);
  int shown = 0;
  for (QWidget* window : QApplication::topLevelWidgets()) shown += qobject_cast<QMessageBox*>(window) && window->isVisible();
  EXPECT_EQ(shown, 1);
  answerWith(box, "OK");
  ox::Workspace::shared().setURLOpener({});
  ox::SoftwareUpdater::shared().setTimeouts(1500, 3000);
  EXPECT_EQ(opened.size(), 1);
}

TEST(PanelList, TheGearMenuHoldsTheCommandsAndOpenOmbrixOnlyWhereItIsInstalled) {
  helpertest::resetHelperState();
  OXPanelListController list;
  const QStringList common{"Update Library", "", "Help && Support",  "Tour...",
                           "Settings...",    "", "Check Updates...", "Quit Ombrix Helper"};
  EXPECT_EQ(entries(list.menu()), common);

  QTemporaryDir dir;
  const QString ombrix = dir.filePath("ombrix");
  QFile(ombrix).open(QIODevice::WriteOnly);
  ox::registerInfoValues({{"OXMainAppPath", ombrix}});
  list.buildMenu();
  EXPECT_EQ(entries(list.menu()), QStringList{"Open Ombrix"} + common);
  QStringList launched;
  QList<QUrl> opened;
  ox::Workspace::shared().setLauncher([&](const QString& path) {
    launched << path;
    return true;
  });
  ox::Workspace::shared().setURLOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  entry(list.menu(), "Open Ombrix")->trigger();
  entry(list.menu(), "Help && Support")->trigger();
  ox::Workspace::shared().setLauncher({});
  ox::Workspace::shared().setURLOpener({});
  ox::registerInfoValues({{"OXMainAppPath", QString()}});
  EXPECT_EQ(launched, QStringList{ombrix});
  EXPECT_EQ(opened, QList<QUrl>{QUrl("http://127.0.0.1:9/ombrixapp/help/")});

  // Settings close an empty library's panel first; the message's button always does.
  helpertest::NotificationCounter posts({OXPanelController::kClosePanelNotification, OXPanelController::kLogOut});
  entry(list.menu(), "Settings...")->trigger();
  // The settings window wakes the scan engine, whose first cycle would take away a record without a file on disk.
  ASSERT_TRUE(oxtest::spinUntil([] { return !OXCoreLibrary::shareCoreLibrary()->isUpdating(); }, 20000));
  OXLibrary::shareLibrary()->addContent(helpertest::movieRecord("tt9000001", "The Glass Harbour", "/m/g.mkv"));
  entry(list.menu(), "Settings...")->trigger();
  EXPECT_EQ(posts.count(OXPanelController::kClosePanelNotification), 1);
  ox::NotificationCenter::defaultCenter().post(QStringLiteral("showSourcesNotification"));
  oxtest::spinFor(20);
  EXPECT_EQ(posts.count(OXPanelController::kClosePanelNotification), 2);

  const int quits = ox::Application::terminateRequests();
  ox::Application::setTerminateHandler([] {});
  entry(list.menu(), "Quit Ombrix Helper")->trigger();
  ox::Application::setTerminateHandler({});
  EXPECT_EQ(ox::Application::terminateRequests(), quits + 1);

  // The search list names what it identifies in the title line.
  OXSearchListViewController::changePopUpTitleForContent(helpertest::fileAt("/tv/a.S01E01.mkv", 3));
  oxtest::spinFor(20);
  EXPECT_EQ(list.popUpTitle()->text(), "Identify Show");

  // Logging out empties the library and the list and hands the panel to the form.
  list.contentListViewController()->reloadData();
  ASSERT_GT(list.contentListViewController()->rowCount(), 0);
  list.logOut();
  EXPECT_TRUE(OXLibrary::shareLibrary()->movieList().isEmpty());
  EXPECT_EQ(list.contentListViewController()->rowCount(), 0);
  EXPECT_EQ(posts.count(OXPanelController::kLogOut), 1);
}
