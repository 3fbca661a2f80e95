// The movie browser's posters in a library too big to compose whole: only those near the selection have their parts
// and a composed picture, which come back from the helper's poster cache when the row returns to them.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>

#include "app/MyLayoutManager.h"
#include "tests/app/MoviesViewFixture.h"
#include "tests/support/Pictures.h"

using apptest::near;

namespace {

class MoviesViewPostersTest : public apptest::MoviesViewTest {
 protected:
  // Posters with their parts: a picture composed or on its way.
  static int postersWithParts(const std::shared_ptr<MoviesView>& view) {
    int count = 0;
    for (const ox::LayerPtr& poster : view->coverflowLayer()->sublayers())
      count += bool(poster->layerValue("__holderLayer"));
    return count;
  }
  // A button held for `seconds`, the compositions landing meanwhile as they come.
  static void hold(const std::shared_ptr<MoviesView>& view, bool right, double seconds) {
    right ? view->holdRight() : view->holdLeft();
    for (double t = 0; t < seconds; t += MoviesView::kRepeatPeriod) {
      ox::DelayedCall::advanceManualTime(MoviesView::kRepeatPeriod);
      ox::Transaction::flush();
      QCoreApplication::processEvents();
    }
    view->releaseButton();
  }
  // A picture composed for the poster: the poster's size, its corners rounded off.
  static bool composed(const ox::LayerPtr& poster) {
    const ox::LayerPtr image = poster->layerValue("__imageLayer");
    const QImage picture = image ? image->contents() : QImage();
    return picture.size() == QSize(322, 477) && qAlpha(picture.pixel(0, 0)) == 0;
  }
  static QString numbered(const char* stem, int i, int digits) {
    return QString::fromLatin1(stem) + QStringLiteral("%1").arg(i, digits, 10, QLatin1Char('0'));
  }
};

}  // namespace

TEST_F(MoviesViewPostersTest, APosterLetGoFarFromTheMiddleComesBackComposedWhenTheRowReturnsToIt) {
  const int count = 60;
  const auto colour = [](int i) { return QColor::fromHsv(i * 6, 200, 230); };
  for (int i = 0; i < count; ++i) addMovie(numbered("tt86", i, 4), numbered("Title ", i, 2), colour(i));
  // The second poster is not in the helper's cache: it comes from the bucket.
  const QString fetched = "poster_tt860001.png";
  QFile::remove(library()->pathWithFolder("posters", fetched));
  bucket.setHandler("/images/w500/" + fetched, [&](const auto&) {
    QImage img(500, 740, QImage::Format_RGB32);
    img.fill(colour(1));
    QByteArray png;
    QBuffer buffer(&png);
    img.save(&buffer, "PNG");
    return oxtest::LoopbackServer::Reply{200, png, "image/png", {}};
  });
  auto view = makeView();
  const std::vector<ox::LayerPtr>& posters = view->coverflowLayer()->sublayers();
  ASSERT_EQ(posters.size(), std::size_t(count));
  EXPECT_EQ(view->keptPictureCount(), MoviesView::kPictureReach + 1);
  EXPECT_TRUE(composed(posters[0]));
  EXPECT_TRUE(composed(posters[1]));

  // At the other end of the row the first posters are let go once it has slid there.
  view->setSelectedIndex(count - 1);
  settle();
  EXPECT_FALSE(posters[0]->layerValue("__imageLayer"));
  EXPECT_FALSE(posters[1]->layerValue("__holderLayer"));
  EXPECT_EQ(postersWithParts(view), int(MoviesView::kPictureReach) + 1);

  // Left held all the way back: the first posters are composed again, and nothing in view stays unknown.
  hold(view, false, count * MoviesView::kRepeatPeriod);
  EXPECT_EQ(view->selectedIndex(), 0u);
  ASSERT_TRUE(oxtest::spinUntil([&] { return view->pendingPosters() == 0; }, 30000));
  oxtest::spinFor(50);
  settle();
  for (int i = 0; i <= 8; ++i) EXPECT_TRUE(composed(posters[std::size_t(i)])) << "poster " << i;
  const QImage frame = render(view, clock.now());
  saveFrame(frame, "movies_back_to_the_first.png");
  EXPECT_TRUE(near(QColor(frame.pixel(960, 600)), colour(0), 12));
  EXPECT_TRUE(near(QColor(frame.pixel(1220, 700)), colour(1), 12));
  // Fetched once for the whole walk: the download was kept.
  EXPECT_EQ(bucket.requestCount(), 1);
}

TEST_F(MoviesViewPostersTest, InALibraryOfThousandsOnlyThePostersNearTheSelectionKeepTheirParts) {
  const int count = 5000;
  for (int i = 0; i < 5; ++i)
    writePicture("posters", numbered("shared_", i, 1) + ".png", QColor::fromHsv(i * 60, 200, 230), QSize(100, 148));
  for (int i = 0; i < count; ++i) {
    const QString imdb = numbered("tt87", i, 5);
    const QVariantMap fields{
        {"title", numbered("Generated ", i, 5)},
        {"poster", bucket.url("/images/original/" + numbered("shared_", i % 5, 1) + ".png").toString()}};
    auto movie = OXMovie::initWithDictionary({{"id", imdb}, {"fields", fields}});
    auto file = OXFile::initWithType(OXFile::kTypeMovie);
    file->setFilePath(files.filePath(imdb + ".mkv"));
    movie->setFile(file);
    library()->addContent(movie);
    added << movie;
  }
  auto view = makeView();
  ASSERT_EQ(view->coverflowLayer()->sublayers().size(), std::size_t(count));
  const std::size_t reach = MoviesView::kPictureReach;
  EXPECT_EQ(view->keptPictureCount(), reach + 1);
  EXPECT_EQ(postersWithParts(view), int(reach) + 1);

  view->setSelectedIndex(count / 2);
  settle();
  hold(view, true, 6);  // 120 posters on
  const auto layout = std::static_pointer_cast<MyLayoutManager>(view->coverflowLayer()->layoutManager());
  EXPECT_LE(layout->lastPassCount(), std::size_t(2 * MyLayoutManager::kReach + 2));
  // Those the row has just left go once it has slid on.
  const auto leaving = std::size_t(MoviesView::kPictureRelease / MoviesView::kRepeatPeriod) + 1;
  EXPECT_LE(view->keptPictureCount(), 2 * reach + 1 + leaving);
  settle();
  EXPECT_EQ(view->keptPictureCount(), 2 * reach + 1);
  EXPECT_EQ(postersWithParts(view), int(2 * reach + 1));
  ASSERT_TRUE(oxtest::spinUntil([&] { return view->pendingPosters() == 0; }, 20000));
  oxtest::spinFor(50);
  const std::vector<ox::LayerPtr>& posters = view->coverflowLayer()->sublayers();
  for (quint64 i = view->selectedIndex() - 8; i <= view->selectedIndex() + 8; ++i)
    EXPECT_TRUE(composed(posters[std::size_t(i)])) << "poster " << i;
}

// The helper's copies cut short (as it once kept them) and a host's PNG of 4 KB that claims 5600 x 5600 pixels: the
// first poster and the backdrop come whole from the bucket instead of grey below the cut, the second poster is the
// unknown poster.
TEST_F(MoviesViewPostersTest, PicturesNotWholeOrOverTheBoundAreNotShown) {
  addMovie("tt8700001", "Alder", QColor(200, 40, 40));
  addMovie("tt8700002", "Birch", QColor());
  QImage green(500, 740, QImage::Format_RGB32), huge(5600, 5600, QImage::Format_Mono);
  green.fill(Qt::green);
  huge.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  huge.fill(0);
  const QByteArray whole = oxtest::jpegBytes(oxtest::detailedPicture(QSize(500, 740)));
  for (const QString kind : {"poster", "backdrop"}) {
    QFile cut(library()->pathWithFolder(kind + "s", kind + "_tt8700001.png"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cut.write(whole.left(whole.size() / 2));
    cut.close();
  }
  bucket.setReply("/images/w500/poster_tt8700001.png", {200, oxtest::pngBytes(green), "image/png", {}});
  bucket.setReply("/images/w1920/backdrop_tt8700001.png", {200, oxtest::pngBytes(green), "image/png", {}});
  bucket.setReply("/images/w500/poster_tt8700002.png", {200, oxtest::pngBytes(huge), "image/png", {}});
  auto view = makeView();
  const std::vector<ox::LayerPtr>& posters = view->coverflowLayer()->sublayers();
  ASSERT_EQ(posters.size(), 2u);
  ASSERT_TRUE(composed(posters[0]) && composed(posters[1]));
  const auto middle = [](const ox::LayerPtr& poster) {
    return QColor(poster->layerValue("__imageLayer")->contents().pixel(161, 120));
  };
  EXPECT_TRUE(near(middle(posters[0]), Qt::green, 12));
  EXPECT_LT(middle(posters[1]).value(), 128);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !view->movieBackdrop()->contents().isNull(); }));
  EXPECT_EQ(view->movieBackdrop()->contents().pixelColor(10, 10), QColor(Qt::green));
}
