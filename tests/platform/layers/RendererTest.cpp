#include <gtest/gtest.h>

#include <QPainter>

#include "platform/layers/Layer.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/ReplicatorLayer.h"
#include "platform/layers/Transaction.h"

using namespace ox;

namespace {

LayerPtr box(const QRectF& frame, const QColor& color) {
  LayerPtr l = Layer::layer();
  l->setFrame(frame);
  if (color.isValid()) l->setBackgroundColor(color);
  return l;
}

// A layer whose sublayers are seen in perspective, from `eye` points in front of its middle.
LayerPtr perspectiveStage(const QRectF& frame, double eye) {
  LayerPtr stage = box(frame, QColor());
  Transform3D p;
  p.m34 = -1.0 / eye;
  stage->setSublayerTransform(p);
  return stage;
}

// An 80 x 60 picture of one colour.
QImage filled(const QColor& c) {
  QImage pic(80, 60, QImage::Format_RGB32);
  pic.fill(c);
  return pic;
}

QColor at(const QImage& img, int x, int yUp) { return img.pixelColor(x, img.height() - 1 - yUp); }

bool near(const QColor& a, const QColor& b, int tol = 3) {
  return std::abs(a.red() - b.red()) <= tol && std::abs(a.green() - b.green()) <= tol &&
         std::abs(a.blue() - b.blue()) <= tol && std::abs(a.alpha() - b.alpha()) <= tol;
}

// Height of the run of pixels of roughly `c` in column x.
int columnRun(const QImage& img, int x, const QColor& c) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    if (near(img.pixelColor(x, y), c, 40)) ++n;
  return n;
}

class RendererTest : public ::testing::Test {
 protected:
  ManualClock clock{50.0};
  Renderer renderer;
  LayerPtr root = box(QRectF(0, 0, 200, 100), Qt::black);
  QImage draw(double t) { return renderer.renderToImage(root, QSize(200, 100), t); }
  QImage draw() { return draw(clock.now()); }
  // A card showing `picture` in the middle of a stage seen in perspective.
  LayerPtr cardOnStage(const QImage& picture) {
    LayerPtr stage = perspectiveStage(QRectF(0, 0, 200, 100), 300);
    LayerPtr card = box(QRectF(60, 20, 80, 60), QColor());
    card->setContents(picture);
    stage->addSublayer(card);
    root->addSublayer(stage);
    return card;
  }
  // A change without animation, as a layout or a test sets up a scene.
  static void now(const std::function<void()>& change) {
    Transaction::begin();
    Transaction::setDisableActions(true);
    change();
    Transaction::commit();
  }
  // A change animated at an even pace from now.
  static void animate(double seconds, const std::function<void()>& change, std::function<void()> done = {}) {
    Transaction::begin();
    Transaction::setAnimationDuration(seconds);
    Transaction::setAnimationTimingFunction(TimingFunction::linear());
    if (done) Transaction::setCompletionBlock(std::move(done));
    change();
    Transaction::commit();
  }
};

}  // namespace

TEST_F(RendererTest, OriginIsBottomLeftAndZPositionOrdersSiblings) {
  LayerPtr red = box(QRectF(10, 10, 20, 20), Qt::red);
  LayerPtr top = box(QRectF(20, 20, 20, 20), Qt::green);
  top->setZPosition(1);
  root->addSublayer(top);
  root->addSublayer(red);  // added later, but lower in z
  const QImage img = draw();
  EXPECT_TRUE(near(at(img, 15, 15), Qt::red));
  EXPECT_TRUE(near(at(img, 25, 25), Qt::green));
  EXPECT_TRUE(near(at(img, 15, 85), Qt::black));
  // Equal z keeps sublayer order.
  top->setZPosition(0);  // animates: look after it has settled
  EXPECT_TRUE(near(at(draw(clock.now() + 1), 25, 25), Qt::red));
}

TEST_F(RendererTest, HiddenTransparentAndOffCanvasLayersAreSkipped) {
  LayerPtr hidden = box(QRectF(0, 0, 50, 50), Qt::red);
  hidden->setHidden(true);
  LayerPtr clear = box(QRectF(50, 0, 50, 50), Qt::red);
  clear->setOpacity(0);
  LayerPtr half = box(QRectF(100, 0, 50, 50), Qt::white);
  half->setOpacity(0.5);
  root->addSublayer(hidden);
  root->addSublayer(clear);
  root->addSublayer(half);
  for (int i = 0; i < 100; ++i) root->addSublayer(box(QRectF(5000 + i * 10, 0, 10, 10), Qt::blue));
  const QImage img = draw();
  EXPECT_TRUE(near(at(img, 25, 25), Qt::black));
  EXPECT_TRUE(near(at(img, 75, 25), Qt::black));
  EXPECT_TRUE(near(at(img, 125, 25), QColor(128, 128, 128), 2));
  EXPECT_EQ(renderer.lastStats().culled, 100);
  EXPECT_EQ(renderer.lastStats().drawn, 2);  // root and the half-transparent box
}

TEST_F(RendererTest, BoundsMaskingWithCornerRadiusAndMaskLayers) {
  LayerPtr clip = box(QRectF(0, 0, 100, 100), QColor());
  clip->setCornerRadius(20);
  clip->setMasksToBounds(true);
  clip->addSublayer(box(QRectF(-50, -50, 300, 300), Qt::red));
  root->setBackgroundColor(QColor());
  root->addSublayer(clip);

  LayerPtr masked = box(QRectF(110, 0, 80, 80), Qt::green);
  LayerPtr mask = box(QRectF(0, 0, 40, 80), Qt::white);  // keeps the left half
  masked->setMask(mask);
  root->addSublayer(masked);

  const QImage img = draw();
  EXPECT_EQ(at(img, 1, 1).alpha(), 0);
  EXPECT_EQ(at(img, 98, 98).alpha(), 0);
  EXPECT_TRUE(near(at(img, 50, 50), Qt::red));
  EXPECT_TRUE(near(at(img, 50, 1), Qt::red));
  EXPECT_EQ(at(img, 150, 50).alpha(), 0);  // outside the clip entirely
  EXPECT_TRUE(near(at(img, 120, 40), Qt::green));
  EXPECT_EQ(at(img, 170, 40).alpha(), 0);
}

TEST_F(RendererTest, SublayerPerspectiveMakesTheNearEdgeTaller) {
  LayerPtr stage = box(QRectF(0, 0, 200, 100), QColor());
  Transform3D p;
  p.m34 = -1.0 / 300;
  stage->setSublayerTransform(p);
  LayerPtr card = box(QRectF(60, 20, 80, 60), Qt::white);
  card->setTransform(Transform3D::makeRotation(0.6, 0, 1, 0));  // right edge swings away from the viewer
  stage->addSublayer(card);
  root->addSublayer(stage);
  const QImage img = draw();
  int left = 0, right = 0;
  for (int x = 0; x < 200; ++x) {
    const int run = columnRun(img, x, Qt::white);
    if (run > 0 && left == 0) left = run;
    if (run > 0) right = run;
  }
  EXPECT_GT(left, 60);   // nearer than the plane: larger
  EXPECT_LT(right, 60);  // farther: smaller
}

TEST_F(RendererTest, ContentsGravityAndCachedDownscaling) {
  QImage pic(400, 200, QImage::Format_RGB32);
  QPainter p(&pic);
  p.fillRect(0, 0, 200, 200, Qt::green);
  p.fillRect(200, 0, 200, 200, Qt::blue);
  p.end();
  LayerPtr fill = box(QRectF(60, 0, 80, 80), QColor());
  fill->setContents(pic);
  fill->setContentsGravity(Gravity::ResizeAspectFill);
  root->addSublayer(fill);
  QImage img = draw();
  // Aspect fill: 160 x 80 centred on the layer, overflowing it (no masking).
  EXPECT_TRUE(near(at(img, 25, 40), Qt::green, 10));
  EXPECT_TRUE(near(at(img, 175, 40), Qt::blue, 10));
  EXPECT_TRUE(near(at(img, 15, 40), Qt::black));
  fill->setMasksToBounds(true);
  img = draw();
  EXPECT_TRUE(near(at(img, 25, 40), Qt::black));
  EXPECT_GE(renderer.lastStats().cacheHits, 1);  // the scaled copy made by the first frame

  fill->setContentsGravity(Gravity::Center);
  fill->setMasksToBounds(false);
  fill->setContentsScale(4);  // 100 x 50 points
  img = draw();
  EXPECT_TRUE(near(at(img, 60, 40), Qt::green, 10));
  EXPECT_TRUE(near(at(img, 45, 40), Qt::black));
  EXPECT_TRUE(near(at(img, 145, 40), Qt::blue, 10));
}

TEST_F(RendererTest, ReplicatorDrawsTintedMirroredInstances) {
  LayerPtr holder = box(QRectF(100, 50, 0, 0), QColor());
  auto rep = ReplicatorLayer::layer();
  rep->setInstanceCount(2);
  rep->setInstanceTransform(Transform3D::translate(Transform3D::makeScale(1, -1, 1), 0, 22, 0));
  rep->setInstanceRedOffset(-0.86);
  rep->setInstanceGreenOffset(-0.86);
  rep->setInstanceBlueOffset(-0.86);
  LayerPtr image = Layer::layer();
  image->setBounds(QRectF(0, 0, 40, 20));
  QImage pic(40, 20, QImage::Format_RGB32);
  pic.fill(Qt::white);
  for (int x = 0; x < 40; ++x) pic.setPixelColor(x, 0, Qt::red);  // top row red
  image->setContents(pic);
  rep->addSublayer(image);
  holder->addSublayer(rep);
  root->addSublayer(holder);
  const QImage img = draw();
  EXPECT_TRUE(near(at(img, 100, 55), Qt::white));
  // The copy sits 2 points below, mirrored and dimmed to 14 %.
  EXPECT_TRUE(near(at(img, 100, 35), QColor(36, 36, 36), 4));
  EXPECT_TRUE(near(at(img, 100, 39), QColor(0, 0, 0), 1));  // the 2-point gap
  EXPECT_TRUE(near(at(img, 100, 59), Qt::red, 8));
  EXPECT_TRUE(near(at(img, 100, 18), QColor(36, 0, 0), 8));  // mirrored: the red row is at the bottom
}

TEST_F(RendererTest, RendersAnyInstantOfAnAnimation) {
  LayerPtr fade = box(QRectF(0, 0, 100, 100), Qt::white);
  root->addSublayer(fade);
  Transaction::flush();
  const double t0 = clock.now();
  Transaction::begin();
  Transaction::setAnimationDuration(1.0);
  Transaction::setAnimationTimingFunction(TimingFunction::linear());
  fade->setOpacity(0.0);
  Transaction::commit();
  EXPECT_TRUE(near(at(draw(t0), 50, 50), Qt::white));
  EXPECT_TRUE(near(at(draw(t0 + 0.25), 50, 50), QColor(191, 191, 191), 2));
  EXPECT_TRUE(renderer.animating());
  EXPECT_TRUE(near(at(draw(t0 + 1.0), 50, 50), Qt::black));
  EXPECT_FALSE(renderer.animating());
}

TEST_F(RendererTest, WarpsOfAPictureNoLayerHoldsAnyMoreAreLetGoSoon) {
  LayerPtr card = cardOnStage(filled(Qt::red));
  card->setTransform(Transform3D::makeRotation(0.6, 0, 1, 0));
  draw();
  draw();  // the same shape again: warped once into the cache
  const qint64 one = renderer.cacheBytes();
  ASSERT_GT(one, 0);
  // Still held: kept however long it is drawn.
  for (int i = 0; i < 100; ++i) draw();
  EXPECT_EQ(renderer.lastStats().cacheMisses, 0);
  EXPECT_EQ(renderer.cacheBytes(), one);
  // Replaced: the warp of the picture nobody holds goes within 60 frames, long before the cache is full.
  card->setContents(filled(Qt::blue));
  draw();
  draw();
  EXPECT_EQ(renderer.cacheBytes(), 2 * one);
  for (int i = 0; i < 60; ++i) draw();
  EXPECT_EQ(renderer.cacheBytes(), one);
  EXPECT_TRUE(near(at(draw(), 100, 50), Qt::blue));
}

TEST_F(RendererTest, APictureLetGoTakesAllItsWarpsWithIt) {
  // A poster that rested at several places of a cover flow was warped once for each; all of them go with it.
  LayerPtr card = cardOnStage(filled(Qt::red));
  for (double angle : {0.6, 0.4, -0.5}) {
    card->setTransform(Transform3D::makeRotation(angle, 0, 1, 0));
    clock.advance(1);  // turned there, and at rest
    draw();
    draw();
  }
  const qint64 three = renderer.cacheBytes();
  ASSERT_GT(three, 0);
  card->setContents(filled(Qt::blue));
  for (int i = 0; i < 62; ++i) draw();
  EXPECT_LT(renderer.cacheBytes(), three / 2);
  EXPECT_TRUE(near(at(draw(), 100, 50), Qt::blue));
}

TEST_F(RendererTest, AMoveAmongThousandsShowsAtOnce) {
  // A row of boxes, most far off the canvas; a few move in and out as a cover flow's do.
  LayerPtr row = box(QRectF(0, 0, 0, 0), QColor());
  for (int i = 0; i < 3000; ++i)
    row->addSublayer(box(QRectF(i * 30, 40, 20, 20), QColor(QColor::fromHsv(i % 360, 255, 255).rgb())));
  root->addSublayer(row);
  const auto colour = [&](int i) { return row->sublayers()[std::size_t(i)]->backgroundColor(); };
  EXPECT_EQ(at(draw(), 10, 50), colour(0));
  EXPECT_GE(renderer.lastStats().culled, 2990);
  now([&] {
    row->sublayers()[2500]->setPosition(QPointF(10, 50));  // in, over the first
    row->sublayers()[2500]->setZPosition(1);
    row->sublayers()[3]->setPosition(QPointF(-500, 50));  // out
  });
  const QImage moved = draw();
  EXPECT_EQ(at(moved, 10, 50), colour(2500));
  EXPECT_EQ(at(moved, 100, 50), QColor(Qt::black));
  EXPECT_EQ(at(moved, 130, 50), colour(4));
  // Slid in over a second, from far off: drawn all the way.
  const double t0 = clock.now();
  animate(1.0, [&] { row->sublayers()[2999]->setPosition(QPointF(100, 50)); });
  EXPECT_EQ(at(draw(t0 + 0.5), 100, 50), QColor(Qt::black));
  EXPECT_EQ(at(draw(t0 + 1.0), 100, 50), colour(2999));
}

TEST_F(RendererTest, PerspectiveImagesKeepTheirWarpWhileTheyOnlyMove) {
  LayerPtr stage = box(QRectF(0, 0, 200, 100), QColor());
  Transform3D p;
  p.m34 = -1.0 / 300;
  stage->setSublayerTransform(p);
  LayerPtr card = Layer::layer();
  card->setFrame(QRectF(60, 20, 80, 60));
  QImage pic(80, 60, QImage::Format_RGB32);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x) pic.setPixelColor(x, y, QColor(x * 3, y * 4, 128));
  card->setContents(pic);
  card->setTransform(Transform3D::makeRotation(0.6, 0, 1, 0));
  stage->addSublayer(card);
  root->addSublayer(stage);
  const QImage direct = draw();  // first sight of this shape: drawn directly
  EXPECT_EQ(renderer.lastStats().cacheMisses, 0);
  const QImage reused = draw();  // same shape again: warped once into the cache
  EXPECT_EQ(renderer.lastStats().cacheMisses, 1);
  // The stage moves by whole points: the same warp, copied to the new place.
  stage->setPosition(stage->position() + QPointF(7, 0));
  const QImage moved = draw(clock.now() + 1);
  EXPECT_EQ(renderer.lastStats().cacheHits, 1);
  double diff = 0, shifted = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 193; ++x) {
      diff += std::abs(direct.pixelColor(x, y).red() - reused.pixelColor(x, y).red());
      shifted += std::abs(direct.pixelColor(x, y).red() - moved.pixelColor(x + 7, y).red());
    }
  EXPECT_LT(diff / (200 * 100), 2.0);
  EXPECT_LT(shifted / (193 * 100), 2.0);
}

// Trees off the canvas are passed over: what is drawn must not change, whatever carries a layer into view.

TEST_F(RendererTest, ThousandsOffCanvasCostNothingAndWhatIsCarriedIntoViewStillDraws) {
  LayerPtr far = box(QRectF(0, 0, 0, 0), QColor());
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
  // A card off the canvas to the right, turned under perspective: its far edge comes in.
  LayerPtr stage = perspectiveStage(QRectF(0, 0, 200, 100), 150);
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

TEST_F(RendererTest, ChangesToTreesOffTheCanvasShowAtTheNextFrame) {
  LayerPtr parent = box(QRectF(-100, 0, 10, 10), QColor());
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

TEST_F(RendererTest, TreesMovingIntoViewAreDrawnAllTheWayAndTheirAnimationsComplete) {
  LayerPtr turn = box(QRectF(150, 40, 20, 20), Qt::red);      // carried in by its transform
  LayerPtr slide = box(QRectF(-300, 40, 20, 20), Qt::green);  // slides in from far left
  turn->setTransform(Transform3D::makeTranslation(0, 400, 0));
  root->addSublayer(turn);
  root->addSublayer(slide);
  Transaction::flush();
  int done = 0;
  const auto count = [&] { ++done; };
  double t0 = clock.now();
  animate(1.0, [&] { turn->setTransform(Transform3D()); }, count);
  EXPECT_EQ(at(draw(t0), 160, 50), QColor(Qt::black));
  EXPECT_TRUE(renderer.animating());  // nothing drawn moves, but what is passed over will come into view
  EXPECT_EQ(at(draw(t0 + 0.9), 160, 50), QColor(Qt::black));  // 40 points too high
  EXPECT_EQ(at(draw(t0 + 1.0), 160, 50), QColor(Qt::red));
  clock.advance(1.0);
  EXPECT_EQ(done, 1);

  t0 = clock.now();
  animate(1.0, [&] { slide->setPosition(QPointF(60, 50)); }, count);  // from x = -290
  EXPECT_EQ(at(draw(t0), 10, 50), QColor(Qt::black));
  EXPECT_EQ(at(draw(t0 + 0.9), 20, 50), QColor(Qt::green));  // at x = 25
  EXPECT_EQ(at(draw(t0 + 1.0), 60, 50), QColor(Qt::green));
  clock.advance(1.0);
  EXPECT_EQ(done, 2);

  // Swept from where it starts: on the canvas at first, off it at the end.
  t0 = clock.now();
  animate(0.5, [&] { slide->setPosition(QPointF(-300, 50)); }, count);
  EXPECT_EQ(at(draw(t0), 60, 50), QColor(Qt::green));
  draw(t0 + 0.5);
  EXPECT_EQ(renderer.lastStats().culled, 1);
  clock.advance(0.5);
  EXPECT_EQ(done, 3);

  // The animation of a tree that is never drawn still ends.
  t0 = clock.now();
  animate(0.5, [&] { slide->setPosition(QPointF(-400, 50)); }, count);
  draw(t0 + 0.25);
  EXPECT_EQ(renderer.lastStats().culled, 1);
  EXPECT_EQ(done, 3);
  clock.advance(0.5);
  EXPECT_EQ(done, 4);
}

TEST_F(RendererTest, DepthSlidesUnderAnEyeOffTheCanvas) {
  // The stage's middle, where the eye looks from, lies far right: what goes deep heads there, off the canvas.
  LayerPtr stage = perspectiveStage(QRectF(0, 0, 2000, 100), 150);
  LayerPtr card = box(QRectF(20, 40, 20, 20), Qt::green);
  card->setZPosition(-600);
  stage->addSublayer(card);
  root->addSublayer(stage);
  Transaction::flush();
  const double t0 = clock.now();
  animate(1.0, [&] { card->setZPosition(0); });
  EXPECT_EQ(at(draw(t0), 30, 50), QColor(Qt::black));
  EXPECT_EQ(at(draw(t0 + 0.99), 67, 50), QColor(Qt::green));  // 6 points deep: x from 58 to 77
  EXPECT_EQ(at(draw(t0 + 1.0), 30, 50), QColor(Qt::green));
}

TEST_F(RendererTest, PicturesCopiedToWholePixelsMatchQtsOwnDrawing) {
  QImage pic(33, 21, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 33; ++x) pic.setPixelColor(x, y, QColor(x * 7, y * 12, 200, 100 + 4 * x));
  root->setBackgroundColor(Qt::transparent);
  LayerPtr plain = box(QRectF(0, 0, 33, 21), QColor());
  plain->setContents(pic);
  LayerPtr stretched = box(QRectF(0, 0, 50, 40), QColor());  // copied from a cached warp once it holds still
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
