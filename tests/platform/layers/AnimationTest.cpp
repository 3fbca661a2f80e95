#include <gtest/gtest.h>

#include <memory>

#include "platform/layers/Layer.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Transaction.h"
#include "tests/support/TestUtil.h"

using namespace ox;

namespace {

class AnimationTest : public ::testing::Test {
 protected:
  ManualClock clock{100.0};
  LayerPtr presentedLayer() {
    LayerPtr l = Layer::layer();
    l->setBounds(QRectF(0, 0, 100, 50));
    Transaction::flush();  // one frame: from now on it animates
    return l;
  }
};

}  // namespace

TEST_F(AnimationTest, NewLayersTakeTheirFirstValuesWithoutAnimation) {
  LayerPtr l = Layer::layer();
  l->setOpacity(0.0);
  l->setPosition(QPointF(50, 60));
  EXPECT_FALSE(l->isPresented());
  EXPECT_TRUE(l->animations().empty());
  EXPECT_EQ(l->presentation().opacity, 0.0);
  Transaction::flush();
  EXPECT_TRUE(l->isPresented());
}

TEST_F(AnimationTest, ModelChangesAtOncePresentationFollowsTheClock) {
  LayerPtr l = presentedLayer();
  l->setOpacity(0.0);  // implicit: 0.25 s, default curve
  EXPECT_EQ(l->opacity(), 0.0);
  EXPECT_EQ(l->presentation().opacity, 1.0);
  const double t0 = clock.now();
  const double mid = l->presentation(t0 + 0.125).opacity;
  EXPECT_GT(mid, 0.0);
  EXPECT_LT(mid, 1.0);
  EXPECT_NEAR(mid, 1.0 - TimingFunction::defaultFunction().valueAt(0.5), 1e-9);
  EXPECT_EQ(l->presentation(t0 + 0.25).opacity, 0.0);
  EXPECT_TRUE(l->hasAnimationsAfter(t0));
  EXPECT_FALSE(l->hasAnimationsAfter(t0 + 0.25));

  // A new change starts from the value on screen, not from the old model value.
  clock.advance(0.1);
  const double shown = l->presentation().opacity;
  Transaction::begin();
  Transaction::setAnimationDuration(1.0);
  Transaction::setAnimationTimingFunction(TimingFunction::linear());
  l->setOpacity(1.0);
  Transaction::commit();
  EXPECT_NEAR(l->presentation().opacity, shown, 1e-12);
  EXPECT_NEAR(l->presentation(clock.now() + 0.5).opacity, shown + (1.0 - shown) * 0.5, 1e-12);
  EXPECT_EQ(l->animations().size(), 1u);  // the new animation replaced the old one
}

TEST_F(AnimationTest, EndedAnimationsAreLetGoAtTheFirstFlushAfterTheirEnd) {
  // A pass over thousands of layers leaves nothing behind once its slide is over.
  std::vector<LayerPtr> row;
  for (int i = 0; i < 100; ++i) row.push_back(presentedLayer());
  for (const auto& l : row) l->setPosition(QPointF(10, 0));
  const double t0 = clock.now();
  clock.advance(0.2);
  Transaction::flush();
  for (const auto& l : row) ASSERT_EQ(l->animations().size(), 1u);  // 0.25 s: still on its way
  EXPECT_NE(row[0]->presentation().position, QPointF(10, 0));
  clock.advance(0.05);
  Transaction::flush();
  for (const auto& l : row) EXPECT_TRUE(l->animations().empty());
  EXPECT_EQ(row[0]->presentation().position, QPointF(10, 0));
  EXPECT_EQ(row[0]->presentation(t0 + 1).position, QPointF(10, 0));
  // A layer that went meanwhile is passed over.
  row[1]->setPosition(QPointF(20, 0));
  row[1].reset();
  clock.advance(1);
  Transaction::flush();
}

TEST_F(AnimationTest, NestedTransactionsInheritAndOverride) {
  LayerPtr l = presentedLayer();
  Transaction::begin();
  Transaction::setAnimationDuration(0.2);
  Transaction::setAnimationTimingFunction(TimingFunction::easeOut());
  Transaction::begin();
  Transaction::setDisableActions(true);
  l->setZPosition(-300);  // jumps
  Transaction::commit();
  Transaction::begin();
  l->setPosition(QPointF(40, 0));  // inherits 0.2 s ease-out
  Transaction::commit();
  l->setOpacity(0.5);
  Transaction::commit();
  EXPECT_EQ(Transaction::depth(), 0);
  EXPECT_EQ(l->presentation().zPosition, -300);
  ASSERT_EQ(l->animations().size(), 2u);
  for (const auto& a : l->animations()) {
    EXPECT_DOUBLE_EQ(a.duration, 0.2);
    EXPECT_TRUE(a.timing == TimingFunction::easeOut());
  }
  // A zero duration is immediate on screen too, and clears a running animation of that property.
  Transaction::begin();
  Transaction::setAnimationDuration(0);
  l->setOpacity(0.1);
  Transaction::commit();
  EXPECT_EQ(l->presentation().opacity, 0.1);
}

TEST_F(AnimationTest, CompletionWaitsOnlyForAnimationsAddedAfterIt) {
  LayerPtr l = presentedLayer();
  LayerPtr other = presentedLayer();
  int early = 0, late = 0;

  // Block set after the change: waits for nothing, runs at the next turn, never inside commit.
  Transaction::begin();
  Transaction::setAnimationDuration(0.4);
  l->setOpacity(0.0);
  Transaction::setCompletionBlock([&] { ++early; });
  Transaction::commit();
  EXPECT_EQ(early, 0);
  EXPECT_TRUE(oxtest::spinUntil([&] { return early == 1; }, 1000));

  // Block set first: waits for the animation, including ones in nested transactions.
  Transaction::begin();
  Transaction::setAnimationDuration(0.2);
  Transaction::setCompletionBlock([&] { ++late; });
  l->setOpacity(1.0);
  Transaction::begin();
  Transaction::setAnimationDuration(0.5);
  other->setOpacity(0.0);
  Transaction::commit();
  Transaction::commit();
  oxtest::spinFor(30);
  EXPECT_EQ(late, 0);
  clock.advance(0.3);
  EXPECT_EQ(late, 0);
  clock.advance(0.25);
  EXPECT_EQ(late, 1);
  clock.advance(1.0);
  EXPECT_EQ(late, 1);  // once only
}

TEST_F(AnimationTest, ReplacedOrVanishedAnimationsReleaseTheirCompletion) {
  int done = 0;
  LayerPtr l = presentedLayer();
  Transaction::begin();
  Transaction::setAnimationDuration(10);
  Transaction::setCompletionBlock([&] { ++done; });
  l->setOpacity(0.0);
  Transaction::commit();
  clock.advance(1);
  EXPECT_EQ(done, 0);
  Transaction::begin();
  Transaction::setDisableActions(true);
  l->setOpacity(0.5);  // the 10 s animation is gone
  Transaction::commit();
  clock.advance(0);
  EXPECT_EQ(done, 1);

  int gone = 0;
  {
    LayerPtr temp = presentedLayer();
    Transaction::begin();
    Transaction::setAnimationDuration(10);
    Transaction::setCompletionBlock([&] { ++gone; });
    temp->setOpacity(0.0);
    Transaction::commit();
  }
  clock.advance(0);
  EXPECT_EQ(gone, 1);
}

TEST_F(AnimationTest, TheSameValueAgainStillHoldsACompletionForTheWholeDuration) {
  int done = 0;
  LayerPtr l = presentedLayer();
  Transaction::begin();
  Transaction::setAnimationDuration(0.4);
  Transaction::setCompletionBlock([&] { ++done; });
  l->setOpacity(1.0);  // already so
  Transaction::commit();
  clock.advance(0.3);
  EXPECT_EQ(done, 0);
  clock.advance(0.15);
  EXPECT_EQ(done, 1);
}

TEST_F(AnimationTest, ImplicitTransactionAndStrayCommit) {
  LayerPtr l = presentedLayer();
  Transaction::setDisableActions(true);  // opens the implicit transaction of this turn
  EXPECT_EQ(Transaction::depth(), 1);
  l->setOpacity(0.3);
  EXPECT_EQ(l->presentation().opacity, 0.3);
  Transaction::commit();  // no explicit begin: refused
  EXPECT_EQ(Transaction::depth(), 1);
  Transaction::flush();
  EXPECT_EQ(Transaction::depth(), 0);
  l->setOpacity(0.6);
  EXPECT_EQ(l->presentation().opacity, 0.3);  // animates again
}

TEST_F(AnimationTest, FrameReflectsTransformAndPerspective) {
  LayerPtr l = Layer::layer();
  l->setBounds(QRectF(0, 0, 100, 40));
  l->setPosition(QPointF(200, 100));
  EXPECT_EQ(l->frame(), QRectF(150, 80, 100, 40));
  l->setTransform(Transform3D::makeScale(0.85, 0.85, 0.85));
  EXPECT_NEAR(l->frame().width(), 85, 1e-9);
  EXPECT_NEAR(l->frame().center().x(), 200, 1e-9);
  l->setAnchorPoint(QPointF(0, 0));
  EXPECT_NEAR(l->frame().left(), 200, 1e-9);
  l->setFrame(QRectF(10, 20, 30, 40));
  EXPECT_EQ(l->bounds().size(), QSizeF(30, 40));
  EXPECT_EQ(l->position(), QPointF(10, 20));
}

TEST_F(AnimationTest, KeyValuesHoldNumbersTextsLayersAndRecords) {
  LayerPtr l = Layer::layer();
  LayerPtr holder = Layer::layer();
  l->setValue("selectedIndex", qint64(-1));
  l->setValue("isEnable", true);
  l->setValue("__holderLayer", QVariant::fromValue(holder));
  l->setValue("title", QStringLiteral("Night"));
  l->setValue("record", QVariant::fromValue(std::make_shared<int>(7)));
  EXPECT_EQ(l->value("selectedIndex").toLongLong(), -1);
  EXPECT_TRUE(l->value("isEnable").toBool());
  EXPECT_EQ(l->layerValue("__holderLayer"), holder);
  EXPECT_EQ(l->value("title").toString(), "Night");
  EXPECT_EQ(*l->value("record").value<std::shared_ptr<int>>(), 7);
  EXPECT_FALSE(l->value("absent").isValid());
  EXPECT_EQ(l->layerValue("title"), nullptr);
  l->setValue("title", QVariant());
  EXPECT_FALSE(l->value("title").isValid());
}

TEST_F(AnimationTest, TreeKeepsOrderAndRefusesCycles) {
  LayerPtr root = Layer::layer(), a = Layer::layer(), b = Layer::layer();
  root->addSublayer(a);
  root->insertSublayer(b, 0);
  ASSERT_EQ(root->sublayers().size(), 2u);
  EXPECT_EQ(root->sublayers()[0], b);
  a->addSublayer(root);  // would be a cycle
  EXPECT_TRUE(a->sublayers().empty());
  b->addSublayer(a);  // moves
  EXPECT_EQ(root->sublayers().size(), 1u);
  EXPECT_EQ(a->superlayer(), b);
  a->removeFromSuperlayer();
  EXPECT_EQ(a->superlayer(), nullptr);
  EXPECT_TRUE(b->sublayers().empty());
}
