// The movie browser on a library of this test alone: its frames, footer, posters, keys and the roads from Play to
// the player and back, with the player's own side left out (the end-to-end test plays for real).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>

#include "app/MoviesView.h"
#include "app/OXMainInterface.h"
#include "app/OXPanelResumeView.h"
#include "app/OXSubtitleLookup.h"
#include "app/OXWindow.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/layers/CALayer_AFNetworking.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/Transaction.h"
#include "platform/media/VLCLibrary.h"
#include "platform/ui/Images.h"
#include "platform/ui/Window.h"
#include "platform/ui/WindowServer.h"
#include "playback/OXVideoOSD.h"
#include "tests/app/AppTestUtil.h"
#include "tests/app/MoviesViewFixture.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

using apptest::countPixels;
using apptest::near;

namespace {

using MoviesViewTest = apptest::MoviesViewTest;
using apptest::kBackdrop;

// What the override point is asked to play.
struct RecordingMovies : MoviesView {
  using MoviesView::MoviesView;
  QList<float> plays;
  void playMovieWithRatio(float ratio) override { plays << ratio; }
};

QString key(char16_t c) { return QString(QChar(c)); }

}  // namespace

TEST_F(MoviesViewTest, SettledFrameShowsTheTitleOverItsBackdropAndAMoveSlidesTheRow) {
  const QColor colours[] = {{200, 40, 40}, {40, 180, 60}, {220, 200, 30}, {160, 60, 200}, {240, 140, 20}};
  const char* titles[] = {"Amber Fields", "Birch Lake", "Cedar Point", "Dune Harbour", "Ember Road"};
  for (int i = 0; i < 5; ++i)
    addMovie(QStringLiteral("tt80000%1").arg(i), titles[4 - i], colours[4 - i],
             {{"genre", QStringList{"Drama", "Mystery"}}, {"rating", 7.5}, {"runtime", 101}});
  auto view = makeView();
  EXPECT_EQ(view->titleSectionLayer()->string(), "5 Movies");
  EXPECT_EQ(view->selectedCoverTitle(), "Amber Fields");  // sorted by title
  view->moveRight();
  view->keyDown(ox::KeyEvent::withCharacters(key(ox::RightArrowFunctionKey)));
  settle();
  const QImage settled = render(view, clock.now());
  saveFrame(settled, "movies_settled.png");
  EXPECT_EQ(view->titleSelectedMovie()->string(), "Cedar Point");
  // The selected poster stands flat in the middle, its dimmed reflection under it; the backdrop fills the top.
  EXPECT_TRUE(near(QColor(settled.pixel(960, 600)), colours[2], 12));
  const QColor mirrored(settled.pixel(830, 1060));
  EXPECT_LT(mirrored.red(), 70);
  EXPECT_GT(mirrored.red(), mirrored.blue() + 10);
  EXPECT_TRUE(near(QColor(settled.pixel(960, 150)), kBackdrop, 12));
  // Posters on either side are turned away and smaller than the middle one.
  EXPECT_TRUE(near(QColor(settled.pixel(700, 700)), colours[1], 12));
  EXPECT_TRUE(near(QColor(settled.pixel(1220, 700)), colours[3], 12));
  EXPECT_FALSE(near(QColor(settled.pixel(700, 470)), colours[1], 40));
  const auto white = [](const QColor& c) { return c.red() > 230 && c.green() > 230 && c.blue() > 230; };
  EXPECT_GT(countPixels(settled, QRect(760, 920, 400, 80), white), 500);      // "Cedar Point"
  EXPECT_GT(countPixels(settled, QRect(1600, 20, 300, 60), white), 150);      // "5 Movies"
  EXPECT_GT(countPixels(settled, QRect(30, 20, 200, 60), white), 80);         // the clock

  view->moveRight();
  ox::Transaction::flush();
  const QImage sliding = render(view, clock.now() + 0.1);
  saveFrame(sliding, "movies_slide_0.1s.png");
  // Halfway: no backdrop and no footer, the next poster on its way in from the right, still turned.
  EXPECT_TRUE(near(QColor(sliding.pixel(960, 150)), Qt::black, 4));
  EXPECT_EQ(countPixels(sliding, QRect(760, 920, 400, 80), white), 0);
  EXPECT_TRUE(near(QColor(sliding.pixel(1000, 600)), colours[3], 12));
  EXPECT_TRUE(near(QColor(sliding.pixel(830, 600)), colours[2], 12));
  settle();
  const QImage next = render(view, clock.now());
  EXPECT_TRUE(near(QColor(next.pixel(960, 600)), colours[3], 12));
  EXPECT_TRUE(near(QColor(next.pixel(830, 600)), colours[3], 12));
  EXPECT_EQ(view->titleSelectedMovie()->string(), "Dune Harbour");
}

TEST(MoviesViewText, StarsTruncationAndGenres) {
  const std::pair<float, const char*> stars[] = {
      {0, " "},      {0.5f, " "},     {1, "2"},       {2.9f, "1"},     {3, "12"},         {4, "11"},
      {5, "112"},    {6, "111"},      {7, "1112"},    {8, "1111"},     {9.9f, "11112"},   {10, "11111"},
      {42, "11111"}, {-1, " "},       {-0.5f, " "},   {NAN, " "},      {INFINITY, " "},   {-INFINITY, " "}};
  for (const auto& [rating, glyphs] : stars) EXPECT_EQ(MoviesView::ratingStars(rating), glyphs) << rating;
  const QString t35 = QString(35, 'a'), t36 = QString(36, 'b');
  EXPECT_EQ(MoviesView::truncate(t35, 36), t35);
  EXPECT_EQ(MoviesView::truncate(t36, 36), t36 + QChar(0x2026));
  EXPECT_EQ(MoviesView::truncate(t36 + "cd", 36), t36 + QChar(0x2026));
  EXPECT_TRUE(MoviesView::truncate(QString(), 36).isNull());
}

TEST_F(MoviesViewTest, FooterCyclesGenresStarsAndRunningTime) {
  addMovie("tt8100001", "Lantern Keeper", QColor(90, 90, 200),
           {{"genre", QStringList{"Drama", "Comedy", "Crime", "Family", "War"}}, {"rating", 9.9}, {"runtime", 0}});
  auto view = makeView();
  EXPECT_EQ(view->genreMovie()->string(), "Drama, Comedy, Crime");
  EXPECT_EQ(view->ratingMovie()->string(), "11112");
  EXPECT_EQ(view->durationMovie()->string(), "- Minutes");
  const auto shown = [&] {
    QStringList lines;
    if (view->genreMovie()->opacity() == 1) lines << "genre";
    if (view->ratingMovie()->opacity() == 1 && view->ratingMovieBack()->opacity() == 1) lines << "stars";
    if (view->durationMovie()->opacity() == 1) lines << "runtime";
    return lines.join(',');
  };
  EXPECT_EQ(shown(), "genre");
  for (const char* next : {"stars", "runtime", "genre", "stars"}) {
    ox::DelayedCall::advanceManualTime(MoviesView::kFooterPeriod);
    EXPECT_EQ(shown(), next);
  }
}

TEST_F(MoviesViewTest, AnEmptyRowSelectsNothingAndNoIndexOutsideTheRowSelectsATitle) {
  {
    auto empty = makeView();
    EXPECT_EQ(empty->titleSectionLayer()->string(), "0 Movies");
    EXPECT_EQ(empty->numberOfCovers(), 0u);
    EXPECT_EQ(empty->selectedIndex(), quint64(-1));
    EXPECT_FALSE(empty->objectSelected());
    empty->coverUp();
    empty->coverDown();
    empty->moveRight();
    ox::DelayedCall::advanceManualTime(MoviesView::kFooterPeriod);
    EXPECT_EQ(empty->footerBaseLayer()->opacity(), 0);
    EXPECT_TRUE(empty->movieBackdrop()->contents().isNull());
    EXPECT_EQ(empty->posterWidth(), 322);
    EXPECT_EQ(empty->posterHeight(), 477);
  }
  addMovie("tt8200001", "First", QColor(200, 0, 0));
  addMovie("tt8200002", "Second", QColor(0, 200, 0));
  auto view = makeView();
  view->coverDown();
  EXPECT_EQ(view->selectedIndex(), 0u);
  view->coverUp();
  view->coverUp();
  EXPECT_EQ(view->selectedIndex(), 1u);
  for (qint64 outside : {qint64(-1), qint64(2), qint64(1000)}) {
    view->setSelectedIndex(outside);
    EXPECT_FALSE(view->objectSelected()) << outside;
    EXPECT_TRUE(view->selectedCoverTitle().isEmpty());
    EXPECT_TRUE(view->objectID().isEmpty());
    EXPECT_EQ(view->selectedCoverPercentage(), 0.0f);
  }
}

TEST_F(MoviesViewTest, PostersAreVeiledWhenTheirFileIsMissingAndFetchedOnlyWhenNotCached) {
  bucket.setHandler("/images/w500/poster_tt8300003.png", [](const auto&) {
    return oxtest::LoopbackServer::Reply{404, "no", "text/plain", {}};
  });
  const QColor red(220, 40, 40);
  addMovie("tt8300001", "A Present", red);
  addMovie("tt8300002", "B Missing", red, {}, true);
  addMovie("tt8300003", "C Nothing", QColor(), {}, true);
  auto view = makeView();
  const std::vector<ox::LayerPtr>& posters = view->coverflowLayer()->sublayers();
  ASSERT_EQ(posters.size(), 3u);
  const auto picture = [&](int i) { return posters[std::size_t(i)]->layerValue("__imageLayer")->contents(); };
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(picture(i).size(), QSize(322, 477));
    EXPECT_EQ(qAlpha(picture(i).pixel(0, 0)), 0) << "rounded corner " << i;
    EXPECT_EQ(posters[std::size_t(i)]->layerValue("__holderLayer")->superlayer(), posters[std::size_t(i)]);
  }
  EXPECT_TRUE(near(QColor(picture(0).pixel(160, 240)), red, 6));
  // Black at 60 % over the poster at full strength; over the unknown poster at 0.7 of it.
  EXPECT_TRUE(near(QColor(picture(1).pixel(160, 240)), QColor(88, 16, 16), 6));
  const QColor unknown(ox::imageNamed("unknowPoster.jpg").scaled(322, 477).pixel(20, 240));
  const double kept = 1 - 0.6 * 0.7;
  EXPECT_NEAR(QColor(picture(2).pixel(20, 240)).red(), unknown.red() * kept, 6);
  QStringList asked;
  for (const auto& r : bucket.requests()) asked << QString::fromLatin1(r.path);
  EXPECT_EQ(asked, QStringList{"/images/w500/poster_tt8300003.png"});
}

TEST_F(MoviesViewTest, DroppingTheBrowserWhileItsPosterServerDoesNotAnswerNeverHoldsTheMainThread) {
  bucket.setNeverAnswer(true);
  for (int i = 0; i < 6; ++i) addMovie(QStringLiteral("tt830010%1").arg(i), QStringLiteral("Far %1").arg(i), QColor());
  auto window = OXWindow::create();
  window->setContentView(std::make_shared<ox::View>());
  auto view = std::make_shared<MoviesView>(OXPreferencesValues::sharePreferences()->mainScreenFrame());
  view->setupLayers();
  window->contentView()->addSubview(view);
  ASSERT_TRUE(bucket.waitForRequests(2));  // two downloads under way, four posters waiting
  std::weak_ptr<MoviesView> dropped = view;
  QTimer::singleShot(0, [&] {
    view->removeFromSuperview();
    view.reset();
  });
  EXPECT_LT(apptest::longestLoopStallMs(300), 1000);  // a wait on a download would last its 15 s time-out
  EXPECT_TRUE(dropped.expired());
  EXPECT_EQ(bucket.requestCount(), 2);  // the waiting posters were never asked for
  window->close();
}

TEST_F(MoviesViewTest, MenuEndsThePosterDownloadsOfAServerThatDoesNotAnswer) {
  bucket.setNeverAnswer(true);
  for (int i = 0; i < 4; ++i) addMovie(QStringLiteral("tt830020%1").arg(i), QStringLiteral("Far %1").arg(i), QColor());
  auto view = std::make_shared<MoviesView>(OXPreferencesValues::sharePreferences()->mainScreenFrame());
  view->setupLayers();
  view->setDelegate(switcher);
  ASSERT_TRUE(bucket.waitForRequests(2));
  EXPECT_EQ(view->pendingPosters(), 4);
  view->keyMenu();
  // Ended, not run to their 15 s time-out.
  EXPECT_TRUE(oxtest::spinUntil([&] { return view->pendingPosters() == 0; }, 5000));
  EXPECT_EQ(bucket.requestCount(), 2);
}

TEST_F(MoviesViewTest, MenuEndsTheBackdropDownloadOfAServerThatDoesNotAnswerToo) {
  bucket.setNeverAnswer(true);
  addMovie("tt8300300", "Far", kBackdrop);
  QFile::remove(library()->pathWithFolder("backdrops", "backdrop_tt8300300.png"));
  auto view = makeView();
  ASSERT_TRUE(bucket.waitForRequests(1));
  ASSERT_EQ(ox::af_sharedLayerImageRequestOperationQueue().operationCount(), 1);
  view->keyMenu();
  EXPECT_TRUE(oxtest::spinUntil(
      [] { return ox::af_sharedLayerImageRequestOperationQueue().operationCount() == 0; }, 5000));
}

TEST_F(MoviesViewTest, MovesSettleBeforeFooterBackdropAndPreviewFollowAndHoldsRepeatToTheEnd) {
  const oxtest::MediaSamples& media = oxtest::mediaSamples();
  if (!media.ok) GTEST_SKIP() << "ffmpeg could not make the preview";
  for (int i = 0; i < 4; ++i) {
    addMovie(QStringLiteral("tt840000%1").arg(i), QStringLiteral("Title %1").arg(i), QColor(50 * i, 100, 100));
    QFile::copy(media.tone, QDir(library()->pathWithFolder("soundtrack.preview", {})).filePath(
                                   QStringLiteral("tt840000%1.wav").arg(i)));
  }
  library()->setListenSoundtracks(true);
  auto view = makeView();
  EXPECT_TRUE(view->player());
  view->moveRight();
  view->moveRight();
  EXPECT_FALSE(view->player());
  EXPECT_TRUE(view->movieBackdrop()->contents().isNull());
  EXPECT_EQ(view->footerBaseLayer()->opacity(), 0);
  EXPECT_EQ(view->titleSelectedMovie()->string(), "Title 0");
  ox::DelayedCall::advanceManualTime(MoviesView::kSettleTime - 0.01);
  EXPECT_EQ(view->titleSelectedMovie()->string(), "Title 0");
  ox::DelayedCall::advanceManualTime(0.02);
  EXPECT_EQ(view->titleSelectedMovie()->string(), "Title 2");
  EXPECT_EQ(view->footerBaseLayer()->opacity(), 1);
  EXPECT_FALSE(view->movieBackdrop()->contents().isNull());
  EXPECT_TRUE(view->player());

  // Held Right repeats every 0.05 s and stops at the last poster; letting go stops the repeat.
  view->holdRight();
  ox::DelayedCall::advanceManualTime(0.051);
  EXPECT_EQ(view->selectedIndex(), 3u);
  ox::DelayedCall::advanceManualTime(0.5);
  EXPECT_EQ(view->selectedIndex(), 3u);
  EXPECT_TRUE(view->isRepeating());
  view->releaseButton();
  EXPECT_FALSE(view->isRepeating());
  view->holdLeft();
  ox::DelayedCall::advanceManualTime(0.101);
  view->releaseButton();
  EXPECT_EQ(view->selectedIndex(), 1u);

  // Up, Down (a single filter), "m" and "p" change nothing; the soundtrack setting off makes no player.
  for (const QString& k : {key(ox::UpArrowFunctionKey), key(ox::DownArrowFunctionKey), QString("m"), QString("p")})
    view->keyDown(ox::KeyEvent::withCharacters(k));
  EXPECT_EQ(view->selectedIndex(), 1u);
  EXPECT_FALSE(view->filterMenu());
  library()->setListenSoundtracks(false);
  view->moveRight();
  ox::DelayedCall::advanceManualTime(1);
  EXPECT_FALSE(view->player());
  EXPECT_TRUE(switcher->calls.isEmpty());
}

TEST_F(MoviesViewTest, MenuLeavesForHomeOnceAndStopsTheViewsWork) {
  addMovie("tt8500001", "Only", QColor(10, 200, 10));
  auto view = makeView();
  EXPECT_TRUE(view->isClockRunning());
  EXPECT_TRUE(view->isFooterRotating());
  view->keyDown(ox::KeyEvent::withCharacters(key(27)));
  view->keyDown(ox::KeyEvent::withCharacters(key(127)));  // during the fade
  view->keyMenu();
  EXPECT_FALSE(view->isClockRunning());
  EXPECT_FALSE(view->isFooterRotating());
  EXPECT_EQ(view->layer()->opacity(), 0);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !switcher->calls.isEmpty(); }, 3000));
  oxtest::spinFor(700);
  EXPECT_EQ(switcher->calls, QStringList{"home 1"});
}

TEST_F(MoviesViewTest, PlayOnAMissingFileOrAnEmptyRowShowsTheAlertAndBringsTheBrowserBack) {
  for (bool empty : {false, true}) {
    SCOPED_TRACE(empty ? "empty row" : "missing file");
    if (!empty) addMovie("tt8600001", "Gone", QColor(200, 200, 200), {}, true);
    auto view = makeView();
    if (empty) {
      for (const auto& m : added) library()->removeContent(m);
      view = makeView();
    }
    view->keyDown(ox::KeyEvent::withCharacters("\r"));
    EXPECT_TRUE(view->isPlaying());
    EXPECT_FALSE(view->acceptEvents());
    view->moveRight();  // ignored while a title opens
    EXPECT_FALSE(view->isSelectionSettling());
    settle(MoviesView::kPlayDelay);
    EXPECT_EQ(view->splashScreen()->opacity(), 1);
    ASSERT_TRUE(view->errorPanel());
    EXPECT_EQ(view->errorPanel()->simpleAlertView()->textArray(),
              QStringList({"We're unable to open this file.", "If you bought it on the iTunes store,",
                           "it's probably DRM protected."}));
    EXPECT_FALSE(view->isPlaying());
    EXPECT_FALSE(view->videoPlayer());
    settle(MoviesView::kReturnDelay);
    EXPECT_EQ(view->splashScreen()->opacity(), 0);
    settle(0.5);
    EXPECT_TRUE(view->acceptEvents());
    EXPECT_EQ(view->coverflowLayer()->opacity(), 1);
    view->errorPanel()->close();
  }
}

TEST_F(MoviesViewTest, MenuDuringThePlayDelayCancelsThePendingPlayback) {
  addMovie("tt8700001", "Present", QColor(200, 100, 0));
  auto view = makeView();
  view->keyPlay();
  EXPECT_TRUE(view->isPlaybackPending());
  ox::DelayedCall::advanceManualTime(0.1);
  view->keyMenu();
  EXPECT_TRUE(view->acceptEvents());
  EXPECT_FALSE(view->isPlaying());
  EXPECT_FALSE(view->isPlaybackPending());
  settle(2);
  EXPECT_FALSE(view->videoPlayer());
  EXPECT_FALSE(view->errorPanel());
  EXPECT_TRUE(view->acceptEvents());
  EXPECT_EQ(view->splashScreen()->opacity(), 0);
  EXPECT_TRUE(switcher->calls.isEmpty());  // Menu cancelled; it did not leave
}

TEST_F(MoviesViewTest, PlayWhileOpenSubtitlesDoesNotAnswerKeepsTheLoopTurningAndMenuCancelsTheOpening) {
  oxtest::StandIn& service = oxtest::StandIn::shared();
  ASSERT_TRUE(service.isRunning());
  ASSERT_TRUE(service.fault("opensubtitles", "stall", -1, "/xml-rpc", 60));
  addMovie("tt9000001", "Waited For", QColor(200, 100, 0));
  auto view = makeView();
  ox::DelayedCall::useManualTime(false);
  view->keyPlay();
  // The play delay, then a log-in that gets no answer: the splash screen is up and every turn of the loop is short.
  EXPECT_LT(apptest::longestLoopStallMs(1000), 1000);
  EXPECT_EQ(service.waitForRequests("opensubtitles", 1).size(), 1);
  EXPECT_TRUE(view->isPlaying());
  EXPECT_TRUE(view->isPlaybackPending());
  EXPECT_FALSE(view->acceptEvents());
  EXPECT_FALSE(view->videoPlayer());
  view->keyMenu();
  EXPECT_FALSE(view->isPlaying());
  EXPECT_FALSE(view->isPlaybackPending());
  EXPECT_TRUE(view->acceptEvents());
  // The service comes back: the opening stays cancelled.
  service.clear();
  EXPECT_LT(apptest::longestLoopStallMs(1500), 1000);
  EXPECT_FALSE(view->videoPlayer());
  EXPECT_FALSE(view->errorPanel());
  EXPECT_TRUE(switcher->calls.isEmpty());

  // A browser that goes while its search waits takes the search with it.
  ASSERT_TRUE(service.fault("opensubtitles", "stall", -1, "/xml-rpc", 60));
  view->keyPlay();
  ASSERT_TRUE(oxtest::spinUntil([&] { return service.requests("opensubtitles").size() == 1; }, 5000));
  std::weak_ptr<MoviesView> gone = view;
  view.reset();
  EXPECT_TRUE(gone.expired());
  service.clear();
  EXPECT_LT(apptest::longestLoopStallMs(500), 1000);
}

TEST_F(MoviesViewTest, AnOpenSubtitlesThatFailsOrTimesOutStartsTheFilmWithoutSubtitles) {
  const oxtest::MediaSamples& media = oxtest::mediaSamples();
  if (!media.ok) GTEST_SKIP() << "ffmpeg could not make the film";
  oxtest::StandIn& service = oxtest::StandIn::shared();
  ASSERT_TRUE(service.isRunning());
  const auto movie = addMovie("tt9000001", "Subtitled", QColor(0, 120, 220));  // the stand-in has two for it
  QFile::remove(movie->file()->filePath());
  ASSERT_TRUE(QFile::copy(media.longBars, movie->file()->filePath()));
  auto view = makeView();
  for (const QString fault : {"none", "500", "close", "stall"}) {
    SCOPED_TRACE(fault.toStdString());
    service.clear();
    if (fault != "none") {
      ASSERT_TRUE(service.fault("opensubtitles", fault, -1, "/xml-rpc", 60));
    }
    view->keyPlay();
    settle(MoviesView::kPlayDelay);
    if (fault == "stall") {
      ASSERT_EQ(service.waitForRequests("opensubtitles", 1).size(), 1);
      oxtest::spinFor(200);
      EXPECT_FALSE(view->videoPlayer());
      ox::DelayedCall::advanceManualTime(OXSubtitleLookup::kTimeout);
    }
    std::shared_ptr<OXPlayerController> player;
    ASSERT_TRUE(oxtest::spinUntil([&] {
      player = view->videoPlayer();
      return player && ox::WindowServer::shared().keyWindow() == player->videoPlayerOSD();
    }, 60000));
    EXPECT_EQ(player->videoPlayerOSD()->osd()->subtitles().size(), fault == "none" ? 2 : 0);
    view->keyMenu();
    ASSERT_TRUE(oxtest::spinUntil([&] { return !view->videoPlayer(); }, 5000));
    settle(1);
    EXPECT_TRUE(view->acceptEvents());
  }
}

TEST_F(MoviesViewTest, AStoredRatioAsksToResumeAndOneAnswerStartsOnePlayback) {
  auto movie = addMovie("tt8800001", "Halfway", QColor(0, 120, 220));
  auto window = OXWindow::create();
  window->setContentView(std::make_shared<ox::View>());
  auto view = makeView<RecordingMovies>();
  window->contentView()->addSubview(view);
  window->makeKeyAndOrderFront();
  window->makeFirstResponder(view);

  library()->setRatioForIMDB(0, movie->imdb());
  view->keyPlay();
  EXPECT_EQ(view->plays, QList<float>{0.0f});
  EXPECT_FALSE(view->panelResume());

  library()->setRatioForIMDB(0.97f, movie->imdb());
  view->keyPlay();
  ASSERT_TRUE(view->panelResume());
  EXPECT_EQ(ox::WindowServer::shared().keyWindow(), view->panelResume());
  // Left with Menu: no answer, the registration stays for the next panel, which adds none.
  std::static_pointer_cast<OXPanelResumeView>(view->panelResume()->panelView())->keyMenu();
  view->keyPlay();
  auto panel = std::static_pointer_cast<OXPanelResumeView>(view->panelResume()->panelView());
  panel->moveDown();
  panel->keyPlay();
  EXPECT_EQ(view->plays, QList<float>({0.0f, 0.0f}));
  panel->keyPlay();  // again during its fade: nobody listens any more
  EXPECT_EQ(view->plays.size(), 2);

  view->keyPlay();
  std::static_pointer_cast<OXPanelResumeView>(view->panelResume()->panelView())->keyPlay();
  ASSERT_EQ(view->plays.size(), 3);
  EXPECT_FLOAT_EQ(view->plays.last(), 0.97f);
  // A value that is no ratio plays from the start without asking.
  library()->setRatioForIMDB(NAN, movie->imdb());
  view->keyPlay();
  EXPECT_EQ(view->plays.last(), 0.0f);
  library()->setRatioForIMDB(0, movie->imdb());
  oxtest::spinFor(400);  // the panels' delayed closes
  window->close();
}
