// Ombrix from Home to a movie played and back, on the demo library (the demo tool's scan cycles against the
// stand-ins) with a generated film: left half-way, the watched ratio lands in "ratios.bin", and the next Play
// offers to resume there. Keys go in through the window server, as the keyboard's do.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cstdio>
#include <sys/stat.h>

#include "app/HomeView.h"
#include "app/MoviesView.h"
#include "app/OXMainInterface.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/media/VLCLibrary.h"
#include "platform/ui/WindowServer.h"
#include "tests/app/AppTestUtil.h"
#include "tests/app/DemoLibrary.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/StandIn.h"
#include "tests/support/TemporaryDir.h"
#include "tests/support/TestUtil.h"

using apptest::press;
using apptest::runDemoCycle;

namespace {

const QString kGlassHarbour = QStringLiteral("tt9000001");

}  // namespace

TEST(MoviePlaybackEndToEnd, HomeToAMoviePlayedHalfwayThenResumedWhereItWasLeft) {
  const oxtest::MediaSamples& media = oxtest::mediaSamples();
  if (!media.ok) GTEST_SKIP() << "ffmpeg could not make the film";
  ASSERT_TRUE(oxtest::StandIn::shared().isRunning());
  ox::VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")});
  const QString support = apptest::supportFolder();
  oxtest::TemporaryDir videos;
  const QString movies = videos.filePath("Movies"), shows = videos.filePath("TV Shows");
  QDir().mkpath(movies);
  QDir().mkpath(shows);
  // The film lies in a folder an old disk named in Latin-1, not UTF-8: it is found, kept and played all the same.
  const QByteArray latin1Folder = QFile::encodeName(movies) + "/Vid\xe9os";
  ASSERT_EQ(::mkdir(latin1Folder.constData(), 0755), 0);
  ASSERT_TRUE(QFile::copy(media.longBars, movies + "/film.mkv"));
  ASSERT_EQ(::rename(QFile::encodeName(movies + "/film.mkv").constData(),
                     (latin1Folder + "/The.Glass.Harbour.1998.720p.mkv").constData()),
            0);
  ASSERT_TRUE(QFile::copy(media.longBars, movies + "/Copper Lanterns (2004).mkv"));
  // The second cycle fetches the posters, backdrops and previews of what the first one found.
  ASSERT_TRUE(runDemoCycle(support, movies, shows));
  ASSERT_TRUE(runDemoCycle(support, movies, shows));
  OXLibrary* library = OXLibrary::shareLibrary();
  library->loadLibrary();
  // The process's library goes back to empty for the tests that may run after this one in the same process.
  struct Emptied {
    OXLibrary* library;
    ~Emptied() {
      for (const auto& m : library->movieList()) library->removeContent(m);
    }
  } emptied{library};
  ASSERT_EQ(library->movieList().size(), 2);
  library->setRatioForIMDB(0, kGlassHarbour);

  apptest::Screen1080 screen;
  OXMainInterface::registerInfoValues();
  OXMainInterface ui = OXMainInterface::load();
  ui.window->setFrame(QRectF(0, 0, 1920, 1080));
  ui.window->makeKeyAndOrderFront();
  ui.appController->openHome(0);
  press(ox::DownArrowFunctionKey);
  press(13);
  std::shared_ptr<MoviesView> view;
  ASSERT_TRUE(oxtest::spinUntil([&] {
    view = std::dynamic_pointer_cast<MoviesView>(ui.appController->currentSection());
    return bool(view);
  }));
  ASSERT_TRUE(oxtest::spinUntil([&] { return view->pendingPosters() == 0; }, 10000));
  EXPECT_EQ(view->titleSectionLayer()->string(), "2 Movies");
  press(ox::RightArrowFunctionKey);  // "Copper Lanterns", then "The Glass Harbour"
  ASSERT_TRUE(oxtest::spinUntil([&] { return view->titleSelectedMovie()->string() == "The Glass Harbour"; }));
  EXPECT_TRUE(view->player());  // its soundtrack preview
  ox::Renderer renderer;
  oxtest::spinFor(700);  // the backdrop's fade
  const QImage browser = renderer.renderToImage(view->layer(), QSize(1920, 1080), ox::LayerClock::now(), Qt::black);
  QDir().mkpath(OX_BINARY_DIR "/frames");
  browser.save(OX_BINARY_DIR "/frames/movies_demo_library.png");
  EXPECT_GT(apptest::countPixels(browser, QRect(810, 450, 300, 440), [](const QColor& c) { return c.value() > 60; }),
            100000);  // the poster, not the black of a missing one

  // Play: no ratio yet, so the film starts from the beginning with the stand-in's subtitles.
  press(13);
  std::shared_ptr<OXPlayerController> player;
  ASSERT_TRUE(oxtest::spinUntil([&] {
    player = view->videoPlayer();
    return player && ox::WindowServer::shared().keyWindow() == player->videoPlayerOSD();
  }, 60000));
  EXPECT_FALSE(view->player());
  EXPECT_EQ(player->videoPlayerOSD()->osd()->subtitles().size(), 2);
  // The session logs out once its answer is on its way, while the film opens.
  QStringList rpc;
  EXPECT_TRUE(oxtest::spinUntil([&] {
    rpc.clear();
    for (const QVariant& r : oxtest::StandIn::shared().requests("opensubtitles"))
      rpc << r.toMap().value("rpc").toMap().value("method").toString();
    return rpc.endsWith("LogOut");
  }));
  EXPECT_TRUE(rpc.contains("SearchSubtitles")) << rpc.join(',').toStdString();
  auto vlc = player->videoPlayerCore()->player();
  ASSERT_TRUE(oxtest::spinUntil([&] { return vlc->frameSink()->frameCount() >= 3 && vlc->time().value() >= 500; }));
  // Both windows of the playback as the chosen screen shows them: the film, 4:3 in the middle, under the display.
  QImage playing(1920, 1080, QImage::Format_ARGB32_Premultiplied);
  playing.fill(Qt::black);
  QPainter painter(&playing);
  for (const auto& w : {std::static_pointer_cast<ox::Window>(player->videoPlayerCore()),
                        std::static_pointer_cast<ox::Window>(player->videoPlayerOSD())})
    renderer.render(painter, w->rootLayer(), QSizeF(1920, 1080), ox::LayerClock::now());
  painter.end();
  playing.save(OX_BINARY_DIR "/frames/movies_playback.png");
  // The film's colour bars at 75 %: white, yellow, cyan, green, magenta, red, blue; black beside the picture.
  const int bars[7][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                          {191, 0, 191},   {191, 0, 0},   {0, 0, 191}};
  for (int i = 0; i < 7; ++i)
    EXPECT_TRUE(apptest::near(QColor(playing.pixel(240 + int((i + 0.5) / 7.0 * 1440), 200)),
                              QColor(bars[i][0], bars[i][1], bars[i][2]), 40)) << "bar " << i;
  EXPECT_TRUE(apptest::near(QColor(playing.pixel(100, 200)), Qt::black, 8));

  // Half-way through, the user leaves: the ratio is written at once.
  vlc->setPosition(0.5f);
  ASSERT_TRUE(oxtest::spinUntil([&] { return vlc->position() >= 0.5f; }));
  press(27);
  ASSERT_TRUE(oxtest::spinUntil([&] { return view->acceptEvents() && !view->videoPlayer(); }, 5000));
  EXPECT_EQ(ox::WindowServer::shared().keyWindow(), ui.window);
  const float stored = OXLibrary::libraryWithSupportFolder(support)->ratioForIMDB(kGlassHarbour);
  EXPECT_NEAR(stored, 0.5, 0.08);

  // Play again: the resume panel, whose "Resume" starts the film where it was left.
  press(13);
  ASSERT_TRUE(view->panelResume());
  ASSERT_EQ(ox::WindowServer::shared().keyWindow(), view->panelResume());
  press(13);
  float resumedAt = -1;
  ASSERT_TRUE(oxtest::spinUntil([&] {
    player = view->videoPlayer();
    if (!player || ox::WindowServer::shared().keyWindow() != player->videoPlayerOSD()) return false;
    resumedAt = player->videoPlayerCore()->player()->position();
    return true;
  }, 60000));
  EXPECT_GE(resumedAt, stored - 0.02f);
  EXPECT_LT(resumedAt, stored + 0.15f);
  press(27);
  ASSERT_TRUE(oxtest::spinUntil([&] { return view->acceptEvents() && !view->videoPlayer(); }, 5000));
  EXPECT_GE(OXLibrary::libraryWithSupportFolder(support)->ratioForIMDB(kGlassHarbour), stored - 0.02f);

  // And Menu goes back to Home, on the Movies row.
  press(27);
  std::shared_ptr<HomeView> home;
  ASSERT_TRUE(oxtest::spinUntil([&] {
    home = std::dynamic_pointer_cast<HomeView>(ui.appController->currentSection());
    return bool(home);
  }));
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 1u);
  ui.window->close();
}
