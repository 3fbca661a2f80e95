// Ombrix on the demo library (the demo tool's scan cycles against the stand-ins), driven by keys through the window
// server: a genre filter narrows the movie row; a show's second season is opened and an episode played half-way,
// which changes its watched mark; a trailer of the downloaded list, served over loopback, plays to its end and the
// row comes back. Frames of each view are saved and checked by their pixels.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include "app/EpisodeView.h"
#include "app/HomeView.h"
#include "app/OXMainInterface.h"
#include "app/OXTrailers.h"
#include "app/ShowsView.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/media/VLCLibrary.h"
#include "platform/ui/WindowServer.h"
#include "tests/app/AppTestUtil.h"
#include "tests/app/DemoLibrary.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

using apptest::countPixels;
using apptest::press;

namespace {

const auto kWhite = [](const QColor& c) { return c.red() > 220 && c.green() > 220 && c.blue() > 220; };

class BrowsingEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(oxtest::StandIn::shared().isRunning());
    ox::VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")});
    support = apptest::supportFolder();
    movies = videos.filePath("Movies");
    shows = videos.filePath("TV Shows");
    QDir().mkpath(movies);
    QDir().mkpath(shows);
  }
  void TearDown() override {
    if (ui.window) ui.window->close();
  }

  // Two cycles: the second fetches the pictures of what the first found.
  void scan() {
    ASSERT_TRUE(apptest::runDemoCycle(support, movies, shows));
    ASSERT_TRUE(apptest::runDemoCycle(support, movies, shows));
    OXLibrary::shareLibrary()->loadLibrary();
    OXLibrary::shareLibrary()->setListenSoundtracks(false);
  }
  void copy(const QString& from, const QString& to) {
    QDir().mkpath(QFileInfo(to).path());
    ASSERT_TRUE(QFile::copy(from, to)) << to.toStdString();
  }
  void openHome() {
    OXMainInterface::registerInfoValues();
    ui = OXMainInterface::load();
    ui.window->setFrame(QRectF(0, 0, 1920, 1080));
    ui.window->makeKeyAndOrderFront();
    ui.appController->openHome(0);
  }
  template <class View>
  std::shared_ptr<View> waitForSection() {
    std::shared_ptr<View> view;
    EXPECT_TRUE(oxtest::spinUntil([&] {
      view = std::dynamic_pointer_cast<View>(ui.appController->currentSection());
      return bool(view);
    }));
    if (view) {
      EXPECT_TRUE(oxtest::spinUntil([&] { return view->pendingPosters() == 0; }, 10000));
    }
    oxtest::spinFor(700);  // the backdrop's fade
    return view;
  }
  QImage frame(const ox::LayerPtr& layer, const QString& name) {
    const QImage img = renderer.renderToImage(layer, QSize(1920, 1080), ox::LayerClock::now(), Qt::black);
    QDir().mkpath(OX_BINARY_DIR "/frames");
    EXPECT_TRUE(img.save(QStringLiteral(OX_BINARY_DIR "/frames/") + name));
    return img;
  }
  static bool isHome(const std::shared_ptr<OXSectionView>& v) { return bool(std::dynamic_pointer_cast<HomeView>(v)); }

  apptest::Screen1080 screen;
  QString support, movies, shows;
  QTemporaryDir videos;
  OXMainInterface ui;
  ox::Renderer renderer;
};

}  // namespace

TEST_F(BrowsingEndToEnd, AGenreNarrowsTheRowAndAShowsEpisodePlayedHalfwayChangesItsWatchedMark) {
  const oxtest::MediaSamples& media = oxtest::mediaSamples();
  if (!media.ok) GTEST_SKIP() << "ffmpeg could not make the videos";
  copy(media.clip, movies + "/The.Glass.Harbour.1998.720p.mkv");
  copy(media.clip, movies + "/Copper Lanterns (2004).mkv");
  copy(media.clip, movies + "/Ferris Wheel at Noon (2013).mkv");
  copy(media.longBars, shows + "/Lantern Street/Season 1/Lantern.Street.S01E01.mkv");
  copy(media.longBars, shows + "/Lantern Street/Season 1/Lantern.Street.S01E02.mkv");
  copy(media.longBars, shows + "/Lantern Street/Season 2/Lantern.Street.S02E01.mkv");
  scan();
  ASSERT_EQ(OXLibrary::shareLibrary()->movieList().size(), 3);
  ASSERT_EQ(OXLibrary::shareLibrary()->episodeList().size(), 3);
  openHome();

  // Movies, then Down: the filters with a title each, in table order; "Action & Mistery" keeps only the mystery.
  press(ox::DownArrowFunctionKey);
  press(13);
  auto moviesView = waitForSection<MoviesView>();
  ASSERT_TRUE(moviesView);
  EXPECT_EQ(moviesView->titleSectionLayer()->string(), "3 Movies");
  press(ox::DownArrowFunctionKey);
  ASSERT_TRUE(moviesView->filterMenu());
  ASSERT_EQ(ox::WindowServer::shared().keyWindow(), moviesView->filterMenu());
  QStringList offered;
  for (const auto& g : moviesView->filtersArray()) offered << g.title;
  EXPECT_EQ(offered, QStringList({"See Everything", "Fall In Love", "Action & Mistery"}));
  for (int i = 0; i < 2; ++i) press(ox::DownArrowFunctionKey);
  press(13);
  EXPECT_EQ(moviesView->titleSectionLayer()->string(), "1 Movies");
  EXPECT_EQ(moviesView->selectedCoverTitle(), "The Glass Harbour");
  ASSERT_TRUE(oxtest::spinUntil([&] { return ox::WindowServer::shared().keyWindow() == ui.window; }, 3000));
  oxtest::spinFor(900);  // the row's rearrangement and the backdrop's fade
  const QImage filtered = frame(moviesView->layer(), "movies_genre_filter.png");
  // The poster in the middle, nothing on either side of it where the other two stood.
  EXPECT_GT(countPixels(filtered, QRect(810, 450, 300, 440), [](const QColor& c) { return c.value() > 60; }), 100000);
  // The backdrop runs from top to bottom: across a row, where the other posters stood it is one colour.
  for (int x : {420, 650, 1270, 1500})
    EXPECT_TRUE(apptest::near(QColor(filtered.pixel(x, 650)), QColor(filtered.pixel(200, 650)), 6)) << x;
  EXPECT_GT(countPixels(filtered, QRect(1600, 20, 300, 60), kWhite), 150);  // "1 Movies"

  // Home, then Shows: one show, opened with Play on its episodes; Down moves to season 2.
  press(27);
  ASSERT_TRUE(oxtest::spinUntil([&] { return isHome(ui.appController->currentSection()); }));
  press(ox::DownArrowFunctionKey);
  press(13);
  auto showsView = waitForSection<ShowsView>();
  ASSERT_TRUE(showsView);
  EXPECT_EQ(showsView->titleSectionLayer()->string(), "1 Shows");
  EXPECT_EQ(showsView->selectedCoverTitle(), "Lantern Street");
  const QImage browser = frame(showsView->layer(), "shows_demo_library.png");
  EXPECT_GT(countPixels(browser, QRect(810, 450, 300, 440), [](const QColor& c) { return c.value() > 60; }), 100000);
  press(13);
  std::shared_ptr<EpisodeView> episodes = showsView->episodeView();
  ASSERT_TRUE(episodes);
  EXPECT_EQ(ui.window->firstResponder(), episodes);
  EXPECT_EQ(episodes->superview(), ui.window->contentView());
  oxtest::spinFor(600);  // the menu comes in
  auto menu = episodes->episodesMenu();
  EXPECT_EQ(menu->currentSeason(), 1u);
  press(ox::DownArrowFunctionKey);
  ASSERT_TRUE(oxtest::spinUntil([&] { return menu->currentSeason() == 2 && !menu->changingSeason(); }, 3000));
  const auto episode = menu->episodeSelected();
  ASSERT_TRUE(episode);
  EXPECT_EQ(episode->episodeID(), 4345u);
  const auto circle = [&] {
    return menu->layerValue("currentSeasonLayer")->layerValue("episodeListLayer")->sublayers()[0]->layerValue(
        "circleLayer");
  };
  EXPECT_EQ(circle()->contents(), OXEpisodesMenuLayer::watchedMarkImage(0));
  oxtest::spinFor(400);
  frame(episodes->layer(), "episodes_season2.png");

  // Play: no ratio, so it starts from the beginning; left half-way.
  press(13);
  std::shared_ptr<OXPlayerController> player;
  ASSERT_TRUE(oxtest::spinUntil([&] {
    player = episodes->videoPlayer();
    return player && ox::WindowServer::shared().keyWindow() == player->videoPlayerOSD();
  }, 60000));
  EXPECT_EQ(showsView->layer()->opacity(), 0);
  auto vlc = player->videoPlayerCore()->player();
  ASSERT_TRUE(oxtest::spinUntil([&] { return vlc->frameSink()->frameCount() >= 3 && vlc->time().value() >= 500; }));
  vlc->setPosition(0.5f);
  ASSERT_TRUE(oxtest::spinUntil([&] { return vlc->position() >= 0.5f; }));
  press(27);
  ASSERT_TRUE(oxtest::spinUntil([&] { return episodes->acceptEvents() && !episodes->videoPlayer(); }, 5000));
  episodes->waitForRatioStores();
  EXPECT_EQ(ox::WindowServer::shared().keyWindow(), ui.window);
  EXPECT_EQ(showsView->layer()->opacity(), 1);
  const float stored = OXLibrary::libraryWithSupportFolder(support)->ratioForEpisodeID(4345);
  EXPECT_NEAR(stored, 0.5, 0.08);
  EXPECT_EQ(OXLibrary::shareLibrary()->ratioForEpisodeID(4341), 0.0f);
  // Its circle now shows half of the episode watched.
  oxtest::spinFor(100);
  EXPECT_EQ(circle()->contents(), OXEpisodesMenuLayer::watchedMarkImage(stored));
  EXPECT_NE(circle()->contents(), OXEpisodesMenuLayer::watchedMarkImage(0));
  const QImage marked = frame(episodes->layer(), "episodes_watched.png");
  frame(ui.window->contentView()->layer(), "episodes_over_shows.png");
  // The show's title above the menu, the episode's tile under it with its circle half filled.
  EXPECT_GT(countPixels(marked, QRect(560, 630, 800, 100), kWhite), 1000);
  EXPECT_GT(countPixels(marked, QRect(750, 800, 370, 230), [](const QColor& c) { return c.saturation() > 80; }),
            50000);

  // Menu: back to the browser, then to Home on the Shows row.
  press(27);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !showsView->episodeView(); }, 3000));
  EXPECT_FALSE(episodes->superview());
  EXPECT_EQ(ui.window->firstResponder(), showsView);
  press(27);
  ASSERT_TRUE(oxtest::spinUntil([&] { return isHome(ui.appController->currentSection()); }));
  EXPECT_EQ(std::static_pointer_cast<HomeView>(ui.appController->currentSection())->homeSectionList()->selectedRow(),
            2u);
}

TEST_F(BrowsingEndToEnd, ATrailerServedOverLoopbackPlaysToItsEndAndTheRowComesBack) {
  scan();
  ASSERT_TRUE(QFileInfo::exists(OXLibrary::shareLibrary()->pathWithFolder("Trailers", "trailers_en.ox")));
  openHome();
  press(13);  // Home opens on "Trailers"
  auto trailers = waitForSection<OXTrailers>();
  ASSERT_TRUE(trailers);
  const qsizetype count = trailers->contentList().size();
  ASSERT_GT(count, 1);
  EXPECT_EQ(trailers->titleSectionLayer()->string(), QStringLiteral("%1 Trailers").arg(count));
  EXPECT_EQ(trailers->selectedCoverTitle(), QString::fromUtf8("Café Noël"));
  const QImage row = frame(trailers->layer(), "trailers_demo_list.png");
  EXPECT_GT(countPixels(row, QRect(810, 450, 300, 440), [](const QColor& c) { return c.value() > 60; }), 100000);
  EXPECT_GT(countPixels(row, QRect(1500, 20, 400, 60), kWhite), 150);

  oxtest::StandIn::shared().clear();
  const float before = OXLibrary::shareLibrary()->ratioForIMDB("tt9000004");
  press(13);
  std::shared_ptr<OXFoundationPlayer> window;
  ASSERT_TRUE(oxtest::spinUntil([&] {
    window = trailers->foundationPlayer();
    return window && ox::WindowServer::shared().keyWindow() == window;
  }, 60000));
  EXPECT_FALSE(trailers->panelResume());
  ASSERT_TRUE(oxtest::spinUntil([&] { return window->player()->currentTime() >= 0.5; }, 10000));
  window->setFrame(QRectF(0, 0, 1920, 1080));  // the headless screen may be of another size
  oxtest::spinFor(100);
  QImage playing(1920, 1080, QImage::Format_ARGB32_Premultiplied);
  playing.fill(Qt::black);
  QPainter painter(&playing);
  renderer.render(painter, window->rootLayer(), QSizeF(1920, 1080), ox::LayerClock::now());
  painter.end();
  QDir().mkpath(OX_BINARY_DIR "/frames");
  playing.save(OX_BINARY_DIR "/frames/trailers_playing.png");
  // The stand-in's test pattern, coloured, in the middle of the screen.
  EXPECT_GT(countPixels(playing, QRect(560, 340, 800, 400), [](const QColor& c) { return c.saturation() > 80; }),
            20000);
  bool fetched = false;
  for (const QVariant& r : oxtest::StandIn::shared().requests("bucket"))
    fetched = fetched || r.toMap().value("path").toString() == "/trailers/tt9000004.mp4";
  EXPECT_TRUE(fetched);

  // The two-second trailer ends by itself: the window goes, every observation with it, and the row is back.
  ASSERT_TRUE(oxtest::spinUntil([&] { return !trailers->foundationPlayer() && trailers->acceptEvents(); }, 60000));
  EXPECT_FALSE(trailers->isObservingTrailer());
  EXPECT_FALSE(trailers->isPlaying());
  EXPECT_FALSE(trailers->errorPanel());
  EXPECT_EQ(ox::WindowServer::shared().keyWindow(), ui.window);
  EXPECT_EQ(trailers->coverflowLayer()->opacity(), 1);
  EXPECT_EQ(trailers->splashScreen()->opacity(), 0);
  EXPECT_EQ(OXLibrary::shareLibrary()->ratioForIMDB("tt9000004"), before);
  window.reset();
  const QImage back = frame(trailers->layer(), "trailers_after_trailer.png");
  EXPECT_GT(countPixels(back, QRect(810, 450, 300, 440), [](const QColor& c) { return c.value() > 60; }), 100000);
}
