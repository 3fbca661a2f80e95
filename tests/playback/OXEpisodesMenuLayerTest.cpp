// The seasons-and-episodes menu: where it opens, its moves and season slides, marks, thumbnails, and a show of the
// stand-ins drawn with its thumbnails and watched marks.
#include "playback/OXEpisodesMenuLayer.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <thread>

#include "core/OXPreferencesValues.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/Images.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

using namespace ox;

namespace {

const QSize kScreen(1920, 1080);

// A library of its own in a temporary folder, with a screen of known size.
class Menu : public ::testing::Test {
 protected:
  void SetUp() override {
    OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(QRect(QPoint(0, 0), kScreen));
    ASSERT_TRUE(dir_.isValid());
    library_ = OXLibrary::libraryWithSupportFolder(dir_.path());
  }
  void TearDown() override { OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(std::nullopt); }

  std::shared_ptr<OXEpisode> add(quint64 show, quint64 season, quint64 number, float ratio = 0,
                                 const QString& thumb = {}) {
    const quint64 id = show * 1000 + season * 100 + number;
    auto e = OXEpisode::initWithStreamerDictionary({{"id", id}, {"showid", show}, {"season", season},
                                                    {"episode", number}, {"title", "Episode"}, {"image", thumb}});
    addFile(e, id);
    if (ratio != 0) library_->setRatioEpisodeID(ratio, id);
    return e;
  }
  void addFile(const std::shared_ptr<OXEpisode>& e, quint64 id) {
    auto file = OXFile::initWithType(OXFile::kTypeEpisode);
    file->setFilePath(QStringLiteral("/shows/%1.mkv").arg(id));
    e->setFile(file);
    library_->addContent(e);
  }
  std::shared_ptr<OXEpisodesMenuLayer> menu(quint64 show) {
    return OXEpisodesMenuLayer::initWithShow(OXShow::initWithStreamerDictionary({{"id", show}}), false,
                                             library_.get());
  }
  static QString title(const LayerPtr& season) {
    return std::dynamic_pointer_cast<TextLayer>(season->layerValue("seasonTitle"))->string();
  }
  static const std::vector<LayerPtr>& tiles(const LayerPtr& season) {
    return season->layerValue("episodeListLayer")->sublayers();
  }

  QTemporaryDir dir_;
  std::shared_ptr<OXLibrary> library_;
};

// Season and tile the menu opens on.
std::pair<quint64, qint64> opening(const std::shared_ptr<OXEpisodesMenuLayer>& m) {
  return {m->currentSeason(), m->selectedIndex()};
}

// A point of a layer in the root's coordinates, through every transform on the way.
QPointF inRoot(LayerPtr l, QPointF p) {
  for (; l && l->superlayer(); l = l->superlayer()) {
    const QRectF b = l->bounds();
    const QPointF anchor(b.x() + l->anchorPoint().x() * b.width(), b.y() + l->anchorPoint().y() * b.height());
    p = l->position() + l->transform().flattened().map(p - anchor);
  }
  return p;
}

}  // namespace

TEST_F(Menu, OpensOnTheNextEpisodeToWatch) {
  add(1, 1, 1);  // nothing watched: the first season's first episode
  add(1, 2, 1);
  EXPECT_EQ(opening(menu(1)), std::make_pair(quint64(1), qint64(0)));

  add(2, 1, 1, 0.95f);  // only the first one watched, even to the end: it stays there
  add(2, 1, 2);
  EXPECT_EQ(opening(menu(2)), std::make_pair(quint64(1), qint64(0)));

  add(3, 1, 1);  // positions 1 and 2 finished in a season that is not the last
  add(3, 1, 2, 0.95f);
  add(3, 1, 3, 0.93f);
  add(3, 2, 1);
  EXPECT_EQ(opening(menu(3)), std::make_pair(quint64(1), qint64(2)));

  add(4, 3, 1, 0.5f);  // a finished last episode opens the next season, or stays in the last one
  add(4, 3, 2, 0.95f);
  add(4, 4, 1);
  EXPECT_EQ(opening(menu(4)), std::make_pair(quint64(4), qint64(0)));
  add(5, 3, 1, 0.5f);
  add(5, 3, 2, 0.95f);
  EXPECT_EQ(opening(menu(5)), std::make_pair(quint64(3), qint64(1)));

  add(6, 1, 1, 0.3f);  // 0.92 in single precision is past 0.92; the number below it is not
  add(6, 1, 2, 0.92f);
  add(6, 1, 3);
  add(7, 1, 1, 0.3f);
  add(7, 1, 2, std::nextafter(0.92f, 0.0f));
  add(7, 1, 3);
  EXPECT_EQ(opening(menu(6)).second, 2);
  EXPECT_EQ(opening(menu(7)).second, 1);

  // Seasons 1, 2 and 4: from season 2 the next layer waits with season 4.
  add(8, 4, 1);
  add(8, 4, 2);
  add(8, 2, 1, 0.4f);
  add(8, 1, 1, 1.0f);
  auto m = menu(8);
  EXPECT_EQ(m->seasonArray(), QList<quint64>({1, 2, 4}));
  EXPECT_EQ(opening(m), std::make_pair(quint64(2), qint64(0)));
  EXPECT_EQ(title(m->layerValue("currentSeasonLayer")), "Season 2");
  EXPECT_EQ(title(m->layerValue("nextSeasonLayer")), "Season 4");
  EXPECT_EQ(tiles(m->layerValue("nextSeasonLayer")).size(), 2u);
  EXPECT_EQ(tiles(m->layerValue("previousSeasonLayer")).size(), 1u);
}

TEST_F(Menu, TilesTitlesNumbersAndWatchedMarks) {
  EXPECT_EQ(OXEpisodesMenuLayer::watchedMark(0.4375f), 4u);
  EXPECT_EQ(OXEpisodesMenuLayer::watchedMark(0.0625f), 1u);  // half an eighth rounds up
  EXPECT_EQ(OXEpisodesMenuLayer::watchedMark(1.0f), 8u);
  EXPECT_EQ(OXEpisodesMenuLayer::watchedMark(1.7f), 8u);  // whatever the store holds, one of the nine marks
  EXPECT_EQ(OXEpisodesMenuLayer::watchedMark(-0.3f), 0u);
  EXPECT_EQ(OXEpisodesMenuLayer::watchedMark(std::nanf("")), 0u);
  EXPECT_EQ(OXEpisodesMenuLayer::tileTitle(QString(21, 'a')), QString(21, 'a'));
  EXPECT_EQ(OXEpisodesMenuLayer::tileTitle(QString(22, 'a')), QString(21, 'a') + "...");

  add(1, 1, 7, 0.4375f);
  add(1, 1, 12);
  add(1, 1, 100, 1.0f);
  auto m = menu(1);
  const auto& row = tiles(m->layerValue("currentSeasonLayer"));
  ASSERT_EQ(row.size(), 3u);
  const double offsets[] = {0.04 * 1080, 0.03 * 1080, 0.025 * 1080};
  for (int i = 0; i < 3; ++i) {
    LayerPtr number = row[std::size_t(i)]->sublayerNamed("numberEpisode");
    ASSERT_TRUE(number);
    EXPECT_NEAR(number->constraints().front().offset(), offsets[i], 1e-9) << i;
  }
  EXPECT_EQ(row[0]->layerValue("circleLayer")->contents(), imageNamed("4P"));
  EXPECT_EQ(row[1]->layerValue("circleLayer")->contents(), imageNamed("0P"));
  EXPECT_EQ(row[2]->layerValue("circleLayer")->contents(), imageNamed("8P"));
  EXPECT_FALSE(imageNamed("8P").isNull());
  EXPECT_EQ(row[1]->contents(), imageNamed("ShowsDetailViewEmptyChapter.png"));
}

TEST_F(Menu, MovesAndSlidesStayInsideTheShowAndIgnoreWhatIsOutOfRange) {
  ManualClock clock;
  for (quint64 n = 1; n <= 3; ++n) add(1, 1, n);
  add(1, 2, 1);
  add(1, 2, 2);
  auto m = menu(1);
  m->previousEpisode();
  EXPECT_EQ(m->selectedIndex(), 0);
  m->setSelectedIndex(3);  // past the last tile
  EXPECT_EQ(m->selectedIndex(), 0);
  m->nextEpisode();
  m->nextEpisode();
  m->nextEpisode();
  EXPECT_EQ(m->selectedIndex(), 2);
  EXPECT_EQ(m->episodeSelected()->episodeNumber(), 3u);

  LayerPtr next = m->layerValue("nextSeasonLayer");
  m->nextSeason();
  m->nextSeason();  // during the slide: ignored
  ASSERT_TRUE(oxtest::spinUntil([&] {
    clock.advance(0.1);
    return !m->changingSeason();
  }));
  EXPECT_EQ(m->currentSeason(), 2u);
  EXPECT_EQ(m->layerValue("currentSeasonLayer"), next);
  EXPECT_EQ(m->selectedIndex(), 0);  // entered at its first episode
  EXPECT_EQ(title(m->layerValue("nextSeasonLayer")), "Season -");
  m->nextSeason();  // the last season
  EXPECT_FALSE(m->changingSeason());
  m->previousSeason();
  ASSERT_TRUE(oxtest::spinUntil([&] {
    clock.advance(0.1);
    return !m->changingSeason();
  }));
  EXPECT_EQ(m->currentSeason(), 1u);
  EXPECT_EQ(m->selectedIndex(), 0);  // the season left before was reset

  // A show without episodes, or none at all: no season, nothing selected, every move ignored.
  for (auto empty : {menu(99), OXEpisodesMenuLayer::initWithShow(nullptr, false, library_.get())}) {
    EXPECT_TRUE(empty->seasonArray().isEmpty());
    EXPECT_FALSE(empty->episodeSelected());
    empty->nextEpisode();
    empty->previousEpisode();
    empty->nextSeason();
    empty->previousSeason();
    empty->setRatioToEpisodeSelected(1);
    empty->markLikeSeenEpisodeSelectedAndPrevious();
    EXPECT_EQ(empty->selectedIndex(), 0);
    EXPECT_EQ(title(empty->layerValue("currentSeasonLayer")), "");
  }
  oxtest::spinFor(20);
}

TEST_F(Menu, ThumbnailsLoadAroundTheSelectionAndMarksRedrawFromAnyThread) {
  // Opens in the second season, watched a little.
  for (quint64 n = 1; n <= 30; ++n) add(1, 2, n, n == 1 ? 0.1f : 0, QStringLiteral("http://127.0.0.1:9/%1.png").arg(n));
  add(1, 1, 1);
  add(1, 1, 2);
  auto m = menu(1);
  auto requested = [&] {
    QList<int> out;
    const auto& row = tiles(m->layerValue("currentSeasonLayer"));
    for (std::size_t i = 0; i < row.size(); ++i)
      if (!row[i]->layerValue("frameImageLayer")->value("isDefaultImage").toBool()) out << int(i);
    return out;
  };
  m->setSelectedIndex(2);
  m->updateImages();
  EXPECT_EQ(requested(), QList<int>({0, 1, 2, 3, 4, 5, 6}));
  m->setSelectedIndex(20);
  m->updateImages();
  EXPECT_EQ(requested(), QList<int>({0, 1, 2, 3, 4, 5, 6, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}));

  std::thread([&] { m->setRatioToEpisodeSelected(0.5f); }).join();
  const auto& row = tiles(m->layerValue("currentSeasonLayer"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return row[20]->layerValue("circleLayer")->contents() == imageNamed("4P"); }));
  std::thread([&] { m->markLikeSeenEpisodeSelectedAndPrevious(); }).join();
  ASSERT_TRUE(oxtest::spinUntil([&] { return row[0]->layerValue("circleLayer")->contents() == imageNamed("8P"); }));
  for (std::size_t i = 0; i < row.size(); ++i)
    EXPECT_EQ(row[i]->layerValue("circleLayer")->contents(), imageNamed(i <= 20 ? "8P" : "0P")) << i;
  for (const LayerPtr& t : tiles(m->layerValue("previousSeasonLayer")))
    EXPECT_EQ(t->layerValue("circleLayer")->contents(), imageNamed("8P"));
}

TEST_F(Menu, AShowOfTheStandInsIsDrawnWithItsThumbnailsAndMarks) {
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.isRunning());
  standIn.clear();
  // The episodes as the cloud search holds them, by their codes; a code is sent percent-encoded.
  EXPECT_TRUE(OXEpisodesMenuLayer::episodeForCode("812 1&x").isEmpty());
  ASSERT_FALSE(standIn.requests("search").isEmpty());
  EXPECT_TRUE(standIn.requests("search").back().toMap()["path"].toString().contains("q=812%201%26x&"));
  const float ratios[] = {1.0f, 0.95f, 0.5f, 0};
  for (int n = 1; n <= 4; ++n) {
    auto e = OXEpisode::initWithDictionary(OXEpisodesMenuLayer::episodeForCode(QStringLiteral("812_1_%1").arg(n)));
    ASSERT_TRUE(e) << n;
    addFile(e, e->episodeID());
    if (ratios[n - 1] != 0) library_->setRatioEpisodeID(ratios[n - 1], e->episodeID());
  }
  ManualClock clock;
  auto m = menu(812);
  EXPECT_EQ(opening(m), std::make_pair(quint64(1), qint64(2)));  // after the two watched to the end
  const auto& row = tiles(m->layerValue("currentSeasonLayer"));
  ASSERT_EQ(row.size(), 4u);
  EXPECT_EQ(row[3]->layerValue("frameImageLayer")->value("imageThumb").toString(), "");  // the stand-in has none
  ASSERT_TRUE(oxtest::spinUntil([&] {
    for (int i = 0; i < 3; ++i)
      if (row[std::size_t(i)]->layerValue("frameImageLayer")->contents().isNull()) return false;
    return true;
  }));

  LayerPtr root = Layer::layer();
  root->setAnchorPoint(QPointF(0, 0));
  root->setBounds(QRectF(0, 0, 1920, 0.34 * 1080));
  root->addSublayer(m);
  Renderer renderer;
  auto draw = [&](bool marks) {
    for (const LayerPtr& t : row) t->layerValue("circleLayer")->setHidden(!marks);
    Transaction::flush();
    return renderer.renderToImage(root, QSize(1920, 367), clock.now() + 1, Qt::black);
  };
  const QImage bare = draw(false), shown = draw(true);
  auto at = [&](const QImage& img, const LayerPtr& l, double fx, double fy) {
    const QPointF p = inRoot(l, QPointF(fx * l->bounds().width(), fy * l->bounds().height()));
    return QColor(img.pixel(int(p.x()), img.height() - 1 - int(p.y())));
  };

  // The chosen tile stands in the middle, full size, with its thumbnail; the unwatched one shows the empty frame.
  EXPECT_NEAR(inRoot(row[2], QPointF(0.5 * row[2]->bounds().width(), 0)).x(), 960, 1);
  const QImage thumb = row[2]->layerValue("frameImageLayer")->contents();
  const QColor middle = at(shown, row[2], 0.5, 0.5), expected = thumb.pixelColor(thumb.width() / 2, thumb.height() / 2);
  EXPECT_NEAR(middle.red(), expected.red(), 12);
  EXPECT_NEAR(middle.green(), expected.green(), 12);
  EXPECT_NEAR(middle.blue(), expected.blue(), 12);
  const QColor empty = at(shown, row[3], 0.15, 0.5);
  EXPECT_LT(empty.lightness(), 70);
  EXPECT_NEAR(empty.red(), empty.blue(), 16);

  // The circles' fill, to the right of twelve o'clock first: watched to the end, half, not at all.
  auto filled = [&](const LayerPtr& tile, double fx) {
    LayerPtr circle = tile->layerValue("circleLayer");
    const QColor under = at(bare, circle, fx, 0.5), over = at(shown, circle, fx, 0.5);
    return std::abs(over.blue() - int(0.8 * 255 + 0.2 * under.blue())) < 24 &&
           std::abs(over.red() - int(0.8 * 46 + 0.2 * under.red())) < 24;
  };
  EXPECT_TRUE(filled(row[1], 0.8) && filled(row[1], 0.2));
  EXPECT_TRUE(filled(row[2], 0.8));
  EXPECT_FALSE(filled(row[2], 0.2));
  EXPECT_FALSE(filled(row[3], 0.8) || filled(row[3], 0.2));
  EXPECT_LT(at(shown, row[3]->layerValue("circleLayer"), 0.2, 0.5).lightness(),
            at(bare, row[3]->layerValue("circleLayer"), 0.2, 0.5).lightness());
}
