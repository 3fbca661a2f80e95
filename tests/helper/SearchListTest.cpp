#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include "helper/OXPanelListControllerDelegate.h"
#include "helper/OXSearchListViewController.h"
#include "platform/ui/TableView.h"
#include "tests/helper/HelperTestSupport.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

namespace {

class Panel : public OXPanelListControllerDelegate {
 public:
  void pushToSearchListWithData(const ox::CodingPtr&) override {}
  void popToContentList() override { ++pops; }
  void fixContent(const ox::CodingPtr&, const ox::CodingPtr&, std::function<void()> done) override { done(); }
  int pops = 0;
};

QStringList resultTitles(const OXSearchListViewController& search) { return helpertest::modelTitles(search); }

int requestsWith(const QString& part) {
  int n = 0;
  for (const QVariant& r : oxtest::StandIn::shared().requests("search"))
    if (r.toMap().value("path").toString().contains(part)) ++n;
  return n;
}

// A search answer of `count` movies named "Reel <n>".
QByteArray reels(int first, int count) {
  QJsonArray hits;
  for (int n = first; n < first + count; ++n)
    hits.append(QJsonObject{{"id", QStringLiteral("tt81%1").arg(n, 5, 10, QLatin1Char('0'))},
                            {"fields", QJsonObject{{"title", QStringLiteral("Reel %1").arg(n)}, {"type", "m"}}}});
  return QJsonDocument(QJsonObject{{"hits", QJsonObject{{"found", 40}, {"hit", hits}}}}).toJson();
}

class SearchList : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(standIn().isRunning());
    standIn().clear();
    search.setDelegate(&panel);
    search.view()->show();
  }
  void TearDown() override { standIn().clear(); }
  static oxtest::StandIn& standIn() { return oxtest::StandIn::shared(); }
  bool status(const QString& text) {
    return oxtest::spinUntil([&] { return !search.message()->isHidden() && search.message()->text() == text; });
  }

  Panel panel;
  OXSearchListViewController search;
};

}  // namespace

TEST_F(SearchList, OfTwoQuickSearchesOnlyTheSecondFillsTheList) {
  search.setContent(helpertest::fileAt("/m/Nothing Here At All.mkv", 1));
  EXPECT_EQ(search.searchTextField()->text(), "nothing here at all");
  EXPECT_EQ(search.filenameLabel()->text(), "Nothing Here At All.mkv");
  ASSERT_TRUE(status("No results were found"));
  EXPECT_TRUE(search.contentTableView()->isHidden());

  // The first search's answer is held back until the second one's is shown.
  standIn().fault("search", "delay", 1, "arbour", 30);
  search.searchTextField()->setText("Harbour");
  search.search();
  ASSERT_TRUE(oxtest::spinUntil([&] { return requestsWith("arbour") == 1; }));
  search.searchTextField()->setText("Copper");
  search.search();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !search.contentTableView()->isHidden(); }));
  EXPECT_EQ(resultTitles(search), QStringList{"Copper Lanterns"});
  const int dropped = search.droppedAnswers();
  standIn().clear();
  ASSERT_TRUE(oxtest::spinUntil([&] { return search.droppedAnswers() == dropped + 1; }));
  EXPECT_EQ(resultTitles(search), QStringList{"Copper Lanterns"});
  EXPECT_TRUE(search.message()->isHidden());

  // Escape keeps the results, going back drops them.
  search.keyDown(Qt::Key_Escape);
  EXPECT_EQ(panel.pops, 1);
  EXPECT_EQ(search.rowCount(), 1);
  search.back();
  EXPECT_EQ(panel.pops, 2);
  EXPECT_EQ(search.rowCount(), 0);
}

TEST_F(SearchList, AFullPageAsksForTheNextAtTheEndAndAnEmptyOneKeepsTheList) {
  standIn().answer("search", 200, reels(0, 20), -1, "start=0");
  standIn().answer("search", 200, reels(0, 0), -1, "start=20");
  search.setContent(helpertest::fileAt("/m/Reel.mkv", 1));
  ASSERT_TRUE(oxtest::spinUntil([&] { return search.rowCount() == 20 && !search.contentTableView()->isHidden(); }));
  EXPECT_EQ(requestsWith("start=20"), 0);

  QScrollBar* bar = search.contentTableView()->verticalScrollBar();
  bar->setValue(bar->maximum());
  ASSERT_TRUE(oxtest::spinUntil([&] { return requestsWith("start=20") == 1 && !search.isSearching(); }));
  oxtest::spinFor(50);
  EXPECT_EQ(search.rowCount(), 20);
  EXPECT_EQ(search.numberOfRowsTemp(), 20u);
  EXPECT_FALSE(search.contentTableView()->isHidden());
  EXPECT_TRUE(search.message()->isHidden());
  bar->setValue(0);
  bar->setValue(bar->maximum());
  oxtest::spinFor(100);
  EXPECT_EQ(requestsWith("start=20"), 1);  // the list is complete
}

// The helper quitting takes the page down while the search service does not answer: its searches end rather than
// hold the exit until their time limit, and their end reaches nothing of the page.
TEST_F(SearchList, APageThatGoesWhileItsSearchStallsGoesAtOnce) {
  standIn().fault("search", "stall", -1, {}, 60);
  auto going = std::make_unique<OXSearchListViewController>();
  going->setDelegate(&panel);
  going->setContent(helpertest::fileAt("/m/Harbour.mkv", 1));
  going->searchTextField()->setText("Copper");
  going->search();
  ASSERT_TRUE(oxtest::spinUntil([] { return requestsWith("arbour") == 1 && requestsWith("opper") == 1; }));
  EXPECT_LT(oxtest::msTakenBy([&] { going.reset(); }), 1000);
  oxtest::spinFor(200);
  EXPECT_EQ(panel.pops, 0);
}

TEST(SearchListRows, TheDetailLineLeavesOutWhatTheRecordLacks) {
  EXPECT_EQ(OXSearchListViewController::detailText(helpertest::movieRecord("tt1", "Bare")), "");
  const auto full =
      OXMovie::initWithDictionary({{"id", "tt2"},
                                   {"fields", QVariantMap{{"title", "Full"},
                                                          {"year", "2005"},
                                                          {"runtime", "110"},
                                                          {"genre", QStringList{"Drama", "Mystery", "War"}}}}});
  EXPECT_EQ(OXSearchListViewController::detailText(full), "2005 | Drama, Mystery | 110 min");
}
