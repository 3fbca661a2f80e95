// The streamer show browser and its episode view over the plug-ins' shows: an episode played through the stand-in
// peerflix script and a loopback stream, and the requests that end before a stream starts. Keys keep working while a
// stream connects, so the episode asked for must stay the one streamed, and one child runs at a time.
#include <gtest/gtest.h>

#include "app/OXStreamersEpisodeView.h"
#include "app/OXStreamersShowsView.h"
#include "app/OXWindow.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/media/VLCLibrary.h"
#include "platform/ui/WindowServer.h"
#include "playback/OXVideoOSD.h"
#include "tests/app/AppTestUtil.h"
#include "tests/app/StreamerTestUtil.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/TestUtil.h"

using streamertest::gone;
using streamertest::waitFor;

namespace {

constexpr quint64 kShow = 8801;
constexpr quint64 kFirst = 880101, kSecond = 880102, kThird = 880103;

class StreamersShows : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!streamertest::PeerflixStandIn::available()) GTEST_SKIP() << "node is not installed";
    apptest::supportFolder();
    ox::VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")});
    library()->setListenSoundtracks(false);
    library()->addStreamContent(OXShow::initWithStreamerDictionary({{"id", kShow}, {"title", "Lantern Street"}}));
    // Three episodes of season 1; the third came without a link.
    for (quint64 n = 1; n <= 3; ++n) {
      const QString link = QStringLiteral("magnet:?xt=urn:btih:e%1;dn=Lantern.Street.S01E0%1;tr=x").arg(n);
      const QVariantList links = n == 3 ? QVariantList() : QVariantList{link};
      library()->addStreamContent(OXEpisode::initWithStreamerDictionary(
          {{"id", kShow * 100 + n}, {"showid", kShow}, {"season", 1}, {"episode", n},
           {"title", QStringLiteral("Night %1").arg(n)}, {"links", links}}));
      library()->setRatioEpisodeID(0, kShow * 100 + n);
    }
    ox::DelayedCall::useManualTime(true);
    window->setContentView(std::make_shared<ox::View>());
    shows = std::make_shared<OXStreamersShowsView>(OXPreferencesValues::sharePreferences()->mainScreenFrame());
    shows->setupLayers();
    shows->setDelegate(switcher);
    window->contentView()->addSubview(shows);
    window->setFrame(QRectF(0, 0, 1920, 1080));
    window->makeKeyAndOrderFront();
    window->makeFirstResponder(shows);
    shows->keyPlay();
    episodes = std::dynamic_pointer_cast<OXStreamersEpisodeView>(shows->episodeView());
    ASSERT_TRUE(episodes);
    ox::DelayedCall::advanceManualTime(EpisodeView::kIntroDelay);
  }
  void TearDown() override {
    episodes.reset();
    shows.reset();
    window->close();
    library()->clearStreamsData();
    ox::DelayedCall::useManualTime(false);
  }
  static OXLibrary* library() { return OXLibrary::shareLibrary(); }
  // Plays the selected episode; its stream starts after the play delay.
  void play() {
    episodes->keyPlay();
    EXPECT_FALSE(episodes->acceptEvents());
    ox::DelayedCall::advanceManualTime(EpisodeView::kPlayDelay);
  }

  apptest::Screen1080 screen;
  streamertest::PeerflixStandIn peerflix;
  std::shared_ptr<OXWindow> window = OXWindow::create();
  std::shared_ptr<apptest::RecordingSwitcher> switcher = std::make_shared<apptest::RecordingSwitcher>();
  std::shared_ptr<OXStreamersShowsView> shows;
  std::shared_ptr<OXStreamersEpisodeView> episodes;
};

}  // namespace

TEST_F(StreamersShows, AnEpisodePlaysFromItsStreamAndItsRatioGoesToTheEpisodeAskedFor) {
  const oxtest::MediaSamples& media = oxtest::mediaSamples();
  if (!media.ok) GTEST_SKIP() << "ffmpeg could not make the film";
  streamertest::FilmStream stream;
  ASSERT_TRUE(stream.serve(media.longBars));
  EXPECT_EQ(shows->titleSectionLayer()->string(), "1 Shows");
  EXPECT_FALSE(shows->isContentDisable(shows->objectSelected()));  // no file, yet never veiled
  ASSERT_EQ(episodes->episodesMenu()->episodeSelected()->episodeID(), kFirst);

  play();
  const std::shared_ptr<OXPeerflix> driver = episodes->request().peerflix();
  ASSERT_TRUE(driver);
  EXPECT_EQ(driver->magnetLink(), "magnet:?xt=urn:btih:e1;dn=Lantern.Street.S01E01;tr=x");
  EXPECT_TRUE(episodes->isLoading());
  EXPECT_TRUE(episodes->acceptEvents());
  const qint64 child = driver->processId();
  peerflix.step("peers 3");
  ASSERT_TRUE(waitFor([&] { return episodes->textLoadingPlayer()->string() == "Connected to 3 peers"; }));
  EXPECT_EQ(episodes->splashScreen()->opacity(), 1);
  // The keys work while the stream connects: the selection moves on, the request stays with the first episode.
  episodes->moveRight();
  ASSERT_EQ(episodes->episodesMenu()->episodeSelected()->episodeID(), kSecond);

  peerflix.step(stream.announcement());
  std::shared_ptr<OXPlayerController> player;
  ASSERT_TRUE(waitFor([&] {
    player = episodes->videoPlayer();
    return player && ox::WindowServer::shared().keyWindow() == player->videoPlayerOSD();
  }, 60000));
  EXPECT_FALSE(episodes->isLoading());
  EXPECT_EQ(OXPlayerController::displayTitle(episodes->request().record()), "1x1 - Night 1");
  auto vlc = player->videoPlayerCore()->player();
  ASSERT_TRUE(waitFor([&] { return vlc->frameSink()->frameCount() >= 3 && vlc->time().value() >= 300; }, 60000));
  EXPECT_GE(stream.requestCount(), 1);

  player->videoPlayerOSD()->osd()->keyMenu();
  ASSERT_TRUE(waitFor([&] { return episodes->acceptEvents() && !episodes->videoPlayer(); }, 5000));
  EXPECT_FALSE(episodes->request().peerflix());
  EXPECT_TRUE(oxtest::spinUntil([&] { return gone(child); }, 3000));
  EXPECT_EQ(ox::WindowServer::shared().keyWindow(), window);
  episodes->waitForRatioStores();
  EXPECT_GT(library()->ratioForEpisodeID(kFirst), 0.0f);
  EXPECT_EQ(library()->ratioForEpisodeID(kSecond), 0.0f);
  EXPECT_FALSE(episodes->errorPanel());
  ASSERT_TRUE(waitFor([&] { return episodes->splashScreen()->opacity() == 0 && shows->layer()->opacity() == 1; }));
}

TEST_F(StreamersShows, PlayWhileConnectingEndsTheEarlierChildFirstAndMenuCancelsTheRequest) {
  play();
  const std::shared_ptr<OXPeerflix> first = episodes->request().peerflix();
  ASSERT_TRUE(first);
  const qint64 firstChild = first->processId();
  episodes->moveRight();
  episodes->keyPlay();  // the second episode, while the first connects
  EXPECT_EQ(first->processId(), 0);
  EXPECT_TRUE(oxtest::spinUntil([&] { return gone(firstChild); }, 3000));
  EXPECT_FALSE(episodes->request().peerflix());
  ox::DelayedCall::advanceManualTime(EpisodeView::kPlayDelay);
  const std::shared_ptr<OXPeerflix> second = episodes->request().peerflix();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->magnetLink(), "magnet:?xt=urn:btih:e2;dn=Lantern.Street.S01E02;tr=x");
  const qint64 secondChild = second->processId();

  // Menu cancels the connecting stream; the view stays, a second Menu goes back to the browser.
  window->makeFirstResponder(episodes);
  ox::WindowServer::shared().dispatchKeyEvent(ox::KeyEvent::withCharacters(QString(QChar(27))));
  EXPECT_FALSE(episodes->request().peerflix());
  EXPECT_TRUE(oxtest::spinUntil([&] { return gone(secondChild); }, 3000));
  EXPECT_FALSE(episodes->isLoading());
  EXPECT_TRUE(episodes->acceptEvents());
  EXPECT_EQ(shows->episodeView(), episodes);
  peerflix.step("address http://127.0.0.1:9/");  // too late: nobody listens
  oxtest::spinFor(200);
  EXPECT_FALSE(episodes->videoPlayer());
  EXPECT_EQ(library()->ratioForEpisodeID(kSecond), 0.0f);
  ASSERT_TRUE(waitFor([&] { return shows->layer()->opacity() == 1; }));
  ox::WindowServer::shared().dispatchKeyEvent(ox::KeyEvent::withCharacters(QString(QChar(27))));
  ASSERT_TRUE(waitFor([&] { return !shows->episodeView(); }));
  EXPECT_EQ(window->firstResponder(), shows);
  EXPECT_TRUE(switcher->calls.isEmpty());
}

TEST_F(StreamersShows, AnEpisodeWithoutALinkOrAStreamThatNeverStartsEndsTheRequestQuietly) {
  episodes->moveRight();
  episodes->moveRight();
  ASSERT_EQ(episodes->episodesMenu()->episodeSelected()->episodeID(), kThird);
  play();
  EXPECT_FALSE(episodes->request().peerflix());
  EXPECT_FALSE(episodes->isLoading());
  EXPECT_TRUE(episodes->acceptEvents());
  EXPECT_FALSE(episodes->errorPanel());

  episodes->moveLeft();
  play();
  ASSERT_TRUE(episodes->request().peerflix());
  const qint64 child = episodes->request().peerflix()->processId();
  peerflix.step("exit 3");
  ASSERT_TRUE(waitFor([&] { return !episodes->request().peerflix(); }));
  EXPECT_TRUE(oxtest::spinUntil([&] { return gone(child); }, 3000));
  EXPECT_FALSE(episodes->isLoading());
  EXPECT_TRUE(episodes->acceptEvents());
  EXPECT_FALSE(episodes->videoPlayer());
  ASSERT_TRUE(waitFor([&] { return episodes->splashScreen()->opacity() == 0 && shows->layer()->opacity() == 1; }));
  EXPECT_EQ(library()->ratioForEpisodeID(kSecond), 0.0f);
}

TEST_F(StreamersShows, PlayOrMenuWhileThePlayerOpensItsStreamEndsThatPlayerAndTheViewStays) {
  oxtest::LoopbackServer stalled;  // a stream that never sends its first byte
  stalled.setNeverAnswer(true);
  const QString address = QStringLiteral("address http://127.0.0.1:%1/").arg(stalled.port());
  play();
  peerflix.step(address);
  ASSERT_TRUE(waitFor([&] { return bool(episodes->videoPlayer()); }));
  const std::shared_ptr<OXPlayerController> first = episodes->videoPlayer();
  EXPECT_TRUE(episodes->isLoading());
  const qint64 firstChild = episodes->request().peerflix()->processId();
  episodes->moveRight();
  episodes->keyPlay();
  EXPECT_FALSE(episodes->videoPlayer());
  EXPECT_TRUE(oxtest::spinUntil([&] { return gone(firstChild); }, 3000));
  ox::DelayedCall::advanceManualTime(EpisodeView::kPlayDelay);
  ASSERT_TRUE(episodes->request().peerflix());
  EXPECT_EQ(episodes->request().peerflix()->magnetLink(), "magnet:?xt=urn:btih:e2;dn=Lantern.Street.S01E02;tr=x");

  ASSERT_TRUE(waitFor([&] { return bool(episodes->videoPlayer()); }));
  const qint64 secondChild = episodes->request().peerflix()->processId();
  ox::WindowServer::shared().dispatchKeyEvent(ox::KeyEvent::withCharacters(QString(QChar(27))));
  EXPECT_FALSE(episodes->videoPlayer());
  EXPECT_FALSE(episodes->request().peerflix());
  EXPECT_TRUE(oxtest::spinUntil([&] { return gone(secondChild); }, 3000));
  ASSERT_TRUE(waitFor([&] { return shows->layer()->opacity() == 1 && episodes->splashScreen()->opacity() == 0; }));
  EXPECT_EQ(shows->episodeView(), episodes);
  EXPECT_EQ(ox::WindowServer::shared().keyWindow(), window);
  EXPECT_EQ(library()->ratioForEpisodeID(kSecond), 0.0f);
  stalled.setNeverAnswer(false);
}

TEST_F(StreamersShows, TheWatchedCircleOfAStreamedEpisodeShowsItsNewRatio) {
  play();
  episodes->exitPlayerNotification({QString::fromLatin1(exitPlayerNotification), nullptr, {{"percentage", 0.625f}}});
  episodes->waitForRatioStores();
  EXPECT_FLOAT_EQ(library()->ratioForEpisodeID(kFirst), 0.625f);
  oxtest::spinFor(50);
  const auto tile =
      episodes->episodesMenu()->layerValue("currentSeasonLayer")->layerValue("episodeListLayer")->sublayers()[0];
  EXPECT_EQ(tile->layerValue("circleLayer")->contents(), OXEpisodesMenuLayer::watchedMarkImage(0.625f));
  oxtest::spinFor(400);
}
