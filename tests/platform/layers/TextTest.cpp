#include <gtest/gtest.h>

#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>

#include "platform/layers/Fonts.h"
#include "platform/layers/GradientLayer.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/TextLayer.h"
#include "platform/layers/Transaction.h"
#include "tests/support/TestUtil.h"

using namespace ox;

namespace {

void registerOurFonts() {
  ASSERT_TRUE(Fonts::registerFontFile(oxtest::sourcePath("resources/fonts/oxfont.ttf")));
  ASSERT_TRUE(Fonts::registerFontFile(oxtest::sourcePath("resources/fonts/ombrixeglyph.ttf")));
}

int opaqueIn(const QImage& img, const QRect& r) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (img.pixelColor(x, y).alpha() > 128) ++n;
  return n;
}

}  // namespace

TEST(Fonts, OurFontsRegisterUnderTheirPostScriptNames) {
  registerOurFonts();
  EXPECT_TRUE(Fonts::hasFont("oxfont-Regular"));
  EXPECT_TRUE(Fonts::hasFont("OmbrixeGlyph"));
  EXPECT_EQ(QFontInfo(Fonts::font("oxfont-Regular", 40)).family(), "oxfont");
  EXPECT_EQ(QFontInfo(Fonts::font("OmbrixeGlyph", 40)).family(), "OmbrixeGlyph");
  EXPECT_EQ(Fonts::font("oxfont-Regular", 40).pixelSize(), 40);
  EXPECT_EQ(Fonts::font("nobody", 0.2).pixelSize(), 1);

  EXPECT_FALSE(Fonts::registerFontFile("/nonexistent/font.ttf"));
  EXPECT_FALSE(Fonts::registerFontData(QByteArray("not a font at all")));
  QFile f(oxtest::sourcePath("resources/fonts/oxfont.ttf"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray data = f.readAll();
  EXPECT_EQ(Fonts::postScriptNameOfFontData(data), "oxfont-Regular");
  // Cut anywhere, the name table reader answers empty or the name, never reads past the end.
  for (qsizetype cut : {0, 5, 12, 100, 1000, 20000})
    EXPECT_TRUE(Fonts::postScriptNameOfFontData(data.left(cut)).isEmpty() ||
                Fonts::postScriptNameOfFontData(data.left(cut)) == "oxfont-Regular");
}

TEST(TextLayer, NaturalSizeDrivesConstraintLayout) {
  registerOurFonts();
  ManualClock clock;
  LayerPtr root = Layer::layer();
  root->setBounds(QRectF(0, 0, 1920, 1080));
  root->setLayoutManager(ConstraintLayoutManager::layoutManager());
  auto title = TextLayer::layer();
  title->setFont("oxfont-Regular");
  title->setFontSize(54);
  title->setString("Twelve Movies");
  title->addConstraint(Constraint(ConstraintAttribute::MidX, "superlayer", ConstraintAttribute::MidX));
  title->addConstraint(Constraint(ConstraintAttribute::MinY, "superlayer", ConstraintAttribute::MinY, 1.0, 84));
  root->addSublayer(title);
  Transaction::flush();
  const QSizeF natural = title->preferredFrameSize();
  EXPECT_GT(natural.width(), 54 * 4);
  EXPECT_GE(natural.height(), 54);
  EXPECT_EQ(title->bounds().size(), natural);
  EXPECT_NEAR(title->frame().center().x(), 960, 0.5);
  EXPECT_DOUBLE_EQ(title->frame().top(), 84);
  // A longer text re-centres at the next layout.
  title->setString("Twelve Movies and More");
  Transaction::begin();
  Transaction::setDisableActions(true);
  Transaction::flush();
  Transaction::commit();
  EXPECT_GT(title->bounds().width(), natural.width());
  EXPECT_NEAR(title->frame().center().x(), 960, 0.5);
  title->setString("");
  EXPECT_EQ(title->preferredFrameSize(), QSizeF(0, 0));
}

TEST(TextLayer, GlyphFontDrawsStarsAndHalfStars) {
  registerOurFonts();
  ManualClock clock;
  LayerPtr root = Layer::layer();
  root->setBounds(QRectF(0, 0, 400, 100));
  root->setAnchorPoint(QPointF(0, 0));
  auto stars = TextLayer::layer();
  stars->setFont("OmbrixeGlyph");
  stars->setFontSize(80);
  stars->setString("12");
  stars->setAnchorPoint(QPointF(0, 0));
  stars->setBounds(QRectF(QPointF(0, 0), stars->preferredFrameSize()));
  stars->setForegroundColor(Qt::white);
  root->addSublayer(stars);
  Renderer r;
  const QImage img = r.renderToImage(root, QSize(400, 100), clock.now());
  // A star's advance is 0.46 em = 36.8 px, its middle 0.23 em in and just under the baseline (the descent is 0.2 em),
  // so a row of stars stays below a title set above it. The full star is filled on both sides of its middle, the half
  // star only on the left.
  const int h = img.height();
  const QRect fullLeft(4, 0, 14, h), fullRight(19, 0, 14, h), halfLeft(41, 0, 13, h), halfRight(57, 0, 14, h);
  EXPECT_GT(opaqueIn(img, fullLeft), 60);
  EXPECT_GT(opaqueIn(img, fullRight), 60);
  EXPECT_GT(opaqueIn(img, halfLeft), 60);
  EXPECT_EQ(opaqueIn(img, halfRight), 0);
  // The star's middle is solid white, and nothing is drawn in the upper half of the line.
  EXPECT_EQ(img.pixelColor(18, h - 1 - int(0.2 * 80 - 0.02 * 80)), QColor(Qt::white));
  EXPECT_EQ(opaqueIn(img, QRect(0, 0, 80, h / 2)), 0);
}

TEST(TextLayer, AlignmentTruncationAndTextShadow) {
  registerOurFonts();
  ManualClock clock;
  LayerPtr root = Layer::layer();
  root->setBounds(QRectF(0, 0, 300, 60));
  root->setAnchorPoint(QPointF(0, 0));
  root->setBackgroundColor(Qt::black);
  auto right = TextLayer::layer();
  right->setFont("oxfont-Regular");
  right->setFontSize(30);
  right->setString("9:41");
  right->setAlignmentMode(TextAlignment::Right);
  right->setAnchorPoint(QPointF(0, 0));
  right->setBounds(QRectF(0, 0, 300, 40));
  right->setShadowOpacity(1);
  right->setShadowRadius(2);
  right->setShadowOffset(QSizeF(0, 0));
  right->setShadowColor(Qt::red);
  root->addSublayer(right);
  Renderer r;
  QImage img = r.renderToImage(root, QSize(300, 60), clock.now());
  int rightmost = -1, leftmost = 300, reddish = 0;
  for (int y = 20; y < 60; ++y)
    for (int x = 0; x < 300; ++x) {
      const QColor c = img.pixelColor(x, y);
      if (c.red() > 200 && c.green() > 200) rightmost = std::max(rightmost, x), leftmost = std::min(leftmost, x);
      if (c.red() > 60 && c.green() < 30) ++reddish;
    }
  EXPECT_GT(rightmost, 280);  // flush right
  EXPECT_GT(leftmost, 200);
  EXPECT_GT(reddish, 20);  // the blurred red shadow around the glyphs

  // Truncated at the end: the text ends in an ellipsis inside the bounds; above its dots nothing is drawn.
  right->setAlignmentMode(TextAlignment::Left);
  right->setTruncationMode(TruncationMode::End);
  right->setShadowOpacity(0);
  const QString longText = "A title far too long to fit in three hundred points";
  right->setString(longText);
  img = r.renderToImage(root, QSize(300, 60), clock.now());
  const QFontMetricsF fm(Fonts::font("oxfont-Regular", 30));
  const double total = fm.horizontalAdvance(fm.elidedText(longText, Qt::ElideRight, 300));
  const double dots = fm.horizontalAdvance(QString(QChar(0x2026)));
  const int baseline = 20 + int(fm.ascent());
  auto lit = [&](int x0, int x1, int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = std::max(0, x0); x < std::min(300, x1); ++x)
        if (img.pixelColor(x, y).red() > 128) ++n;
    return n;
  };
  EXPECT_LT(total, 300.5);
  EXPECT_GT(lit(int(total - dots + 3), int(total - 3), baseline - 5, baseline + 1), 0);  // the dots
  EXPECT_EQ(lit(int(total - dots + 3), int(total - 3), 20, baseline - 7), 0);
  EXPECT_EQ(lit(int(total + 2), 300, 20, 60), 0);
}

TEST(GradientLayer, RunsFromStartToEndPoint) {
  ManualClock clock;
  auto g = GradientLayer::layer();
  g->setAnchorPoint(QPointF(0, 0));
  g->setBounds(QRectF(0, 0, 100, 50));
  g->setColors({QColor(0, 0, 0, 140), QColor(0, 0, 0, 0)});
  g->setStartPoint(QPointF(0, 0.5));
  g->setEndPoint(QPointF(1, 0.5));
  Renderer r;
  const QImage img = r.renderToImage(g, QSize(100, 50), clock.now());
  EXPECT_NEAR(img.pixelColor(0, 25).alpha(), 140, 3);
  EXPECT_NEAR(img.pixelColor(50, 25).alpha(), 70, 3);
  EXPECT_NEAR(img.pixelColor(99, 25).alpha(), 0, 3);
}
