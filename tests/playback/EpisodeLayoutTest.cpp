#include <gtest/gtest.h>

#include "platform/layers/Layer.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Transaction.h"
#include "playback/OXEpisodeLayoutManager.h"

using namespace ox;

namespace {

struct Menu {
  LayerPtr layer = Layer::layer();
  std::vector<LayerPtr> thumbs;
  explicit Menu(std::vector<double> widths) {
    layer->setFrame(QRectF(0, 0, 1920, 400));
    layer->setLayoutManager(OXEpisodeLayoutManager::layoutManager());
    for (double w : widths) {
      LayerPtr t = Layer::layer();
      t->setBounds(QRectF(0, 0, w, w * 9 / 16));
      layer->addSublayer(t);
      thumbs.push_back(t);
    }
  }
  void select(QVariant index) {
    layer->setValue("selectedIndex", index);
    layer->setNeedsLayout();
    layer->layoutIfNeeded();
  }
  double x(int i) const { return thumbs[i]->position().x(); }
};

const double c = 960, y = 120;

}  // namespace

TEST(OXEpisodeLayoutManager, EmptyLayerCommitsItsTransaction) {
  ManualClock clock;
  Menu m({});
  m.select(2);
  EXPECT_EQ(Transaction::depth(), 0);
}

TEST(OXEpisodeLayoutManager, FirstSelectedOthersScaledToTheRight) {
  ManualClock clock;
  Menu m({300, 300, 300, 300});
  m.select(0);
  EXPECT_EQ(m.thumbs[0]->position(), QPointF(c, y));
  EXPECT_TRUE(m.thumbs[0]->transform().isIdentity());
  const double w = 0.85 * 300;
  for (int i = 1; i < 4; ++i) {
    EXPECT_TRUE(m.thumbs[i]->transform() == Transform3D::makeScale(0.85, 0.85, 0.85));
    EXPECT_NEAR(m.x(i), c + 1.16 * w + (i - 1) * 1.08 * w, 1e-9);
    EXPECT_DOUBLE_EQ(m.thumbs[i]->position().y(), y);
  }
  // Neighbours 0.986 b from the chosen one, side thumbnails 0.918 b apart.
  EXPECT_NEAR(m.x(1) - m.x(0), 0.986 * 300, 1e-9);
  EXPECT_NEAR(m.x(2) - m.x(1), 0.918 * 300, 1e-9);
}

TEST(OXEpisodeLayoutManager, PastTheEndFractionalAndMixedWidths) {
  ManualClock clock;
  Menu m({300, 300, 300});
  m.select(3);  // one past the last
  EXPECT_NEAR(m.x(2), c - 1.16 * 255, 1e-9);
  EXPECT_NEAR(m.x(0), c - 1.16 * 255 - 2 * 1.08 * 255, 1e-9);
  m.select(5);
  EXPECT_NEAR(m.x(2), c - 1.16 * 255 - 2 * 1.08 * 255, 1e-9);
  for (const auto& t : m.thumbs) EXPECT_FALSE(t->transform().isIdentity());

  m.select(1.5);  // no thumbnail centred
  EXPECT_NEAR(m.x(1), c - 1.16 * 255 + 0.5 * 1.08 * 255, 1e-9);
  EXPECT_NEAR(m.x(0), c - 1.16 * 255 - 0.5 * 1.08 * 255, 1e-9);
  EXPECT_NEAR(m.x(2), c + 1.16 * 255 - 0.5 * 1.08 * 255, 1e-9);

  Menu mixed({200, 400, 100});
  mixed.select(0);
  EXPECT_NEAR(mixed.x(1), c + 1.16 * 340, 1e-9);
  EXPECT_NEAR(mixed.x(2), c + 1.16 * 85 + 1.08 * 85, 1e-9);
  // Read in single precision: 0.1 is not quite 0.1.
  mixed.select(2.0000001);
  EXPECT_TRUE(mixed.thumbs[2]->transform().isIdentity());
}

TEST(OXEpisodeLayoutManager, SelectionSlidesInPointTwoSecondsEaseOut) {
  ManualClock clock;
  Menu m({300, 300});
  m.select(0);
  Transaction::flush();
  const double t0 = clock.now();
  m.select(1);
  EXPECT_EQ(m.x(1), c);
  const LayerState mid = m.thumbs[1]->presentation(t0 + 0.1);
  EXPECT_GT(mid.position.x(), c);
  EXPECT_LT(mid.position.x() - c, 0.5 * 0.986 * 300);  // ease-out: past half way
  EXPECT_EQ(m.thumbs[1]->presentation(t0 + 0.2).position.x(), c);
  for (const auto& a : m.thumbs[1]->animations()) {
    EXPECT_EQ(a.duration, 0.2);
    EXPECT_TRUE(a.timing == TimingFunction::easeOut());
  }
}
