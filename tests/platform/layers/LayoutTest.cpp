#include <gtest/gtest.h>

#include "platform/layers/Layer.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"
#include "tests/support/TestUtil.h"

using namespace ox;
using A = ConstraintAttribute;

namespace {

LayerPtr sized(double w, double h, const QString& name = {}) {
  LayerPtr l = Layer::layer();
  l->setBounds(QRectF(0, 0, w, h));
  l->setName(name);
  return l;
}

struct CountingManager : LayoutManager {
  int passes = 0;
  Layer* mark = nullptr;  // a sublayer the pass asks to lay out
  void layoutSublayersOfLayer(Layer* layer) override {
    ++passes;
    if (layer->sublayers().size() < 100)
      for (const auto& s : layer->sublayers()) s->setPosition(QPointF(passes, 0));
    if (mark) mark->setNeedsLayout();
  }
};

}  // namespace

TEST(ConstraintLayout, PlacesAgainstSuperlayerAndNamedSiblings) {
  ManualClock clock;
  LayerPtr root = sized(1920, 1080);
  root->setLayoutManager(ConstraintLayoutManager::layoutManager());

  // Centred, as the full-screen layers are.
  LayerPtr centred = sized(400, 300);
  centred->addConstraint(Constraint(A::MidX, "superlayer", A::MidX));
  centred->addConstraint(Constraint(A::MidY, "superlayer", A::MidY));
  // Top-left corner with offsets (y up: the top is maxY).
  LayerPtr clock2 = sized(120, 40, "time_otherlayer");
  clock2->addConstraint(Constraint(A::MinX, "superlayer", A::MinX, 1.0, 44));
  clock2->addConstraint(Constraint(A::MaxY, "superlayer", A::MaxY, 1.0, -26));
  // Relative to a sibling by name, declared before the sibling itself.
  LayerPtr follower = sized(50, 10);
  follower->addConstraint(Constraint(A::MinX, "time_otherlayer", A::MaxX, 1.0, 34));
  follower->addConstraint(Constraint(A::MidY, "time_otherlayer", A::MidY, 1.0, 0.014 * 1080));
  // Two edges set the size; scale applies to the source attribute.
  LayerPtr stretched = sized(1, 1);
  stretched->addConstraint(Constraint(A::MinX, "superlayer", A::MinX, 1.0, 10));
  stretched->addConstraint(Constraint(A::MaxX, "superlayer", A::MaxX, 1.0, -10));
  stretched->addConstraint(Constraint(A::Height, "superlayer", A::Height, 0.5));
  stretched->addConstraint(Constraint(A::MinY, "superlayer", A::MinY, 1.0, 0.374 * 1080));
  // Unknown source: ignored.
  LayerPtr stray = sized(20, 20);
  stray->setPosition(QPointF(5, 5));
  stray->addConstraint(Constraint(A::MinX, "nobody", A::MinX));

  root->addSublayer(follower);
  root->addSublayer(centred);
  root->addSublayer(clock2);
  root->addSublayer(stretched);
  root->addSublayer(stray);
  Transaction::flush();

  EXPECT_EQ(centred->frame(), QRectF(760, 390, 400, 300));
  EXPECT_EQ(clock2->frame(), QRectF(44, 1080 - 26 - 40, 120, 40));
  EXPECT_DOUBLE_EQ(follower->frame().left(), 44 + 120 + 34);
  EXPECT_NEAR(follower->frame().center().y(), clock2->frame().center().y() + 15.12, 1e-9);
  EXPECT_EQ(stretched->frame(), QRectF(10, 0.374 * 1080, 1900, 540));
  EXPECT_EQ(stray->position(), QPointF(5, 5));
  // Freshly built: nothing animated into place.
  EXPECT_TRUE(centred->animations().empty());
}

TEST(ConstraintLayout, DuplicateNamesUseTheFirstAndTransformsApplyAboutTheAnchor) {
  ManualClock clock;
  LayerPtr root = sized(1000, 1000);
  root->setLayoutManager(ConstraintLayoutManager::layoutManager());
  LayerPtr first = sized(100, 100, "twin");
  first->setPosition(QPointF(100, 100));
  LayerPtr second = sized(100, 100, "twin");
  second->setPosition(QPointF(800, 800));
  LayerPtr follower = sized(10, 10);
  follower->addConstraint(Constraint(A::MinX, "twin", A::MaxX));
  LayerPtr zoomed = sized(1000, 1000);
  zoomed->setTransform(Transform3D::makeScale(1.17, 1.17, 1.17));
  zoomed->addConstraint(Constraint(A::MidX, "superlayer", A::MidX));
  zoomed->addConstraint(Constraint(A::MidY, "superlayer", A::MidY));
  for (auto l : {first, second, follower, zoomed}) root->addSublayer(l);
  Transaction::flush();
  EXPECT_DOUBLE_EQ(follower->frame().left(), 150);
  // A zoomed layer keeps its bounds and stays centred; laying out again changes nothing.
  EXPECT_EQ(zoomed->bounds().size(), QSizeF(1000, 1000));
  EXPECT_EQ(zoomed->position(), QPointF(500, 500));
  root->setNeedsLayout();
  Transaction::flush();
  EXPECT_EQ(zoomed->bounds().size(), QSizeF(1000, 1000));
}

TEST(ConstraintLayout, CustomManagersRunOnNeedsLayoutOnceAndBeforeDrawing) {
  ManualClock clock;
  auto manager = std::make_shared<CountingManager>();
  LayerPtr root = sized(100, 100);
  LayerPtr child = sized(10, 10);
  root->addSublayer(child);
  root->setLayoutManager(manager);
  Transaction::flush();
  EXPECT_EQ(manager->passes, 1);
  Transaction::flush();
  EXPECT_EQ(manager->passes, 1);  // nothing asked for layout
  root->setNeedsLayout();
  root->setNeedsLayout();
  EXPECT_TRUE(root->needsLayout());
  // The pass also runs on its own at the next turn of the event loop.
  EXPECT_TRUE(oxtest::spinUntil([&] { return manager->passes == 2; }, 1000));
  EXPECT_FALSE(root->needsLayout());
  // A marked layer deep in a tree is laid out from the root's pass.
  LayerPtr top = sized(10, 10);
  top->addSublayer(root);
  Transaction::flush();
  root->setNeedsLayout();
  top->layoutIfNeeded();
  EXPECT_EQ(manager->passes, 3);
  // Layout changes of a presented layer animate like any other change.
  EXPECT_FALSE(child->animations().empty());
}

TEST(ConstraintLayout, AmongThousandsOfSublayersTheFewThatAskAreLaidOut) {
  ManualClock clock;
  auto outer = std::make_shared<CountingManager>();
  LayerPtr row = sized(100, 100);
  row->setLayoutManager(outer);
  std::vector<std::shared_ptr<CountingManager>> inner;
  for (int i = 0; i < 2000; ++i) {
    LayerPtr item = sized(10, 10);
    inner.push_back(std::make_shared<CountingManager>());
    item->setLayoutManager(inner.back());
    LayerPtr part = sized(5, 5);
    part->setLayoutManager(std::make_shared<CountingManager>());
    item->addSublayer(part);
    row->addSublayer(item);
  }
  Transaction::flush();
  for (const auto& m : inner) ASSERT_EQ(m->passes, 1);
  // One item deep in the row asks, by a layer of its own; another is handed a new part.
  row->sublayers()[1500]->sublayers().front()->setNeedsLayout();
  row->sublayers()[7]->addSublayer(sized(3, 3));
  Transaction::flush();
  EXPECT_EQ(inner[1500]->passes, 1);
  EXPECT_EQ(inner[7]->passes, 2);
  EXPECT_EQ(inner[8]->passes, 1);
  EXPECT_EQ(outer->passes, 1);
  // The row's own pass marks an item: it is laid out in the same flush.
  outer->mark = row->sublayers()[1999].get();
  row->setNeedsLayout();
  Transaction::flush();
  EXPECT_EQ(outer->passes, 2);
  EXPECT_EQ(inner[1999]->passes, 2);
  EXPECT_FALSE(row->sublayers()[1999]->needsLayout());
}
