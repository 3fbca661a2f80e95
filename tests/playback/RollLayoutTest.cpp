#include <gtest/gtest.h>

#include <cmath>

#include "platform/layers/LayerClock.h"
#include "platform/layers/TextLayer.h"
#include "platform/layers/Transaction.h"
#include "playback/RollLayout.h"

using namespace ox;

namespace {

const QSizeF kRowSize(300, 100);

struct Roll {
  LayerPtr roll = Layer::layer();
  std::vector<LayerPtr> rows;
  std::vector<std::shared_ptr<TextLayer>> texts;
  Roll(int n, const LayoutManagerPtr& manager) {
    roll->setBounds(QRectF(0, 0, 400, 600));
    roll->setLayoutManager(manager);
    for (int i = 0; i < n; ++i) {
      LayerPtr row = Layer::layer();
      auto text = TextLayer::layer();
      text->setForegroundColor(Qt::gray);
      text->setString(QString::number(i));
      row->addSublayer(text);
      row->setValue("__holderLayer", QVariant::fromValue(LayerPtr(text)));
      roll->addSublayer(row);
      rows.push_back(row);
      texts.push_back(text);
    }
  }
  void layout(QVariant selected, QVariant type = QVariant()) {
    roll->setValue("selectedIndex", selected);
    roll->setValue("type", type);
    roll->setNeedsLayout();
    roll->layoutIfNeeded();
  }
  QStringList labels() const {
    QStringList l;
    for (const auto& t : texts) l << t->string();
    return l;
  }
};

Transform3D rowTransform(double angle, double scale) {
  return Transform3D::scale(Transform3D::makeRotation(angle, 1, 0, 0), scale, scale, scale);
}

const QVariantMap kDelayParameters{{"_textZero", "No delay"}, {"textPrevious", "s. before"}, {"textNext", "s. after"},
                                   {"step", 0.1}};

}  // namespace

TEST(RollLayout, EmptyRollAndSingleRow) {
  ManualClock clock;
  Roll empty(0, RollLayout::layoutManagerWithImageSize(kRowSize));
  empty.layout(0);
  EXPECT_EQ(Transaction::depth(), 0);

  Roll one(1, RollLayout::layoutManagerWithImageSize(kRowSize));
  one.layout(0);
  EXPECT_EQ(one.rows[0]->position(), QPointF(200, 300));
  EXPECT_TRUE(one.texts[0]->transform().isIdentity());
  EXPECT_TRUE(one.rows[0]->sublayerTransform().isIdentity());
  EXPECT_EQ(one.texts[0]->opacity(), 1.0);
  EXPECT_EQ(one.texts[0]->foregroundColor(), QColor(Qt::white));
  one.layout(0, qint32(-1));
  EXPECT_EQ(one.texts[0]->opacity(), 0.3);
}

TEST(RollLayout, RowsFollowTheDrumTable) {
  ManualClock clock;
  auto manager = RollLayout::layoutManagerWithImageSize(kRowSize);
  Roll r(9, manager);
  r.layout(qint64(4), qint32(0));
  const struct {
    double offset, angle, scale, opacity;
  } table[9] = {{0.285, -M_PI / 2, 0.6, 0}, {0.285, -M_PI / 2, 0.6, 0}, {0.27, -M_PI / 5, 0.7, 0.2},
                {0.15, -2 * M_PI / 25, 0.8, 0.5}, {0, 0, 1, 1},          {-0.15, 2 * M_PI / 25, 0.8, 0.5},
                {-0.27, M_PI / 5, 0.7, 0.2},      {-0.285, M_PI / 2, 0.6, 0}, {-0.285, M_PI / 2, 0.6, 0}};
  Transform3D side;
  side.m24 = -0.1 / -300;
  side.m32 = 0.1 / -300;
  side.m34 = 0.36 / -300;
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    EXPECT_DOUBLE_EQ(r.rows[i]->position().y(), 300 + table[i].offset * 100);
    EXPECT_DOUBLE_EQ(r.rows[i]->position().x(), 200);
    EXPECT_EQ(r.texts[i]->opacity(), table[i].opacity);
    if (i == 4) {
      EXPECT_TRUE(r.texts[i]->transform().isIdentity());
      EXPECT_TRUE(r.rows[i]->sublayerTransform().isIdentity());
    } else {
      EXPECT_TRUE(r.texts[i]->transform() == rowTransform(table[i].angle, table[i].scale));
      EXPECT_TRUE(r.rows[i]->sublayerTransform() == side);
    }
  }
  EXPECT_NEAR(side.m34, -0.0012, 1e-12);
  // Dimmed column: the other opacity column.
  r.layout(qint64(4), qint32(-1));
  const double dimmed[9] = {0, 0, 0.1, 0.2, 0.3, 0.2, 0.1, 0, 0};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(r.texts[i]->opacity(), dimmed[i]);
  // Past the last row: every row lies above the selection.
  r.layout(qint64(20));
  for (int i = 0; i < 9; ++i) EXPECT_DOUBLE_EQ(r.rows[i]->position().y(), 300 + 0.285 * 100);
  r.layout(qint64(10));
  EXPECT_DOUBLE_EQ(r.rows[8]->position().y(), 300 + 0.27 * 100);
  // Never set: focused, row 0 chosen.
  r.layout(QVariant(), QVariant());
  EXPECT_TRUE(r.texts[0]->transform().isIdentity());
  EXPECT_EQ(r.texts[0]->opacity(), 1.0);
}

TEST(RollLayout, ChangesAnimateOverPointTwoSeconds) {
  ManualClock clock;
  Roll r(3, RollLayout::layoutManagerWithImageSize(kRowSize));
  r.layout(0);
  Transaction::flush();
  r.layout(1);
  ASSERT_FALSE(r.rows[0]->animations().empty());
  for (const auto& a : r.rows[0]->animations()) {
    EXPECT_EQ(a.duration, 0.2);
    EXPECT_TRUE(a.timing == TimingFunction::defaultFunction());
  }
}

TEST(OXInfiniteRollLayout, ParametersAndRelabelling) {
  ManualClock clock;
  auto manager = OXInfiniteRollLayout::layoutManagerWithImageSize(kRowSize, kDelayParameters);
  EXPECT_EQ(manager->step(), 0.10000000149011612);  // read in single precision
  EXPECT_EQ(manager->positionIndex(), 0);
  Roll r(7, manager);
  r.layout(qint64(3));
  EXPECT_EQ(r.labels(), QStringList({"0", "1", "2", "3", "4", "5", "6"}));  // relabelled once the move is over
  clock.advance(0.2);
  EXPECT_EQ(r.labels(), QStringList({"0.3 s. before", "0.2 s. before", "0.1 s. before", "No delay", "0.1 s. after",
                                     "0.2 s. after", "0.3 s. after"}));
  // The zero row is exactly zero for every position from -3 to 3.
  OXInfiniteRollLayout probe(kRowSize, kDelayParameters);
  for (int target = -3; target <= 3; ++target) {
    while (probe.positionIndex() != target) {
      r.roll->setValue("selectedIndex", qint64(probe.positionIndex() < target ? 4 : 2));
      probe.layoutSublayersOfLayer(r.roll.get());
    }
    probe.reloadTexts(r.roll.get());
    EXPECT_EQ(r.texts[3 - target]->string(), "No delay") << target;
  }
}

TEST(OXInfiniteRollLayout, StepsMoveThePositionAndKeepTheSelectionInTheMiddle) {
  ManualClock clock;
  auto manager = OXInfiniteRollLayout::layoutManagerWithImageSize(kRowSize, kDelayParameters);
  Roll r(7, manager);
  for (qint64 s : {3, 0, 1, 5, 6}) {
    r.layout(s);
    EXPECT_EQ(manager->positionIndex(), 0);
    EXPECT_EQ(r.roll->value("selectedIndex").toLongLong(), 3);
  }
  r.layout(qint64(4));
  EXPECT_EQ(manager->positionIndex(), 1);
  EXPECT_EQ(r.roll->value("positionIndex").toDouble(), 1.0);
  EXPECT_EQ(r.roll->value("selectedIndex").toLongLong(), 3);
  // Rows were placed against the 4 as read: the whole roll slid up by one row.
  EXPECT_TRUE(r.texts[4]->transform().isIdentity());
  EXPECT_DOUBLE_EQ(r.rows[3]->position().y(), 300 + 0.15 * 100);
  clock.advance(0.2);
  EXPECT_EQ(r.texts[3]->string(), "0.1 s. after");
  r.layout(qint64(2));
  r.layout(qint64(2));
  EXPECT_EQ(manager->positionIndex(), -1);
  clock.advance(0.2);
  EXPECT_EQ(r.texts[3]->string(), "0.1 s. before");

  // Unfocused: the index moves, the texts stay.
  r.layout(qint64(4), qint32(-1));
  EXPECT_EQ(manager->positionIndex(), 0);
  clock.advance(1.0);
  EXPECT_EQ(r.texts[3]->string(), "0.1 s. before");

  // No rows: nothing moves.
  Roll empty(0, manager);
  empty.layout(qint64(4));
  EXPECT_EQ(manager->positionIndex(), 0);
  EXPECT_FALSE(empty.roll->value("positionIndex").isValid());
  // Fewer than seven rows: relabelled as far as they go.
  Roll three(3, OXInfiniteRollLayout::layoutManagerWithImageSize(kRowSize, kDelayParameters));
  three.layout(qint64(3));
  clock.advance(0.2);
  EXPECT_EQ(three.labels(), QStringList({"0.3 s. before", "0.2 s. before", "0.1 s. before"}));
}
