// The streamer movie browser over the plug-ins' titles: a title played through the stand-in peerflix script and a
// loopback stream, and the roads by which a request ends (Menu, no link, a stream that never comes).
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "app/OXPanelResumeView.h"
#include "app/OXStreamersMoviesView.h"
#include "app/OXSubtitleLookup.h"
#include "app/OXWindow.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/foundation/Json.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/Transaction.h"
#include "platform/media/VLCLibrary.h"
#include "platform/ui/WindowServer.h"
#include "tests/app/AppTestUtil.h"
#include "tests/app/StreamerTestUtil.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

namespace {

const QString kAmber = "tt9700001", kHarbour = "tt9700002", kOrchard = "tt9700003";

using streamertest::gone;
using streamertest::waitFor;

class StreamersMovies : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!streamertest::PeerflixStandIn::available()) GTEST_SKIP() << "node is not installed";
    apptest::supportFolder();
    ox::VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")});
    library()->setListenSoundtracks(false);
    // As the plug-ins hand them over: one title with two links, one without any.
    for (const char* json :
         {R"({"id": "tt9700003", "title": "Quiet Orchard",
              "links": ["magnet:?xt=urn:btih:a1", "magnet:?xt=urn:btih:a2"]})",
          R"({"id": "tt9700002", "title": "Long Harbour", "links": []})",
          R"({"id": "tt9700001", "title": "amber coast", "links": ["magnet:?xt=urn:btih:b1"]})"})
      library()->addStreamContent(
          OXMovie::initWithStreamerDictionary(ox::jsonObject(QByteArray(json)).toMap()));
    for (const QString& code : {kAmber, kHarbour, kOrchard}) library()->setRatioForIMDB(0, code);
    ox::DelayedCall::useManualTime(true);
    window->setContentView(std::make_shared<ox::View>());
    view = std::make_shared<OXStreamersMoviesView>(OXPreferencesValues::sharePreferences()->mainScreenFrame());
    view->setupLayers();
    window->contentView()->addSubview(view);
    window->setFrame(QRectF(0, 0, 1920, 1080));
    window->makeKeyAndOrderFront();
    window->makeFirstResponder(view);
  }
  void TearDown() override {
    view.reset();
    window->close();
    library()->clearStreamsData();
    ox::DelayedCall::useManualTime(false);
  }
  static OXLibrary* library() { return OXLibrary::shareLibrary(); }
  void step(const QString& line) { peerflix.step(line); }
  // Selects the title at `index` and asks for it; the driver starts after the play delay.
  void request(int index) {
    while (view->selectedIndex() < quint64(index)) view->moveRight();
    ox::DelayedCall::advanceManualTime(1);
    view->keyPlay();
  }

  apptest::Screen1080 screen;
  streamertest::PeerflixStandIn peerflix;
  std::shared_ptr<OXWindow> window = OXWindow::create();
  std::shared_ptr<OXStreamersMoviesView> view;
};

}  // namespace

TEST_F(StreamersMovies, ATitlePlaysFromTheStreamsAddressAtItsResumedRatioAndLeavingStoresItOnce) {
  const oxtest::MediaSamples& media = oxtest::mediaSamples();
  if (!media.ok) GTEST_SKIP() << "ffmpeg could not make the film";
  streamertest::FilmStream stream;
  ASSERT_TRUE(stream.serve(media.longBars));
  EXPECT_EQ(view->titleSectionLayer()->string(), "3 Movies");
  EXPECT_EQ(view->selectedCoverTitle(), "amber coast");

  library()->setRatioForIMDB(0.25f, kOrchard);
  request(2);
  ASSERT_TRUE(view->panelResume());
  std::static_pointer_cast<OXPanelResumeView>(view->panelResume()->panelView())->keyPlay();  // "Resume"
  EXPECT_FALSE(view->acceptEvents());
  ox::DelayedCall::advanceManualTime(MoviesView::kPlayDelay);
  const std::shared_ptr<OXPeerflix> driver = view->request().peerflix();
  ASSERT_TRUE(driver);
  EXPECT_EQ(driver->magnetLink(), "magnet:?xt=urn:btih:a1");  // the first link only
  EXPECT_FLOAT_EQ(view->request().ratio(), 0.25f);
  const qint64 child = driver->processId();
  EXPECT_GT(child, 0);

  // The splash screen's status line follows the peers until the address comes.
  step("peers 4");
  ASSERT_TRUE(waitFor([&] { return view->textLoadingPlayer()->string() == "Connected to 4 peers"; }));
  ASSERT_TRUE(waitFor([&] { return view->splashScreen()->opacity() == 1; }));
  ox::Transaction::flush();
  ox::Renderer renderer;  // past the fades' end
  const QImage splash = renderer.renderToImage(view->layer(), QSize(1920, 1080), ox::LayerClock::now() + 1, Qt::black);
  QDir().mkpath(OX_BINARY_DIR "/frames");
  splash.save(OX_BINARY_DIR "/frames/streamers_connecting.png");
  // The status line in white under the logo, nothing of the browser left.
  EXPECT_GT(apptest::countPixels(splash, QRect(760, 665, 400, 60), [](const QColor& c) { return c.value() > 200; }),
            300);
  EXPECT_EQ(apptest::countPixels(splash, QRect(0, 0, 1920, 300), [](const QColor& c) { return c.value() > 30; }), 0);

  step(stream.announcement());
  std::shared_ptr<OXPlayerController> player;
  ASSERT_TRUE(waitFor([&] {
    player = view->videoPlayer();
    return player && ox::WindowServer::shared().keyWindow() == player->videoPlayerOSD();
  }, 60000));
  auto vlc = player->videoPlayerCore()->player();
  ASSERT_TRUE(waitFor([&] { return vlc->frameSink()->frameCount() >= 3; }, 60000));
  EXPECT_GE(stream.requestCount(), 1);
  EXPECT_GE(vlc->position(), 0.2f);  // resumed, not from the start

  player->videoPlayerOSD()->osd()->keyMenu();
  ASSERT_TRUE(waitFor([&] { return view->acceptEvents() && !view->videoPlayer(); }, 5000));
  EXPECT_FALSE(view->request().peerflix());
  EXPECT_TRUE(oxtest::spinUntil([&] { return gone(child); }, 3000));
  EXPECT_EQ(ox::WindowServer::shared().keyWindow(), window);
  const float stored = library()->ratioForIMDB(kOrchard);
  EXPECT_GE(stored, 0.2f);
  EXPECT_LT(stored, 1.0f);
  EXPECT_FALSE(view->errorPanel());
  EXPECT_EQ(library()->ratioForIMDB(kAmber), 0.0f);
}

TEST_F(StreamersMovies, MenuWhileConnectingEndsTheChildStoresNothingAndBrowsingResumes) {
  request(0);
  ox::DelayedCall::advanceManualTime(MoviesView::kPlayDelay);
  const std::shared_ptr<OXPeerflix> driver = view->request().peerflix();
  ASSERT_TRUE(driver);
  const qint64 child = driver->processId();
  step("peers 2");
  ASSERT_TRUE(waitFor([&] { return view->textLoadingPlayer()->string() == "Connected to 2 peers"; }));
  ox::WindowServer::shared().dispatchKeyEvent(ox::KeyEvent::withCharacters(QString(QChar(27))));
  EXPECT_FALSE(view->request().peerflix());
  EXPECT_EQ(driver->processId(), 0);
  EXPECT_TRUE(oxtest::spinUntil([&] { return gone(child); }, 3000));
  EXPECT_FALSE(view->isPlaying());
  step("address http://127.0.0.1:9/");  // too late: nobody listens
  oxtest::spinFor(200);
  ox::DelayedCall::advanceManualTime(1);
  EXPECT_FALSE(view->videoPlayer());
  EXPECT_FALSE(view->errorPanel());
  EXPECT_TRUE(view->acceptEvents());
  EXPECT_EQ(library()->ratioForIMDB(kAmber), 0.0f);
}

TEST_F(StreamersMovies, ATitleWithoutALinkComesBackQuietlyAndAStreamThatNeverStartsShowsTheAlert) {
  request(1);  // "Long Harbour"
  ox::DelayedCall::advanceManualTime(MoviesView::kPlayDelay);
  EXPECT_FALSE(view->request().peerflix());
  EXPECT_FALSE(view->isPlaying());
  EXPECT_FALSE(view->errorPanel());
  ox::DelayedCall::advanceManualTime(1);
  EXPECT_TRUE(view->acceptEvents());

  // The child ends without an address: told once, the alert, and the browser back.
  request(2);
  ox::DelayedCall::advanceManualTime(MoviesView::kPlayDelay);
  const qint64 child = view->request().peerflix()->processId();
  step("exit 3");
  ASSERT_TRUE(waitFor([&] { return bool(view->errorPanel()); }));
  EXPECT_EQ(view->errorPanel()->simpleAlertView()->textArray().first(), "We're unable to open this file.");
  EXPECT_FALSE(view->request().peerflix());
  EXPECT_TRUE(oxtest::spinUntil([&] { return gone(child); }, 3000));
  ASSERT_TRUE(waitFor([&] { return view->acceptEvents() && view->coverflowLayer()->opacity() == 1; }));
  EXPECT_FALSE(view->videoPlayer());
  view->errorPanel()->close();
}

TEST_F(StreamersMovies, AStreamThatComesBeforeItsSubtitlesWaitsForThemOnlyUntilTheServiceTimesOut) {
  oxtest::StandIn& service = oxtest::StandIn::shared();
  ASSERT_TRUE(service.isRunning());
  ASSERT_TRUE(service.fault("opensubtitles", "stall", -1, "/xml-rpc", 60));
  request(0);
  QElapsedTimer clock;
  clock.start();
  ox::DelayedCall::advanceManualTime(MoviesView::kPlayDelay);
  EXPECT_LT(clock.elapsed(), 1000);  // the driver starts; OpenSubtitles is asked off the main thread
  ASSERT_TRUE(view->request().peerflix());
  ASSERT_EQ(service.waitForRequests("opensubtitles", 1).size(), 1);
  step("address http://127.0.0.1:9/");
  // Waited for in real time: the manual clock stays short of the search's time-out.
  ASSERT_TRUE(oxtest::spinUntil([&] { return !view->request().address().isEmpty(); }, 10000));
  EXPECT_FALSE(view->videoPlayer());
  EXPECT_TRUE(view->isPlaying());
  ox::DelayedCall::advanceManualTime(OXSubtitleLookup::kTimeout);
  EXPECT_TRUE(view->videoPlayer());
  EXPECT_TRUE(view->request().subtitles().isEmpty());
  view->keyMenu();
  EXPECT_FALSE(view->request().peerflix());
}

TEST(StreamersFrames, TheBrowsersOfPluginTitlesAndTheSplashesOfConnectingStreams) {
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  ASSERT_EQ(apptest::drawFrames(out.path(), {"streamers"}), QString());
  const QImage browser(out.filePath("streamers_movies.png")), splash(out.filePath("streamers_connecting.png"));
  ASSERT_EQ(browser.size(), QSize(1920, 1080));
  ASSERT_EQ(splash.size(), QSize(1920, 1080));
  const auto white = [](const QColor& c) { return c.value() > 235 && c.saturation() < 30; };

  // The selected title's painted poster (never veiled: a streamed title has no file to miss) in the middle, its
  // title under the row, the count of the plug-ins' titles in the header.
  EXPECT_GT(apptest::countPixels(browser, QRect(820, 460, 280, 420), [](const QColor& c) {
    return c.saturation() > 80 && c.value() > 60;
  }), 60000);
  EXPECT_GT(apptest::countPixels(browser, QRect(760, 930, 400, 70), white), 1500);
  EXPECT_GT(apptest::countPixels(browser, QRect(1650, 30, 240, 50), white), 300);
  // Splash: the status line under the logo, black everywhere else.
  const auto dark = [](const QColor& c) { return c.value() > 20; };
  EXPECT_GT(apptest::countPixels(splash, QRect(760, 665, 400, 60), white), 300);
  EXPECT_EQ(apptest::countPixels(splash, QRect(0, 0, 1920, 400), dark), 0);

  // The plug-ins' shows, unveiled; a show's streamed episodes over it; the splash of an episode's stream.
  const QImage shows(out.filePath("streamers_shows.png")), episodes(out.filePath("streamers_episodes.png")),
      connecting(out.filePath("streamers_episode_connecting.png"));
  ASSERT_EQ(shows.size(), QSize(1920, 1080));
  EXPECT_GT(apptest::countPixels(shows, QRect(820, 460, 280, 420), [](const QColor& c) {
    return c.saturation() > 80 && c.value() > 60;
  }), 60000);
  EXPECT_GT(apptest::countPixels(shows, QRect(1650, 30, 240, 50), white), 300);
  ASSERT_EQ(episodes.size(), QSize(1920, 1080));
  EXPECT_GT(apptest::countPixels(episodes, QRect(700, 630, 520, 80), white), 3000);  // the show's title
  EXPECT_GT(apptest::countPixels(episodes, QRect(760, 800, 400, 220), [](const QColor& c) { return c.value() > 60; }),
            30000);  // the selected episode's picture
  // The browser's picture stays in place behind the episodes: no black band across the top.
  EXPECT_EQ(apptest::countPixels(episodes, QRect(0, 0, 1920, 100), [](const QColor& c) { return c.value() < 25; }), 0);
  ASSERT_EQ(connecting.size(), QSize(1920, 1080));
  EXPECT_GT(apptest::countPixels(connecting, QRect(760, 665, 400, 60), white), 300);
  EXPECT_EQ(apptest::countPixels(connecting, QRect(0, 0, 1920, 400), dark), 0);
}
