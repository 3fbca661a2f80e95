#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <thread>

#include "core/OXLibrary.h"
#include "helper/OXContentListViewController.h"
#include "helper/OXPanelListControllerDelegate.h"
#include "platform/ui/NSImageView_AFNetworking.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewTag.h"
#include "tests/helper/HelperTestSupport.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

using helpertest::episodeRecord;
using helpertest::fileAt;
using helpertest::movieRecord;
using helpertest::showRecord;

namespace {

QStringList titles(const OXContentListViewController& list) { return helpertest::modelTitles(list); }

bool synced(const OXContentListViewController& list) {
  return oxtest::spinUntil([&] { return !list.isSyncing(); }) && (oxtest::spinFor(20), true);
}

class Pushes : public OXPanelListControllerDelegate {
 public:
  void pushToSearchListWithData(const ox::CodingPtr& item) override { pushed << item; }
  void popToContentList() override {}
  void fixContent(const ox::CodingPtr&, const ox::CodingPtr&, std::function<void()>) override {}
  QList<ox::CodingPtr> pushed;
};

class ContentList : public ::testing::Test {
 protected:
  void SetUp() override { helpertest::resetHelperState(); }
  OXLibrary* library() const { return OXLibrary::shareLibrary(); }
};

}  // namespace

TEST_F(ContentList, ATabListsItsUnrecognisedFilesThenItsTitlesBySection) {
  library()->addUnknown(fileAt("/m/b.mkv", 1));
  library()->addUnknown(fileAt("/m/a.mkv", 1));
  library()->addUnknown(fileAt("/tv/x.S01E01.mkv", 3));
  for (const auto& [imdb, title] :
       {std::pair{"tt1", "alien"}, {"tt2", "Avatar"}, {"tt3", "12 Monkeys"}, {"tt4", "Zorro"}, {"tt5", "Élite"}})
    library()->addContent(movieRecord(imdb, title, QStringLiteral("/m/%1.mkv").arg(imdb)));
  library()->addContent(showRecord(812, "Lantern Street"));

  OXContentListViewController list;
  EXPECT_EQ(titles(list), (QStringList{"Not recognized", "b", "a", "#", "12 Monkeys", "A", "alien", "Avatar", "Z",
                                       "Zorro", "#", "Élite"}));
  EXPECT_EQ(list.index(0, 0).data(Qt::SizeHintRole).toSize().height(), 25);
  EXPECT_EQ(list.index(1, 0).data(Qt::SizeHintRole).toSize().height(), 74);
  EXPECT_EQ(list.index(1, 0).data(OXContentListViewController::kKeyRole).toString(), "/m/b.mkv");
  EXPECT_EQ(list.buttonSegmentedSelected(), 1);

  list.showButton()->click();
  EXPECT_EQ(list.buttonSegmentedSelected(), 2);
  EXPECT_EQ(titles(list), (QStringList{"Not recognized", "x", "L", "Lantern Street"}));
  list.showButton()->click();  // the selected tab clicked again stays selected
  EXPECT_EQ(list.buttonSegmentedSelected(), 2);
  EXPECT_FALSE(list.movieButton()->isChecked());
  EXPECT_EQ(OXContentListViewController::getCharacterForTitle(QString()), "#");
}

TEST_F(ContentList, WhatTheEngineReportsWhileOpenGoesToItsPlaceWithoutARebuild) {
  for (const auto& [imdb, title] : {std::pair{"tt1", "Alien"}, {"tt2", "Avatar"}, {"tt3", "Zorro"}})
    library()->addContent(movieRecord(imdb, title, QStringLiteral("/m/%1.mkv").arg(imdb)));
  OXContentListViewController list;
  list.setPopUpState(1);
  ASSERT_TRUE(synced(list));
  int resets = 0;
  QObject::connect(&list, &QAbstractItemModel::modelReset, [&] { ++resets; });
  int inserts = 0;
  QObject::connect(&list, &QAbstractItemModel::rowsInserted, [&] { ++inserts; });

  // From a thread of the engine's, in this order.
  std::thread engine([&] {
    list.contentAdded(movieRecord("tt4", "Amelie", "/m/tt4.mkv"));
    list.contentAdded(movieRecord("tt5", "Azure", "/m/tt5.mkv"));
    list.contentAdded(movieRecord("tt6", "aardvark", "/m/tt6.mkv"));
    list.contentAdded(movieRecord("tt7", "Batman", "/m/tt7.mkv"));
    list.contentAdded(movieRecord("tt5", "Azure", "/m/tt5.mkv"));  // told twice
    list.contentAdded(movieRecord("tt8", "42", "/m/tt8.mkv"));
    list.unknownAdded(fileAt("/m/new.mkv", 1));
    list.unknownAdded(fileAt("/tv/new.S01E01.mkv", 3));  // the show tab is not shown
    list.contentAdded(showRecord(9, "Show"));
  });
  engine.join();
  ASSERT_TRUE(synced(list));
  EXPECT_EQ(titles(list), (QStringList{"Not recognized", "new", "#", "42", "A", "Alien", "Amelie", "Avatar", "Azure",
                                       "aardvark", "B", "Batman", "Z", "Zorro"}));
  EXPECT_EQ(resets, 0);
  EXPECT_EQ(inserts, 6);

  // A second unrecognised file goes to the top of the block; closing drops what still waits.
  list.unknownAdded(fileAt("/m/newer.mkv", 1));
  ASSERT_TRUE(synced(list));
  EXPECT_EQ(titles(list).mid(0, 3), (QStringList{"Not recognized", "newer", "new"}));
  list.setPopUpState(2);
  list.contentAdded(movieRecord("tt9", "Late", "/m/tt9.mkv"));
  ASSERT_TRUE(synced(list));
  EXPECT_FALSE(titles(list).contains("Late"));
}

TEST_F(ContentList, RowsAreFoundWhereTheyStandAndAShowCountsItsEpisodes) {
  const auto u1 = fileAt("/tv/one.S01E01.mkv", 3);
  const auto u2 = fileAt("/tv/two.S01E01.mkv", 3);
  library()->addUnknown(u1);
  library()->addUnknown(u2);
  library()->addContent(showRecord(812, "Lantern Street"));
  OXContentListViewController list;
  Pushes delegate;
  list.setDelegate(&delegate);
  list.showButton()->click();
  list.setPopUpState(1);
  list.view()->show();
  ASSERT_TRUE(oxtest::spinUntil([&] { return list.cellForKey("812") != nullptr; }));

  QWidget* show = list.cellForKey("812");
  QLabel* count = ox::viewWithTag<QLabel>(show, 3);
  EXPECT_EQ(count->text(), "0 episodes");
  const auto episode = episodeRecord(4341, 812, 1, 1, "/tv/ls.S01E01.mkv");
  library()->addContent(episode);
  list.contentAdded(episode);
  ASSERT_TRUE(synced(list));
  EXPECT_EQ(count->text(), "1 episodes");

  // A file placed live stands at the top of its block, though the store lists it last; once the store has let it
  // go, its row is still found.
  const auto u3 = fileAt("/tv/three.S01E01.mkv", 3);
  library()->addUnknown(u3);
  list.unknownAdded(u3);
  ASSERT_TRUE(synced(list));
  EXPECT_EQ(titles(list).mid(0, 4), (QStringList{"Not recognized", "three", "one", "two"}));
  library()->removeUnknown(u3);
  list.removeUnknown(u3);
  ASSERT_TRUE(synced(list));
  EXPECT_EQ(titles(list).mid(0, 3), (QStringList{"Not recognized", "one", "two"}));
  // A file reported and at once recognised leaves no row behind: the removal waits for the insertion.
  const auto u4 = fileAt("/tv/four.S01E01.mkv", 3);
  list.unknownAdded(u4);
  list.removeUnknown(u4);
  ASSERT_TRUE(synced(list));
  EXPECT_EQ(titles(list).mid(0, 3), (QStringList{"Not recognized", "one", "two"}));
  list.removeUnknown(u1);
  list.removeUnknown(u2);
  ASSERT_TRUE(synced(list));
  EXPECT_EQ(titles(list), (QStringList{"L", "Lantern Street"}));

  // The row's button shows under the pointer only, and opens the search for the row's item.
  auto* button = qobject_cast<QAbstractButton*>(ox::viewWithTag(show, 4));
  ASSERT_NE(button, nullptr);
  EXPECT_TRUE(button->isHidden());
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(show, &enter);
  EXPECT_FALSE(button->isHidden());
  EXPECT_EQ(button->text(), "Fix Incorrect Match");
  EXPECT_EQ(button->width(), 120);
  button->click();
  ASSERT_EQ(delegate.pushed.size(), 1);
  EXPECT_EQ(std::dynamic_pointer_cast<OXShow>(delegate.pushed[0])->showID(), 812u);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(show, &leave);
  EXPECT_TRUE(button->isHidden());
}

TEST_F(ContentList, ScrollingEndToEndKeepsOnlyTheRowsInSightAliveEachShowingItsOwnRow) {
  library()->addUnknown(fileAt("/m/odd reel.mkv", 1));
  for (int i = 0; i < 600; ++i)
    library()->addContent(movieRecord(QStringLiteral("tt%1").arg(i), QStringLiteral("Movie %1").arg(i, 4, 10, QChar('0')),
                                      QStringLiteral("/m/%1.mkv").arg(i)));
  OXContentListViewController list;
  list.setPopUpState(1);
  list.view()->show();
  ox::TableView* table = list.contentTableView();
  QScrollBar* bar = table->verticalScrollBar();
  const auto rowWidgets = [&] { return table->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(); };
  const auto checkRowsInSight = [&] {
    const auto [first, last] = table->visibleRows();
    for (int row = first; row <= last; ++row) {
      QWidget* view = table->viewAtRow(row);
      ASSERT_NE(view, nullptr) << row;
      const QModelIndex index = list.index(row, 0);
      const QString key = index.data(OXContentListViewController::kKeyRole).toString();
      if (key.isEmpty()) {
        EXPECT_EQ(ox::viewWithTag<QLabel>(view, 1)->text(), index.data().toString()) << row;
      } else {
        EXPECT_EQ(ox::viewWithTag<QLabel>(view, 2)->toolTip(), index.data().toString()) << row;
        EXPECT_EQ(ox::viewWithTag<QLabel>(view, 5)->text(), key) << row;
      }
    }
  };

  qsizetype most = 0;
  bar->setValue(0);
  QCoreApplication::processEvents();
  const auto [first, last] = table->visibleRows();
  while (true) {
    QCoreApplication::processEvents();
    most = std::max(most, rowWidgets());
    checkRowsInSight();
    if (bar->value() >= bar->maximum()) break;
    bar->setValue(bar->value() + bar->pageStep());
  }
  EXPECT_LE(most, 2 * (last - first + 1) + 2);

  // Back at the top, the unrecognised file's row is that file's again, button and all.
  bar->setValue(0);
  QCoreApplication::processEvents();
  checkRowsInSight();
  auto* button = qobject_cast<QAbstractButton*>(ox::viewWithTag(table->viewAtRow(1), 4));
  EXPECT_EQ(button->text(), "Identify Movie");
  EXPECT_EQ(button->width(), 94);
  EXPECT_EQ(list.cellForKey("tt0"), table->viewAtRow(3));
}

// The bucket answers every thumbnail with 2 GiB of zeros gzip-compressed on the way: each download ends at what a
// thumbnail can be, so rows waiting on such a bucket hold little memory and show nothing.
TEST_F(ContentList, ThumbnailsThatNeverEndAreCutShortAtWhatAThumbnailCanBe) {
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.clear());
  ASSERT_TRUE(standIn
                  .command({{"cmd", "fault"}, {"service", "bucket"}, {"kind", "flood"}, {"count", -1},
                            {"path", "/w75/"}, {"bytes", qint64(2) << 30}, {"encoding", "gzip"}})
                  .value("ok")
                  .toBool());
  std::vector<std::unique_ptr<QLabel>> views;
  for (int i = 0; i < 4; ++i) {
    views.push_back(std::make_unique<QLabel>());
    OXContentListViewController::loadPoster(
        views.back().get(), QUrl(standIn.baseUrl("bucket") + QStringLiteral("/images/original/poster_tt%1.png").arg(i)));
  }
  const auto ended = [&] {
    return std::all_of(views.begin(), views.end(), [](const auto& v) { return !ox::af_imageRequestOperation(v.get()); });
  };
  EXPECT_TRUE(oxtest::spinUntil(ended, 60000));
  EXPECT_EQ(standIn.requests("bucket").size(), 4);
  const qint64 peak = oxtest::peakResidentBytes();
  EXPECT_LT(peak, qint64(300) << 20) << peak / (1 << 20) << " MB";
  for (const auto& view : views) EXPECT_TRUE(view->pixmap().isNull());
  standIn.clear();
}
