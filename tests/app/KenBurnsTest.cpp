#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "app/CALayer_Transitions.h"
#include "app/OXKenBurnsLayer.h"
#include "core/OXPreferencesValues.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/Transaction.h"
#include "tests/support/TestUtil.h"

using namespace ox;

namespace {

QImage solid(const QColor& c, int w = 1920, int h = 1080) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(c);
  return img;
}

class KenBurnsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(QRectF(0, 0, 1920, 1080).toRect());
    root->setAnchorPoint(QPointF(0, 0));
    root->setBounds(QRectF(0, 0, 1920, 1080));
    root->setBackgroundColor(Qt::black);
    root->setLayoutManager(ConstraintLayoutManager::layoutManager());
    kb = OXKenBurnsLayer::layer();
    kb->setRandomSource([this] { return nextRandom; });
    root->addSublayer(kb);
    Transaction::flush();
  }
  void TearDown() override { OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(std::nullopt); }

  ManualClock clock{20.0};
  LayerPtr root = Layer::layer();
  std::shared_ptr<OXKenBurnsLayer> kb;
  int nextRandom = 0;  // case 1
  const double d = 0.07649999856948853 * 1080;
};

}  // namespace

TEST_F(KenBurnsTest, BuildsTwoCentredFullScreenPictureLayers) {
  EXPECT_EQ(kb->frame(), QRectF(0, 0, 1920, 1080));
  EXPECT_EQ(kb->sublayers().size(), 2u);
  EXPECT_EQ(kb->sublayers()[0], kb->backdropHomeA());
  EXPECT_EQ(kb->backdropHomeA()->name(), "backdrop_A");
  EXPECT_EQ(kb->backdropHomeB()->name(), "backdrop_B");
  EXPECT_EQ(kb->backdropHomeA()->zPosition(), 5);
  EXPECT_EQ(kb->backdropHomeB()->zPosition(), 4);
  EXPECT_EQ(kb->backdropHomeA()->opacity(), 1);
  EXPECT_EQ(kb->backdropHomeB()->opacity(), 0);
  EXPECT_EQ(kb->backdropHomeA()->contentsGravity(), Gravity::ResizeAspectFill);
  // Centred, and larger than the screen by what the downward pan would otherwise bare at the top.
  const QRectF b = kb->backdropHomeB()->frame();
  EXPECT_EQ(b.center(), QPointF(960, 540));
  EXPECT_NEAR(b.height(), 1080 * (1 / 1.1699999570846558 + 2 * 0.07649999856948853), 1e-6);
  EXPECT_NEAR(b.width() / b.height(), 1920.0 / 1080, 1e-12);
  EXPECT_FALSE(kb->backActiveA());
}

TEST_F(KenBurnsTest, RandomCasesPassThroughSinglePrecision) {
  EXPECT_EQ(OXKenBurnsLayer::caseForRandomValue(0), 1);
  EXPECT_EQ(OXKenBurnsLayer::caseForRandomValue(6), 7);
  EXPECT_EQ(OXKenBurnsLayer::caseForRandomValue(7), 1);
  // 16777217 is 16777216 in single precision: 1 + 16777216 mod 7 = 2, not 3.
  EXPECT_EQ(OXKenBurnsLayer::caseForRandomValue(16777217), 2);
  // RAND_MAX rounds up to 2^31 and truncates to the most negative integer: remainder -2, case -1.
  EXPECT_EQ(OXKenBurnsLayer::caseForRandomValue(2147483647), -1);
  EXPECT_EQ(OXKenBurnsLayer::caseForRandomValue(2147483584), -1);  // the first value that rounds up
  EXPECT_EQ(OXKenBurnsLayer::caseForRandomValue(2147483583), 1 + 2147483520 % 7);
  EXPECT_EQ(OXKenBurnsLayer::caseForRandomValue(2147483455), 1 + 2147483392 % 7);
  // Case -1 runs as case 1: a 16 s ease-out move to the zoom panned (0, -d) from where the layer is.
  nextRandom = 2147483647;
  kb->nextWithImage(solid(Qt::red));
  const LayerPtr a = kb->backdropHomeA();
  EXPECT_TRUE(a->transform() == OXKenBurnsLayer::zoomWithPan(0, -d));
  ASSERT_FALSE(a->animations().empty());
  for (const auto& anim : a->animations())
    if (anim.key == LayerKey::Transform) {
      EXPECT_EQ(anim.duration, 16.0);
      EXPECT_TRUE(anim.timing == TimingFunction::easeOut());
    }
}

TEST_F(KenBurnsTest, FirstPictureGoesToAAndTheSecondFadesInOnB) {
  kb->nextWithImage(solid(Qt::red));
  EXPECT_TRUE(kb->backActiveA());
  EXPECT_FALSE(kb->backdropHomeA()->contents().isNull());
  EXPECT_TRUE(kb->backdropHomeB()->contents().isNull());
  EXPECT_EQ(kb->backdropHomeB()->opacity(), 0);
  EXPECT_EQ(kb->backdropHomeA()->presentation().opacity, 1);  // already opaque: no visible fade

  const double t0 = clock.now();
  kb->nextWithImage(solid(Qt::blue));
  EXPECT_FALSE(kb->backActiveA());
  EXPECT_EQ(kb->backdropHomeB()->contents().pixelColor(0, 0), QColor(Qt::blue));
  EXPECT_EQ(kb->backdropHomeB()->opacity(), 1);
  EXPECT_EQ(kb->backdropHomeA()->opacity(), 0);
  EXPECT_EQ(kb->backdropHomeB()->presentation(t0).opacity, 0);
  EXPECT_GT(kb->backdropHomeA()->presentation(t0 + 1.0).opacity, 0);
  EXPECT_EQ(kb->backdropHomeB()->presentation(t0 + 2.0).opacity, 1);
  EXPECT_EQ(kb->backdropHomeA()->presentation(t0 + 2.0).opacity, 0);
  // The outgoing picture keeps moving while it fades: its 16 s motion is not cancelled.
  EXPECT_TRUE(kb->backdropHomeA()->hasAnimationsAfter(t0 + 10));

  // A null picture: the incoming layer is emptied while the old one fades out.
  kb->nextWithImage(QImage());
  EXPECT_TRUE(kb->backActiveA());
  EXPECT_TRUE(kb->backdropHomeA()->contents().isNull());
  EXPECT_EQ(kb->backdropHomeB()->opacity(), 0);
}

TEST_F(KenBurnsTest, CaseTwoJumpsThenReturnsToIdentityAfterOneSecond) {
  kb->nextWithImage(solid(Qt::red));
  const LayerPtr a = kb->backdropHomeA();
  Transaction::flush();
  kb->kenburns(2);
  EXPECT_TRUE(a->transform() == OXKenBurnsLayer::zoomWithPan(0, -d));
  EXPECT_DOUBLE_EQ(a->animations().back().duration, 0.25);  // implicit animation of the jump
  clock.advance(1.0);
  QElapsedTimer waited;
  waited.start();
  ASSERT_TRUE(oxtest::spinUntil([&] { return a->transform().isIdentity(); }, 3000));
  EXPECT_GE(waited.elapsed(), 900);
  const double t = clock.now();
  EXPECT_TRUE(a->presentation(t + 16).transform.isIdentity());
  EXPECT_GT(a->presentation(t + 8).transform.m11, 1.0);
}

TEST_F(KenBurnsTest, CasesThreeAndFourPanAcrossInOppositeDirections) {
  kb->nextWithImage(solid(Qt::red));
  const LayerPtr a = kb->backdropHomeA();
  kb->kenburns(3);
  const Transform3D start3 = a->transform();
  EXPECT_TRUE(start3 == OXKenBurnsLayer::zoomWithPan(d, -d));
  ASSERT_TRUE(oxtest::spinUntil([&] { return !(a->transform() == start3); }, 3000));
  const Transform3D end3 = a->transform();
  EXPECT_TRUE(end3 == OXKenBurnsLayer::zoomWithPan(-d, -d));
  EXPECT_NEAR(start3.m41 - end3.m41, 2 * d * 1.1699999570846558, 1e-9);
  EXPECT_EQ(start3.m42, end3.m42);

  kb->kenburns(4);
  const Transform3D start4 = a->transform();
  EXPECT_TRUE(start4 == OXKenBurnsLayer::zoomWithPan(-d, -d));
  ASSERT_TRUE(oxtest::spinUntil([&] { return !(a->transform() == start4); }, 3000));
  EXPECT_TRUE(a->transform() == OXKenBurnsLayer::zoomWithPan(d, -d));

  // Cases 6 and 7 start the same moves at once, from the present transform.
  kb->kenburns(6);
  EXPECT_TRUE(a->transform() == OXKenBurnsLayer::zoomWithPan(-d, -d));
  EXPECT_EQ(a->animations().back().duration, 16.0);
  kb->kenburns(7);
  EXPECT_TRUE(a->transform() == OXKenBurnsLayer::zoomWithPan(d, -d));
  kb->kenburns(5);
  EXPECT_TRUE(a->transform() == OXKenBurnsLayer::zoomWithPan(-d, -d));
}

TEST_F(KenBurnsTest, RenderedCrossFadeAtOneSecond) {
  kb->nextWithImage(solid(Qt::red));
  Transaction::flush();
  const double t0 = clock.now();
  kb->nextWithImage(solid(Qt::blue));
  Renderer renderer;
  const QImage frame = renderer.renderToImage(root, QSize(1920, 1080), t0 + 1.0);
  // A (red, above) fades 1 -> 0 and B (blue) 0 -> 1 on the default curve, each at v = curve(0.5).
  const double v = TimingFunction::defaultFunction().valueAt(0.5);
  const QColor c = frame.pixelColor(960, 540);
  EXPECT_NEAR(c.red(), 255 * (1 - v), 2);
  EXPECT_NEAR(c.blue(), 255 * v * v, 2);
  // Both pictures are zoomed beyond the screen: no black shows at the corners.
  EXPECT_GT(frame.pixelColor(2, 2).red() + frame.pixelColor(2, 2).blue(), 100);
  EXPECT_TRUE(renderer.animating());
}

TEST_F(KenBurnsTest, FullyPannedPicturesStillReachEveryEdgeOfTheScreen) {
  kb->nextWithImage(solid(Qt::red));
  Transaction::flush();
  Renderer renderer;
  // Cases 1, 6 and 7 end on the three downward pans; a screen-sized picture left the top rows black there.
  for (const quint64 c : {1, 6, 7}) {
    const double t0 = clock.now();
    kb->kenburns(c);
    const QImage frame = renderer.renderToImage(root, QSize(1920, 1080), t0 + 16);
    for (const QPoint p : {QPoint(0, 0), QPoint(960, 0), QPoint(1919, 0), QPoint(0, 540), QPoint(1919, 540),
                           QPoint(0, 1079), QPoint(960, 1079), QPoint(1919, 1079)})
      EXPECT_EQ(frame.pixelColor(p).name().toStdString(), "#ff0000") << "case " << c << " at " << p.x() << "," << p.y();
    clock.advance(16);
  }
}

TEST(LayerTransitions, FadeWithBlockRunsTheBlockTimePlusPointTwoLater) {
  LayerPtr l = Layer::layer();
  Transaction::flush();
  QElapsedTimer timer;
  qint64 ranAt = -1;
  timer.start();
  // The fade starts somewhere inside the call, which a busy machine may stretch.
  const double before = LayerClock::now();
  setAnimationToOpacity(l, 0.0f, 0.4f, [&] { ranAt = timer.elapsed(); });
  const double after = LayerClock::now();
  EXPECT_EQ(l->opacity(), 0.0);
  EXPECT_GT(l->presentation(before + 0.2).opacity, 0.0);
  EXPECT_NEAR(l->presentation(after + 0.4).opacity, 0.0, 1e-6);  // transparent 0.4 s after the call
  ASSERT_TRUE(oxtest::spinUntil([&] { return ranAt >= 0; }, 3000));
  EXPECT_GE(ranAt, 590);
  EXPECT_LE(ranAt, 1500);  // generous: the machine may be busy
}

TEST(LayerTransitions, ZeroTimeAndOverlappingFades) {
  LayerPtr l = Layer::layer();
  Transaction::flush();
  QElapsedTimer timer;
  timer.start();
  qint64 zeroAt = -1, slowAt = -1, fastAt = -1;
  setAnimationToOpacity(l, 0.5f, 0.0f, [&] { zeroAt = timer.elapsed(); });
  EXPECT_EQ(l->presentation().opacity, 0.5);  // no visible animation
  setAnimationToOpacity(l, 0.0f, 0.5f, [&] { slowAt = timer.elapsed(); });
  setAnimationToOpacity(l, 1.0f, 0.1f, [&] { fastAt = timer.elapsed(); });  // does not cancel the slow block
  setAnimationToOpacity(l, 1.0f, 0.1f);
  ASSERT_TRUE(oxtest::spinUntil([&] { return slowAt >= 0; }, 3000));
  EXPECT_GE(zeroAt, 190);
  EXPECT_LE(zeroAt, 1000);
  EXPECT_GE(fastAt, 290);
  EXPECT_LT(fastAt, slowAt);
  EXPECT_GE(slowAt, 690);
  setAnimationToOpacity(nullptr, 1.0f, 0.1f, [] {});  // no layer: nothing happens
}
