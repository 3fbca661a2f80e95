#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>

#include "app/MyLayoutManager.h"
#include "core/OXPreferencesValues.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/ReplicatorLayer.h"
#include "platform/layers/Transaction.h"

using namespace ox;

namespace {

const QSizeF kPoster(322, 477);

struct Row {
  LayerPtr row = Layer::layer();
  std::vector<LayerPtr> items;
  std::vector<LayerPtr> holders;
  std::shared_ptr<MyLayoutManager> manager;

  explicit Row(int n, QSizeF poster = kPoster) {
    row->setBounds(QRectF(0, 0, 1000, 0));
    manager = MyLayoutManager::layoutManagerWithImageSize(poster);
    row->setLayoutManager(manager);
    for (int i = 0; i < n; ++i) {
      LayerPtr item = Layer::layer();
      LayerPtr holder = Layer::layer();
      item->addSublayer(holder);
      item->setValue("__holderLayer", QVariant::fromValue(holder));
      item->setValue("isEnable", true);
      row->addSublayer(item);
      items.push_back(item);
      holders.push_back(holder);
    }
  }
  void select(qint64 index) {
    row->setValue("selectedIndex", index);
    row->setNeedsLayout();
    row->layoutIfNeeded();
  }
};

class CoverFlowTest : public ::testing::Test {
 protected:
  void SetUp() override { OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(QRectF(0, 0, 1920, 1080).toRect()); }
  void TearDown() override { OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(std::nullopt); }
  ManualClock clock{10.0};
  const double f = 1920 * 0.045;  // offSetFactor
  const double step = 322 * 0.42;
};

}  // namespace

TEST_F(CoverFlowTest, FixedFieldsAndSidePerspective) {
  MyLayoutManager m(kPoster);
  EXPECT_DOUBLE_EQ(m.offSetFactor(), f);
  EXPECT_EQ(m.zCenterPosition(), 10);
  EXPECT_EQ(m.zSidePosition(), -300);
  const Transform3D tilt = Transform3D::makeRotation(0.15000000596046448, 1, 0, 0);
  EXPECT_TRUE(m.leftTransform() == Transform3D::rotate(tilt, 0.5, 0, 1, 0));
  EXPECT_TRUE(m.rightTransform() == Transform3D::rotate(tilt, -0.5, 0, 1, 0));
  const Transform3D p = m.sidePerspective();
  EXPECT_DOUBLE_EQ(p.m24, -0.10000000149011612 / -300);
  EXPECT_DOUBLE_EQ(p.m32, 0.10000000149011612 / -300);
  EXPECT_DOUBLE_EQ(p.m34, 0.36000001430511475 / -300);
  EXPECT_NEAR(p.m34, -0.0012, 1e-9);
  OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(QRectF(0, 0, 0, 0).toRect());
  EXPECT_EQ(MyLayoutManager(kPoster).offSetFactor(), 0);
}

TEST_F(CoverFlowTest, EmptyRowChangesNothingAndClosesItsTransaction) {
  Row r(0);
  r.select(2);
  EXPECT_EQ(Transaction::depth(), 0);
  EXPECT_TRUE(r.row->sublayers().empty());
}

TEST_F(CoverFlowTest, SelectionZeroPutsEveryOtherItemOnTheRight) {
  Row r(4);
  r.select(0);
  EXPECT_EQ(r.items[0]->position(), QPointF(500, 0));
  EXPECT_EQ(r.items[0]->zPosition(), 10);
  EXPECT_EQ(r.holders[0]->zPosition(), 10);
  EXPECT_TRUE(r.holders[0]->transform().isIdentity());
  EXPECT_TRUE(r.items[0]->sublayerTransform().isIdentity());
  for (int i = 1; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(r.items[i]->position().x(), 500 + step * i + f);
    EXPECT_DOUBLE_EQ(r.items[i]->zPosition(), -300 - 0.10000000149011612 * i);
    EXPECT_LE(r.items[i]->zPosition(), -300.1);
    EXPECT_EQ(r.holders[i]->zPosition(), -300);
    EXPECT_TRUE(r.holders[i]->transform() == r.manager->rightTransform());
    EXPECT_TRUE(r.items[i]->sublayerTransform() == r.manager->sidePerspective());
    EXPECT_EQ(r.items[i]->opacity(), 1);
  }
}

TEST_F(CoverFlowTest, IndexAtOrBeyondTheEndAndNegativeIndexGoLeft) {
  Row r(3);
  r.select(3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(r.items[i]->position().x(), 500 - (step * (3 - i) + f), 1e-9);
    EXPECT_TRUE(r.holders[i]->transform() == r.manager->leftTransform());
  }
  // -1 compares as the largest unsigned value: about 2^64 slots to the left.
  r.select(-1);
  const double k0 = 18446744073709551615.0;
  EXPECT_DOUBLE_EQ(r.items[0]->position().x(), 500 - (322 * k0 * 0.42 + f));
  EXPECT_LT(r.items[2]->position().x(), -1e21);
  EXPECT_LT(r.items[2]->zPosition(), -1e17);
  for (const auto& h : r.holders) EXPECT_TRUE(h->transform() == r.manager->leftTransform());
  // Drawing such a row neither hangs nor draws the far-away items.
  Renderer renderer;
  const QImage img = renderer.renderToImage(r.row, QSize(200, 100), clock.now());
  EXPECT_EQ(renderer.lastStats().drawn, 0);
}

TEST_F(CoverFlowTest, HiddenItemsFadeAndTakeTheNextEnabledSlot) {
  Row r(6);
  r.items[1]->setValue("isEnable", false);
  r.items[2]->setValue("isEnable", QVariant());  // absent reads as NO
  r.items[5]->setValue("isEnable", false);
  r.select(1);  // slots: item0 = 0, item3 = 1 (centre), item4 = 2
  EXPECT_EQ(r.items[1]->opacity(), 0);
  EXPECT_EQ(r.items[2]->opacity(), 0);
  EXPECT_EQ(r.items[3]->position(), QPointF(500, 0));
  EXPECT_EQ(r.items[1]->position(), r.items[3]->position());
  EXPECT_EQ(r.items[2]->zPosition(), r.items[3]->zPosition());
  EXPECT_DOUBLE_EQ(r.items[0]->position().x(), 500 - (step + f));
  EXPECT_DOUBLE_EQ(r.items[4]->position().x(), 500 + step + f);
  // After the last enabled item: one slot beyond it.
  EXPECT_DOUBLE_EQ(r.items[5]->position().x(), 500 + 2 * step + f);
}

TEST_F(CoverFlowTest, OneSlotMoveIsOneEaseOutSlideWhileDepthJumps) {
  Row r(5);
  r.select(2);
  Transaction::flush();  // the row is on screen from here
  const double before1 = r.items[1]->position().x(), before3 = r.items[3]->position().x();
  const double t0 = clock.now();
  r.select(3);
  EXPECT_DOUBLE_EQ(r.items[1]->position().x() - before1, -step);
  EXPECT_DOUBLE_EQ(r.items[2]->position().x() - 500, -(step + f));  // leaves the centre
  EXPECT_DOUBLE_EQ(r.items[3]->position().x(), 500);                // enters it
  EXPECT_DOUBLE_EQ(before3 - 500, step + f);
  for (const auto& item : r.items) {
    bool position = false;
    for (const auto& a : item->animations()) {
      EXPECT_NE(a.key, LayerKey::ZPosition);
      if (a.key == LayerKey::Position) {
        position = true;
        EXPECT_DOUBLE_EQ(a.duration, 0.20000000298023224);
        EXPECT_TRUE(a.timing == TimingFunction::easeOut());
      }
    }
    EXPECT_TRUE(position);
  }
  // Depth is already final on screen; the slide is half done (ease-out: more than half) at 0.1 s.
  EXPECT_EQ(r.items[3]->presentation(t0).zPosition, 10);
  const double mid = r.items[3]->presentation(t0 + 0.1).position.x();
  EXPECT_GT(before3 - mid, (before3 - 500) * 0.5);
  EXPECT_LT(mid, before3);
  EXPECT_GT(mid, 500);
  EXPECT_DOUBLE_EQ(r.items[3]->presentation(t0 + 0.2).position.x(), 500);
}

// A row of posters built as the movie browser builds them: holder, replicator with the dimmed mirror, image.
TEST_F(CoverFlowTest, RenderedCoverFlowInMidSlide) {
  const QSizeF poster(200, 300);
  const int n = 9;
  LayerPtr root = Layer::layer();
  root->setAnchorPoint(QPointF(0, 0));
  root->setBounds(QRectF(0, 0, 1280, 720));
  root->setBackgroundColor(Qt::black);
  LayerPtr row = Layer::layer();
  row->setPosition(QPointF(640, 330));
  row->setLayoutManager(MyLayoutManager::layoutManagerWithImageSize(poster));
  std::vector<QColor> colors;
  for (int i = 0; i < n; ++i) {
    const QColor c(QColor::fromHsv(i * 40, 200, 255).rgb());
    colors.push_back(c);
    LayerPtr item = Layer::layer(), holder = Layer::layer(), image = Layer::layer();
    auto reflection = ReplicatorLayer::layer();
    item->setBounds(QRectF(0, 0, poster.width(), poster.height() * 1.5));
    holder->setBounds(item->bounds());
    holder->setPosition(item->bounds().center());
    reflection->setPosition(holder->bounds().center());
    reflection->setInstanceCount(2);
    reflection->setInstanceTransform(
        Transform3D::translate(Transform3D::makeScale(1, -1, 1), 0, poster.height() + 2, 0));
    reflection->setInstanceRedOffset(-0.86);
    reflection->setInstanceGreenOffset(-0.86);
    reflection->setInstanceBlueOffset(-0.86);
    QImage pic(200, 300, QImage::Format_RGB32);
    pic.fill(c);
    image->setBounds(QRectF(QPointF(0, 0), poster));
    image->setContents(pic);
    reflection->addSublayer(image);
    holder->addSublayer(reflection);
    item->addSublayer(holder);
    item->setValue("__holderLayer", QVariant::fromValue(holder));
    item->setValue("isEnable", true);
    row->addSublayer(item);
  }
  root->addSublayer(row);
  row->setValue("selectedIndex", qint64(4));
  Renderer renderer;
  QImage settled = renderer.renderToImage(root, QSize(1280, 720), clock.now());
  auto px = [](const QImage& img, int x, int yUp) { return img.pixelColor(x, img.height() - 1 - yUp); };
  // The centre poster stands flat: its own colour at the middle, its dimmed mirror below it.
  EXPECT_EQ(px(settled, 640, 330 + 140), colors[4]);
  const QColor mirror = px(settled, 640, 330 - 170);
  EXPECT_NEAR(mirror.red(), colors[4].red() * 0.14, 3);
  EXPECT_NEAR(mirror.green(), colors[4].green() * 0.14, 3);
  // Side posters are in perspective: each edge of a side poster has a different height.
  auto runAt = [&](const QImage& img, int x, const QColor& c) {
    int count = 0;
    for (int y = 0; y < img.height(); ++y)
      if (img.pixelColor(x, y) == c) ++count;
    return count;
  };
  int firstX = -1, lastX = -1;
  for (int x = 0; x < 640; ++x)
    if (runAt(settled, x, colors[3]) > 0) (firstX < 0 ? firstX : lastX) = x;
  ASSERT_GT(firstX, 0);
  ASSERT_GT(lastX, firstX);
  EXPECT_NE(runAt(settled, firstX + 2, colors[3]), runAt(settled, lastX - 2, colors[3]));
  EXPECT_LT(runAt(settled, lastX - 2, colors[3]), 300);  // smaller than the flat centre poster

  // Slide to the next poster and look at 0.1 s of the 0.2 s move.
  const double t0 = clock.now();
  row->setValue("selectedIndex", qint64(5));
  row->setNeedsLayout();
  row->layoutIfNeeded();
  const QImage start = renderer.renderToImage(root, QSize(1280, 720), t0);
  const QImage middle = renderer.renderToImage(root, QSize(1280, 720), t0 + 0.1);
  const QImage end = renderer.renderToImage(root, QSize(1280, 720), t0 + 0.2);
  EXPECT_EQ(px(start, 640, 380), colors[4]);
  EXPECT_EQ(px(end, 640, 380), colors[5]);
  auto leftEdge = [&](const QImage& img, const QColor& c) {
    for (int x = 0; x < img.width(); ++x)
      if (img.pixelColor(x, img.height() - 1 - 380) == c) return x;
    return -1;
  };
  const int e0 = leftEdge(start, colors[5]), e1 = leftEdge(middle, colors[5]), e2 = leftEdge(end, colors[5]);
  EXPECT_GT(e0, e1);
  EXPECT_GT(e1, e2);
  EXPECT_EQ(e2, 540);  // flat in the middle: 640 - 100
  EXPECT_GT(e0 - e1, e1 - e2);  // ease-out: most of the way in the first half
}

// A long row is laid out move by move within reach of the selection only, and every item in reach stands where a
// whole pass puts it; one that comes back within reach slides in from where the pass before would have left it.
TEST_F(CoverFlowTest, AMoveInALongRowLaysOutOnlyWhatCanComeIntoViewYetPlacesItAsAWholePass) {
  const int n = 400;
  const qint64 reach = qint64(MyLayoutManager::kReach);
  Row moved(n), whole(n);
  const auto wholePass = [&](qint64 s) {
    whole.manager = MyLayoutManager::layoutManagerWithImageSize(kPoster);  // knows nothing of earlier passes
    whole.row->setLayoutManager(whole.manager);
    whole.select(s);
  };
  const auto placedAlike = [&](qint64 s) {
    for (qint64 i = std::max<qint64>(0, s - reach); i <= std::min<qint64>(n - 1, s + reach); ++i) {
      const auto k = std::size_t(i);
      ASSERT_EQ(moved.items[k]->position(), whole.items[k]->position()) << "item " << i << " at " << s;
      ASSERT_EQ(moved.items[k]->zPosition(), whole.items[k]->zPosition()) << i;
      ASSERT_TRUE(moved.holders[k]->transform() == whole.holders[k]->transform()) << i;
      ASSERT_EQ(moved.holders[k]->zPosition(), whole.holders[k]->zPosition()) << i;
    }
  };
  moved.select(0);
  EXPECT_EQ(moved.manager->lastPassCount(), std::size_t(n));  // the first pass lays out everything
  Transaction::flush();
  for (qint64 s = 1; s <= 40; ++s) {
    moved.select(s);
    EXPECT_LE(moved.manager->lastPassCount(), std::size_t(2 * reach + 2));
    wholePass(s);
    placedAlike(s);
  }
  // Item 3 was last reached at 35; back at 30 it slides in from where 40 placed it, one further step at a time.
  clock.advance(1);
  moved.select(30);
  wholePass(30);
  placedAlike(30);
  bool slid = false;
  for (const auto& a : moved.items[3]->animations())
    if (a.key == LayerKey::Position) {
      slid = true;
      EXPECT_DOUBLE_EQ(std::get<QPointF>(a.from).x(), 500 - (step * 37 + f));
    }
  EXPECT_TRUE(slid);
  EXPECT_DOUBLE_EQ(moved.items[3]->position().x(), 500 - (step * 27 + f));

  // A filter far before the selection shifts every slot after it: the next pass reads the row anew.
  moved.items[5]->setValue("isEnable", false);
  whole.items[5]->setValue("isEnable", false);
  moved.select(30);
  EXPECT_EQ(moved.manager->lastPassCount(), std::size_t(n));
  wholePass(30);
  placedAlike(30);
  EXPECT_EQ(moved.items[31]->position(), QPointF(500, 0));
}
