#include <gtest/gtest.h>

#include "app/HomeSectionListView.h"
#include "core/OXPreferencesValues.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Transaction.h"

namespace {

class HomeSectionListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(QRect(0, 0, 1920, 1080));
  }
  void TearDown() override { OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(std::nullopt); }

  std::shared_ptr<HomeSectionListView> list(const QStringList& titles) {
    auto l = std::make_shared<HomeSectionListView>(QRectF(0, 0, 960, 1080));
    l->initListWithSections(titles);
    l->layer()->layoutIfNeeded();
    return l;
  }
  const QStringList home = {"Trailers", "Movies", "Shows", "Update Available"};
  ox::ManualClock clock{50};
};

bool highlighted(const HomeSectionListView& l, quint64 row) {
  const auto t = l.titleLayerAt(row);
  return t->opacity() == 1.0 && t->transform().isIdentity();
}

}  // namespace

TEST_F(HomeSectionListTest, RowsAreAnEleventhOfTheScreenAndStartUnderAFifthOfIt) {
  auto l = list(home);
  EXPECT_EQ(l->layer()->name(), "root");
  EXPECT_EQ(l->layer()->opacity(), 0);  // Home fades it in
  EXPECT_EQ(l->layer()->zPosition(), 100);
  EXPECT_EQ(l->itemNumber(), 4u);
  EXPECT_DOUBLE_EQ(l->heightRow(), 1080.0 / 11);
  const ox::LayerPtr menu = l->menu();
  EXPECT_NEAR(menu->frame().top() + menu->frame().height(), 1080 - 216, 1e-9);  // top edge, y up
  EXPECT_NEAR(menu->frame().height(), 4 * 1080.0 / 11, 1e-3);
  const ox::LayerPtr row0 = menu->sublayerNamed("0"), row1 = menu->sublayerNamed("1");
  EXPECT_NEAR(row0->frame().bottom(), menu->bounds().height(), 1e-9);
  EXPECT_NEAR(row1->frame().bottom(), row0->frame().top(), 1e-9);
  const auto title = l->titleLayerAt(1);
  EXPECT_EQ(title->string(), "Movies");
  EXPECT_EQ(title->fontSize(), 75);
  EXPECT_EQ(title->font(), "oxfont-Regular");
  EXPECT_EQ(title->anchorPoint(), QPointF(0, 0.5));
  EXPECT_NEAR(title->frame().left(), 50, 1e-9);
  EXPECT_NEAR(title->position().y(), row1->bounds().height() / 2 + 0.03 * l->heightRow(), 1e-9);
  EXPECT_TRUE(highlighted(*l, 0));
  EXPECT_EQ(title->opacity(), 0.5);
  EXPECT_TRUE(title->transform() == ox::Transform3D::makeScale(0.7335, 0.7335, 0.7335));
}

TEST_F(HomeSectionListTest, TheHighlightStopsAtBothEndsAndAnimatesForAFewFrames) {
  auto l = list(home);
  ox::Transaction::flush();
  EXPECT_FALSE(l->selectPrevious());
  EXPECT_EQ(l->selectedRow(), 0u);
  EXPECT_TRUE(l->selectNext());
  EXPECT_TRUE(highlighted(*l, 1));
  EXPECT_FALSE(highlighted(*l, 0));
  const auto animations = l->titleLayerAt(1)->animations();
  ASSERT_FALSE(animations.empty());
  EXPECT_DOUBLE_EQ(animations.front().duration, 0.15);
  EXPECT_TRUE(l->selectNext());
  EXPECT_TRUE(l->selectNext());
  EXPECT_FALSE(l->selectNext());
  EXPECT_EQ(l->selectedRow(), 3u);
  EXPECT_EQ(l->scroll()->value("selectedItem").toLongLong(), 3);
  l->selectItemAt(3);  // the same row stays highlighted
  EXPECT_TRUE(highlighted(*l, 3));
  l->selectItemAt(9);  // no such row: nothing changes
  EXPECT_EQ(l->selectedRow(), 3u);
}

TEST_F(HomeSectionListTest, EachTitleAnswersItsSectionCode) {
  auto l = list(home);
  QList<qint32> codes;
  do codes << l->sectionSelected();
  while (l->selectNext());
  EXPECT_EQ(codes, QList<qint32>({7, 1, 2, 4}));

  // The first list title found inside the highlighted one decides.
  auto streamers = list({"Movies", "Movies Streamers", "Extras"});
  streamers->selectItemAt(1);
  EXPECT_EQ(streamers->sectionSelected(), 1);
  streamers->selectItemAt(2);
  EXPECT_EQ(streamers->sectionSelected(), -1);

  auto one = list({"Shows Streamers"});
  EXPECT_FALSE(one->selectNext());
  EXPECT_FALSE(one->selectPrevious());
  EXPECT_EQ(one->sectionSelected(), 6);
}
