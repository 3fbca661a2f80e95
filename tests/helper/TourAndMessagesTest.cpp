#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QUrl>

#include "core/OXLibrary.h"
#include "helper/OXContentListViewController.h"
#include "helper/OXPanelListController.h"
#include "helper/OXPopUpMessageViewController.h"
#include "helper/OXSearchListViewController.h"
#include "helper/OXTutorialWindowController.h"
#include "platform/system/Workspace.h"
#include "platform/ui/TableView.h"
#include "scanner/OXCoreLibrary.h"
#include "tests/helper/HelperTestSupport.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

namespace {

const QString kOpen = QStringLiteral("openPopUpPermanent");

bool settled(OXTutorialWindowController& tour) {
  return oxtest::spinUntil([&] { return !tour.isChangingPage(); });
}

}  // namespace

TEST(Tour, ArrivingOnTheHelperPageFromEitherSideOpensThePanel) {
  helpertest::NotificationCounter posts({kOpen});
  OXTutorialWindowController tour;
  OXPanelListController::bringWindowForward(tour.window());
  ASSERT_EQ(tour.getCurrentIndex(), 1);
  tour.previous();  // nothing before the first page
  EXPECT_FALSE(tour.isChangingPage());

  const std::vector<std::pair<bool, std::pair<int, int>>> steps = {
      // forward?, page reached, posts so far
      {true, {2, 0}}, {true, {3, 1}}, {true, {4, 1}}, {false, {3, 2}}, {false, {2, 2}}, {true, {3, 3}}};
  for (const auto& [forward, expected] : steps) {
    forward ? tour.next() : tour.previous();
    tour.next();  // a second press during the fade is dropped
    ASSERT_TRUE(settled(tour));
    EXPECT_EQ(tour.getCurrentIndex(), expected.first);
    EXPECT_EQ(posts.count(kOpen), expected.second);
  }
  EXPECT_EQ(tour.contentView(), tour.helperView());
  EXPECT_EQ(tour.contentView()->graphicsEffect(), nullptr);

  tour.next();
  ASSERT_TRUE(settled(tour));
  ASSERT_EQ(tour.getCurrentIndex(), 4);
  tour.next();  // the last page closes the window at once
  EXPECT_FALSE(tour.window()->isVisible());

  QList<QUrl> opened;
  ox::Workspace::shared().setURLOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  tour.moreHelp();
  ox::Workspace::shared().setURLOpener({});
  EXPECT_EQ(opened, QList<QUrl>{QUrl("http://127.0.0.1:9/ombrixapp/help/")});
}

TEST(Messages, TheEmptyTabShowsWhyAndTheListComesBackWithTheFirstFile) {
  ASSERT_TRUE(oxtest::StandIn::shared().isRunning());
  helpertest::resetHelperState();
  OXPanelListController list;
  OXPopUpMessageViewController* message = list.popUpMessageViewController();
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !engine->isUpdating(); }, 60000));
  list.checkMessageView();
  ASSERT_TRUE(oxtest::spinUntil([&] { return list.isMessageViewShown(); }));
  EXPECT_EQ(message->titleField()->text(), "No movies available");
  EXPECT_EQ(message->messageField()->text(), "Try adding some to resources.");
  EXPECT_FALSE(message->buttonSources()->isHidden());
  EXPECT_EQ(message->buttonSources()->text(), "Add movies sources");
  EXPECT_FALSE(message->iconImageView()->pixmap().isNull());
  // Only the lists give way: the tabs stay to switch.
  EXPECT_TRUE(list.contentListViewController()->contentTableView()->isHidden());
  EXPECT_TRUE(list.searchListViewController()->view()->isHidden());
  EXPECT_FALSE(list.contentListViewController()->movieButton()->isHidden());
  // Its origin, bottom up, is (11, 20) on the page.
  EXPECT_EQ(message->view()->x(), 11);
  EXPECT_EQ(list.view()->height() - message->view()->geometry().bottom() - 1, 20);

  // A movie folder and a scan running: the library is being created, and there is nothing to press. The search
  // holds its answer meanwhile, so the file cannot be listed before the message is looked at.
  oxtest::StandIn::shared().fault("search", "stall", -1, {}, 30);
  QTemporaryDir movies;
  QFile file(movies.filePath("Garden.mkv"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(5 * 1048576));
  file.close();
  engine->addURLsToRootList({QUrl::fromLocalFile(movies.path() + "/")}, 1);
  ASSERT_TRUE(engine->isUpdating());
  list.checkMessageView();
  ASSERT_TRUE(oxtest::spinUntil([&] { return message->titleField()->text() == "Creating library..."; }));
  EXPECT_TRUE(message->buttonSources()->isHidden());
  oxtest::StandIn::shared().clear();

  // The scan finds one file it cannot name: the list shows instead of a message.
  ASSERT_TRUE(oxtest::spinUntil([&] { return !engine->isUpdating(); }, 30000));
  ASSERT_EQ(OXLibrary::shareLibrary()->unknownMovieList().size(), 1);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !list.isMessageViewShown(); }));
  EXPECT_FALSE(list.contentListViewController()->contentTableView()->isHidden());

  helpertest::NotificationCounter posts({OXPopUpMessageViewController::kShowSourcesNotification});
  message->buttonSources()->click();
  EXPECT_EQ(posts.count(OXPopUpMessageViewController::kShowSourcesNotification), 1);
}
