// Trees off the canvas are passed over: what is drawn must not change, whatever carries a layer into view.
#include <gtest/gtest.h>

#include <QPainter>

#include "platform/layers/Layer.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/ReplicatorLayer.h"
#include "platform/layers/Transaction.h"

using namespace ox;

namespace {

LayerPtr box(const QRectF& frame, const QColor& color = QColor()) {
  LayerPtr l = Layer::layer();
  l->setFrame(frame);
  if (color.isValid()) l->setBackgroundColor(color);
  return l;
}

QColor at(const QImage& img, int x, int yUp) { return img.pixelColor(x, img.height() - 1 - yUp); }

class RendererCullingTest : public ::testing::Test {
 protected:
  ManualClock clock{50.0};
  Renderer renderer;
  LayerPtr root = box(QRectF(0, 0, 200, 100), Qt::black);
  QImage draw(double t) { return renderer.renderToImage(root, QSize(200, 100), t); }
  QImage draw() { return draw(clock.now()); }
  // A change without animation, as a layout or a test sets up a scene.
  static void now(const std::function<void()>& change) {
    Transaction::begin();
    Transaction::setDisableActions(true);
    change();
    Transaction::commit();
  }
};

}  // namespace

TEST_F(RendererCullingTest, ThousandsOffCanvasCostNothingAndWhatIsCarriedIntoViewStillDraws) {
  LayerPtr far = box(QRectF(0, 0, 0, 0));
  for (int i = 0; i < 3000; ++i) far->addSublayer(box(QRectF(300 + i * 12, 40, 10, 10), Qt::blue));
  root->addSublayer(far);
  // Bounds off the canvas, a sublayer on it.
  LayerPtr parent = box(QRectF(-500, 0, 10, 10), Qt::red);
  parent->addSublayer(box(QRectF(510, 5, 20, 20), Qt::green));
  root->addSublayer(parent);
  // A replicator off the canvas whose second instance lands on it.
  auto rep = ReplicatorLayer::layer();
  rep->setFrame(QRectF(-300, 60, 20, 20));
  rep->setInstanceCount(2);
  rep->setInstanceTransform(Transform3D::makeTranslation(360, 0, 0));
  rep->addSublayer(box(QRectF(0, 0, 20, 20), Qt::yellow));
  root->addSublayer(rep);
  // A card off the canvas to the right, turned towards the viewer under perspective: its near edge comes in.
  LayerPtr stage = box(QRectF(0, 0, 200, 100));
  Transform3D p;
  p.m34 = -1.0 / 150;
  stage->setSublayerTransform(p);
  LayerPtr card = Layer::layer();
  card->setAnchorPoint(QPointF(0, 0.5));
  card->setFrame(QRectF(205, 20, 100, 60));
  card->setBackgroundColor(Qt::white);
  card->setTransform(Transform3D::makeRotation(1.2, 0, 1, 0));  // the far edge swings away, towards the middle
  stage->addSublayer(card);
  root->addSublayer(stage);

  const QImage img = draw();
  EXPECT_EQ(at(img, 20, 15), QColor(Qt::green));
  EXPECT_EQ(at(img, 70, 70), QColor(Qt::yellow));
  int white = 0;
  for (int x = 150; x < 200; ++x) white += at(img, x, 50) == QColor(Qt::white);
  EXPECT_GT(white, 5);
  EXPECT_GE(renderer.lastStats().culled, 3000);
  EXPECT_LT(renderer.lastStats().visited, 20);
  // The same picture as with nothing off the canvas at all.
  far->removeFromSuperlayer();
  EXPECT_EQ(draw(), img);
}

TEST_F(RendererCullingTest, ChangesToTreesOffTheCanvasShowAtTheNextFrame) {
  LayerPtr parent = box(QRectF(-100, 0, 10, 10));
  LayerPtr child = box(QRectF(0, 0, 10, 10), Qt::green);
  parent->addSublayer(child);
  root->addSublayer(parent);
  EXPECT_EQ(at(draw(), 15, 5), QColor(Qt::black));
  now([&] { child->setPosition(QPointF(120, 5)); });  // into view through its sublayer
  EXPECT_EQ(at(draw(), 15, 5), QColor(Qt::green));
  LayerPtr late = box(QRectF(140, 40, 10, 10), Qt::red);
  parent->addSublayer(late);
  EXPECT_EQ(at(draw(), 45, 45), QColor(Qt::red));
  now([&] { parent->setMasksToBounds(true); });  // its sublayers now end at its bounds, off the canvas
  EXPECT_EQ(at(draw(), 45, 45), QColor(Qt::black));
  now([&] { parent->setSublayerTransform(Transform3D::makeTranslation(50, 0, 0)); });
  EXPECT_EQ(at(draw(), 95, 45), QColor(Qt::black));
  now([&] { parent->setMasksToBounds(false); });
  EXPECT_EQ(at(draw(), 95, 45), QColor(Qt::red));
  late->removeFromSuperlayer();
  EXPECT_EQ(at(draw(), 95, 45), QColor(Qt::black));
}

TEST_F(RendererCullingTest, TreesMovingIntoViewAreDrawnAllTheWayAndTheirAnimationsComplete) {
  LayerPtr turn = box(QRectF(150, 40, 20, 20), Qt::red);      // carried in by its transform
  LayerPtr slide = box(QRectF(-300, 40, 20, 20), Qt::green);  // slides in from far left
  turn->setTransform(Transform3D::makeTranslation(0, 400, 0));
  root->addSublayer(turn);
  root->addSublayer(slide);
  Transaction::flush();
  int done = 0;
  const auto animate = [&](double seconds, const std::function<void()>& change) {
    Transaction::begin();
    Transaction::setAnimationDuration(seconds);
    Transaction::setAnimationTimingFunction(TimingFunction::linear());
    Transaction::setCompletionBlock([&] { ++done; });
    change();
    Transaction::commit();
  };
  double t0 = clock.now();
  animate(1.0, [&] { turn->setTransform(Transform3D()); });
  EXPECT_EQ(at(draw(t0), 160, 50), QColor(Qt::black));
  EXPECT_TRUE(renderer.animating());  // nothing drawn moves, but what is passed over will come into view
  EXPECT_EQ(at(draw(t0 + 0.9), 160, 50), QColor(Qt::black));  // 40 points too high
  EXPECT_EQ(at(draw(t0 + 1.0), 160, 50), QColor(Qt::red));
  clock.advance(1.0);
  EXPECT_EQ(done, 1);

  t0 = clock.now();
  animate(1.0, [&] { slide->setPosition(QPointF(60, 50)); });  // from x = -290
  EXPECT_EQ(at(draw(t0), 10, 50), QColor(Qt::black));
  EXPECT_EQ(at(draw(t0 + 0.9), 20, 50), QColor(Qt::green));  // at x = 25
  EXPECT_EQ(at(draw(t0 + 1.0), 60, 50), QColor(Qt::green));
  clock.advance(1.0);
  EXPECT_EQ(done, 2);

  // Swept from where it starts: on the canvas at first, off it at the end.
  t0 = clock.now();
  animate(0.5, [&] { slide->setPosition(QPointF(-300, 50)); });
  EXPECT_EQ(at(draw(t0), 60, 50), QColor(Qt::green));
  draw(t0 + 0.5);
  EXPECT_EQ(renderer.lastStats().culled, 1);
  clock.advance(0.5);
  EXPECT_EQ(done, 3);

  // The animation of a tree that is never drawn still ends.
  t0 = clock.now();
  animate(0.5, [&] { slide->setPosition(QPointF(-400, 50)); });
  draw(t0 + 0.25);
  EXPECT_EQ(renderer.lastStats().culled, 1);
  EXPECT_EQ(done, 3);
  clock.advance(0.5);
  EXPECT_EQ(done, 4);
}

TEST_F(RendererCullingTest, DepthSlidesUnderAnEyeOffTheCanvas) {
  // The stage's middle, where the eye looks from, lies far right: what goes deep heads there, off the canvas.
  LayerPtr stage = box(QRectF(0, 0, 2000, 100));
  Transform3D p;
  p.m34 = -1.0 / 150;
  stage->setSublayerTransform(p);
  LayerPtr card = box(QRectF(20, 40, 20, 20), Qt::green);
  card->setZPosition(-600);
  stage->addSublayer(card);
  root->addSublayer(stage);
  Transaction::flush();
  const double t0 = clock.now();
  Transaction::begin();
  Transaction::setAnimationDuration(1.0);
  Transaction::setAnimationTimingFunction(TimingFunction::linear());
  card->setZPosition(0);
  Transaction::commit();
  EXPECT_EQ(at(draw(t0), 30, 50), QColor(Qt::black));
  EXPECT_EQ(at(draw(t0 + 0.99), 67, 50), QColor(Qt::green));  // 6 points deep: x from 58 to 77
  EXPECT_EQ(at(draw(t0 + 1.0), 30, 50), QColor(Qt::green));
}

TEST_F(RendererCullingTest, PicturesCopiedToWholePixelsMatchQtsOwnDrawing) {
  QImage pic(33, 21, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 33; ++x) pic.setPixelColor(x, y, QColor(x * 7, y * 12, 200, 100 + 4 * x));
  root->setBackgroundColor(Qt::transparent);
  LayerPtr plain = box(QRectF(0, 0, 33, 21));
  plain->setContents(pic);
  LayerPtr stretched = box(QRectF(0, 0, 50, 40));  // copied from a cached warp once it holds still
  stretched->setContents(pic);
  root->addSublayer(plain);
  root->addSublayer(stretched);
  for (const QPointF& place : {QPointF(10.3, 20.6), QPointF(10.5, 20.5), QPointF(-3.5, 7.49)}) {
    now([&] {
      plain->setFrame(QRectF(place, QSizeF(33, 21)));
      stretched->setFrame(QRectF(place + QPointF(100, 30), QSizeF(50, 40)));
    });
    QImage expected(90, 100, QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    QPainter p(&expected);
    p.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::Antialiasing);
    p.setTransform(QTransform::fromTranslate(place.x(), 100 - 21 - place.y()));
    p.drawImage(QRectF(0, 0, 33, 21), pic);
    p.end();
    const QImage direct = draw();
    EXPECT_EQ(direct.copy(0, 0, 90, 100), expected);
    EXPECT_EQ(draw(), direct);
    EXPECT_EQ(renderer.lastStats().cacheMisses, 1);  // the stretched picture's warp
  }
}
