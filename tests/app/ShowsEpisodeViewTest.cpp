// The show browser and the episode view on a show of this test alone, with the player's side left out (the
// end-to-end test plays for real): veiled shows, the episode view held over the browser, resume, watched marks, and
// the ratio stored for the episode that was asked for.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "app/OXMainInterface.h"
#include "app/OXWindow.h"
#include "app/ShowsView.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/WindowServer.h"
#include "playback/OXVideoOSD.h"
#include "tests/app/AppTestUtil.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

namespace {

constexpr quint64 kShow = 7701;

// The resume panel's answer, as it posts it.
void answer(qint64 index) {
  ox::NotificationCenter::defaultCenter().post(QString::fromLatin1(closePanelResumeNotification), nullptr,
                                               {{QString::fromLatin1(closePanelResumeIndexKey), index}});
}

// What the override point is asked to play.
struct RecordingEpisodes : EpisodeView {
  using EpisodeView::EpisodeView;
  QList<float> plays;
  void playEpisodeWithRatio(float ratio) override { plays << ratio; }
};

class ShowsEpisodeViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::supportFolder();
    OXMainInterface::registerInfoValues();
    ox::DelayedCall::useManualTime(true);
    library()->setListenSoundtracks(false);
    show = OXShow::initWithStreamerDictionary({{"id", kShow}, {"title", "Harbour Nights"}});
    library()->addContent(show);
    // Season 1 of four episodes, season 2 of four; the files of season 1 exist, those of season 2 are gone.
    for (quint64 season : {1, 2})
      for (quint64 number = 1; number <= 4; ++number) addEpisode(season, number, season == 1);
  }
  void TearDown() override {
    for (const auto& e : episodes) {
      library()->setRatioEpisodeID(0, e->episodeID());
      library()->removeContent(e);
    }
    library()->removeContent(show);
    ox::DelayedCall::useManualTime(false);
  }
  static OXLibrary* library() { return OXLibrary::shareLibrary(); }
  static quint64 idOf(quint64 season, quint64 number) { return 770000 + season * 100 + number; }
  void addEpisode(quint64 season, quint64 number, bool present) {
    auto e = OXEpisode::initWithStreamerDictionary({{"id", idOf(season, number)}, {"showid", kShow},
                                                    {"season", season}, {"episode", number},
                                                    {"title", QStringLiteral("Episode %1").arg(number)}});
    auto file = OXFile::initWithType(OXFile::kTypeEpisode);
    file->setFilePath(files.filePath(QStringLiteral("%1.mkv").arg(idOf(season, number))));
    if (present) QFile(file->filePath()).open(QIODevice::WriteOnly);
    e->setFile(file);
    library()->addContent(e);
    episodes << e;
  }
  template <class View = EpisodeView>
  std::shared_ptr<View> episodeView() {
    auto view = EpisodeView::initWithFrame<View>(OXPreferencesValues::sharePreferences()->mainScreenFrame(), show);
    ox::DelayedCall::advanceManualTime(EpisodeView::kIntroDelay);
    return view;
  }
  void toSeason2(const std::shared_ptr<EpisodeView>& view) {
    view->moveDown();
    ASSERT_TRUE(oxtest::spinUntil([&] {
      ox::Transaction::flush();
      return view->episodesMenu()->currentSeason() == 2 && !view->episodesMenu()->changingSeason();
    }, 3000));
  }
  static QString key(char16_t c) { return QString(QChar(c)); }
  // The show browser alone in a window on screen.
  static std::shared_ptr<ShowsView> showsOnScreen(const std::shared_ptr<OXWindow>& window) {
    window->setContentView(std::make_shared<ox::View>());
    auto shows = std::make_shared<ShowsView>(OXPreferencesValues::sharePreferences()->mainScreenFrame());
    shows->setupLayers();
    window->contentView()->addSubview(shows);
    window->makeKeyAndOrderFront();
    return shows;
  }

  apptest::Screen1080 screen;
  QTemporaryDir files;
  std::shared_ptr<OXShow> show;
  QList<std::shared_ptr<OXEpisode>> episodes;
};

}  // namespace

TEST_F(ShowsEpisodeViewTest, AShowIsVeiledOnlyWhenNoneOfItsEpisodeFilesExists) {
  const OXLibrary::EpisodeList all = library()->episodeList();
  EXPECT_FALSE(ShowsView::hasNoEpisodeFile(*show, all));
  auto empty = OXShow::initWithStreamerDictionary({{"id", 7702}, {"title", "Nothing Yet"}});
  EXPECT_TRUE(ShowsView::hasNoEpisodeFile(*empty, all));
  // One file left among the missing ones keeps the show available.
  for (quint64 n = 1; n <= 3; ++n) QFile::remove(episodes[int(n - 1)]->file()->filePath());
  EXPECT_FALSE(ShowsView::hasNoEpisodeFile(*show, all));
  QFile::remove(episodes[3]->file()->filePath());
  EXPECT_TRUE(ShowsView::hasNoEpisodeFile(*show, all));
}

TEST_F(ShowsEpisodeViewTest, PlayHoldsOneEpisodeViewOverTheBrowserAndMenuTakesItAway) {
  auto window = OXWindow::create();
  auto shows = showsOnScreen(window);
  auto switcher = std::make_shared<apptest::RecordingSwitcher>();
  shows->setDelegate(switcher);
  window->makeFirstResponder(shows);
  EXPECT_EQ(shows->titleSectionLayer()->string(), "1 Shows");

  shows->keyDown(ox::KeyEvent::withCharacters("\r"));
  const auto first = shows->episodeView();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->weakShowView(), shows);
  EXPECT_EQ(window->firstResponder(), first);
  EXPECT_EQ(first->titleShowSelected()->string(), "Harbour Nights");
  // Play once more while it is held: the earlier one leaves the window.
  shows->keyPlay();
  const auto second = shows->episodeView();
  ASSERT_NE(second, first);
  EXPECT_FALSE(first->superview());
  EXPECT_FALSE(first->weakShowView());
  EXPECT_EQ(window->contentView()->subviews().size(), 2u);

  second->keyDown(ox::KeyEvent::withCharacters(key(27)));
  ASSERT_TRUE(oxtest::spinUntil([&] { return !shows->episodeView(); }, 3000));
  EXPECT_FALSE(second->superview());
  EXPECT_EQ(window->firstResponder(), shows);
  EXPECT_EQ(window->contentView()->subviews().size(), 1u);
  shows->keyMenu();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !switcher->calls.isEmpty(); }, 3000));
  EXPECT_EQ(switcher->calls, QStringList{"home 2"});
  window->close();
}

TEST_F(ShowsEpisodeViewTest, PlayRightAfterMenuLeavesTheBrowserVisibleAndTakingTheKeys) {
  auto window = OXWindow::create();
  auto shows = showsOnScreen(window);
  window->makeFirstResponder(shows);
  shows->keyPlay();
  std::weak_ptr<EpisodeView> episodes = shows->episodeView();
  ASSERT_TRUE(episodes.lock());
  ox::DelayedCall::advanceManualTime(EpisodeView::kIntroDelay);
  episodes.lock()->keyMenu();
  ox::DelayedCall::advanceManualTime(0.1);
  episodes.lock()->keyDown(ox::KeyEvent::withCharacters("\r"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return episodes.expired(); }, 3000));
  ox::DelayedCall::advanceManualTime(EpisodeView::kPlayDelay + EpisodeView::kReturnDelay);
  oxtest::spinFor(500);
  ox::Transaction::flush();
  EXPECT_EQ(shows->layer()->opacity(), 1);
  EXPECT_EQ(shows->coverflowLayer()->opacity(), 1);
  EXPECT_EQ(shows->movieBackdrop()->sublayers().front()->frame().y(), 0);  // the ground band back in place
  EXPECT_EQ(window->firstResponder(), shows);
  window->close();
}

TEST_F(ShowsEpisodeViewTest, AStoredRatioAsksToResumeTheEpisodeSelectedWhenTheAnswerComes) {
  auto window = OXWindow::create();
  window->setContentView(std::make_shared<ox::View>());
  auto view = episodeView<RecordingEpisodes>();
  window->contentView()->addSubview(view);
  window->makeKeyAndOrderFront();
  window->makeFirstResponder(view);
  const quint64 selected = view->episodesMenu()->episodeSelected()->episodeID();
  view->keyPlay();
  EXPECT_EQ(view->plays, QList<float>{0.0f});
  EXPECT_FALSE(view->panelResume());

  library()->setRatioEpisodeID(0.4f, selected);
  view->keyPlay();
  ASSERT_TRUE(view->panelResume());
  answer(1);  // Play: from the start
  answer(0);  // nobody listens any more
  EXPECT_EQ(view->plays, QList<float>({0.0f, 0.0f}));
  view->keyPlay();
  answer(0);
  ASSERT_EQ(view->plays.size(), 3);
  EXPECT_FLOAT_EQ(view->plays.last(), 0.4f);
  oxtest::spinFor(400);
  window->close();
}

TEST_F(ShowsEpisodeViewTest, WatchedMarksOfferWhatTheRatioAllowsAndMarkTheEarlierEpisodesOfTheShow) {
  EXPECT_EQ(EpisodeView::episodeOptions(0.2f), QStringList({"Mark as Watched", "Cancel"}));
  EXPECT_EQ(EpisodeView::episodeOptions(0.5f), QStringList({"Mark as Unwatched", "Mark as Watched", "Cancel"}));
  EXPECT_EQ(EpisodeView::episodeOptions(0.9f), QStringList({"Mark as Unwatched", "Cancel"}));
  EXPECT_EQ(EpisodeView::episodeOptions(0.25f), QStringList({"Mark as Unwatched", "Cancel"}));

  auto view = episodeView();
  toSeason2(view);
  view->episodesMenu()->setSelectedIndex(2);
  ASSERT_EQ(view->episodesMenu()->episodeSelected()->episodeID(), idOf(2, 3));
  view->keyDown(ox::KeyEvent::withCharacters("m"));
  ASSERT_TRUE(view->optionEpisodeMenu());
  const auto& entries = view->optionEpisodeMenu()->panel()->buttons();
  ASSERT_EQ(entries.size(), 2u);
  entries[0]->sendAction();  // "Mark as Watched"
  for (quint64 season : {1, 2})
    for (quint64 n = 1; n <= 4; ++n)
      EXPECT_EQ(library()->ratioForEpisodeID(idOf(season, n)), season == 1 || n <= 3 ? 1.0f : 0.0f) << season << n;

  view->markLikeEpisodeUnseen();
  EXPECT_EQ(library()->ratioForEpisodeID(idOf(2, 3)), 0.0f);
  oxtest::spinFor(50);
  const auto tile = view->episodesMenu()->layerValue("currentSeasonLayer")->layerValue("episodeListLayer")->sublayers()[2];
  EXPECT_EQ(tile->layerValue("circleLayer")->contents(), OXEpisodesMenuLayer::watchedMarkImage(0));
  oxtest::spinFor(400);
}

TEST_F(ShowsEpisodeViewTest, TheRatioIsStoredForTheEpisodeAskedForAndKeysWaitUntilTheViewIsBack) {
  auto view = episodeView();
  view->episodesMenu()->setSelectedIndex(1);
  const auto asked = view->episodesMenu()->episodeSelected();
  view->playEpisodeWithRatio(0);
  EXPECT_EQ(view->playingEpisode(), asked);
  view->moveRight();  // ignored while the episode opens
  EXPECT_EQ(view->episodesMenu()->selectedIndex(), 1);
  view->holdMenu();  // the watched-marks key works regardless
  EXPECT_TRUE(view->optionEpisodeMenu());
  // The selection moves behind the view's back before the display leaves.
  view->episodesMenu()->nextEpisode();
  view->exitPlayerNotification({QString::fromLatin1(exitPlayerNotification), nullptr, {{"percentage", 0.625f}}});
  view->waitForRatioStores();
  EXPECT_FLOAT_EQ(library()->ratioForEpisodeID(asked->episodeID()), 0.625f);
  EXPECT_EQ(library()->ratioForEpisodeID(idOf(1, 3)), 0.0f);
  view->optionEpisodeMenu()->close();
  oxtest::spinFor(400);
}

TEST_F(ShowsEpisodeViewTest, AMissingEpisodeFileBringsTheViewBackWithoutAnAlert) {
  auto view = episodeView();
  toSeason2(view);
  view->keyPlay();
  EXPECT_FALSE(view->acceptEvents());
  ox::DelayedCall::advanceManualTime(EpisodeView::kPlayDelay);
  EXPECT_TRUE(view->acceptEvents());
  EXPECT_FALSE(view->videoPlayer());
  EXPECT_FALSE(view->errorPanel());
  ox::DelayedCall::advanceManualTime(EpisodeView::kReturnDelay);
  EXPECT_EQ(view->splashScreen()->opacity(), 0);
  EXPECT_EQ(view->episodesMenu()->opacity(), 1);
}

TEST_F(ShowsEpisodeViewTest, MenuWhileAMissingEpisodeComesBackLeavesTheBrowserVisible) {
  auto window = OXWindow::create();
  auto shows = showsOnScreen(window);
  shows->keyPlay();
  std::weak_ptr<EpisodeView> episodes = shows->episodeView();
  ox::DelayedCall::advanceManualTime(EpisodeView::kIntroDelay);
  toSeason2(episodes.lock());
  episodes.lock()->keyPlay();
  ox::Transaction::flush();
  ox::DelayedCall::advanceManualTime(EpisodeView::kPlayDelay);  // no file: input is back before the view is
  episodes.lock()->keyMenu();
  ASSERT_TRUE(oxtest::spinUntil([&] { return episodes.expired(); }, 3000));
  ox::DelayedCall::advanceManualTime(EpisodeView::kReturnDelay);
  oxtest::spinFor(500);
  ox::Transaction::flush();
  EXPECT_EQ(shows->layer()->opacity(), 1);
  EXPECT_EQ(window->firstResponder(), shows);
  window->close();
}

TEST_F(ShowsEpisodeViewTest, PlayWhileOpenSubtitlesDoesNotAnswerKeepsTheLoopTurningAndMenuCancelsTheOpening) {
  oxtest::StandIn& service = oxtest::StandIn::shared();
  ASSERT_TRUE(service.isRunning());
  ASSERT_TRUE(service.fault("opensubtitles", "stall", -1, "/xml-rpc", 60));
  auto window = OXWindow::create();
  auto shows = showsOnScreen(window);
  shows->keyPlay();
  const std::shared_ptr<EpisodeView> view = shows->episodeView();
  ASSERT_TRUE(view);
  ox::DelayedCall::advanceManualTime(EpisodeView::kIntroDelay);
  ox::DelayedCall::useManualTime(false);
  view->keyPlay();
  // The play delay, then a log-in that gets no answer: every turn of the loop is short meanwhile.
  EXPECT_LT(apptest::longestLoopStallMs(1000), 1000);
  EXPECT_EQ(service.waitForRequests("opensubtitles", 1).size(), 1);
  EXPECT_FALSE(view->acceptEvents());
  EXPECT_TRUE(view->playingEpisode());
  EXPECT_FALSE(view->videoPlayer());
  view->keyDown(ox::KeyEvent::withCharacters(key(27)));
  view->keyDown(ox::KeyEvent::withCharacters(key(27)));  // a second one while the view comes back does nothing
  // Cancelled, not gone back to the browser: the episode view comes back, and the service's answer is too late.
  service.clear();
  EXPECT_LT(apptest::longestLoopStallMs(1000), 1000);
  ASSERT_TRUE(oxtest::spinUntil([&] { return view->acceptEvents(); }, 5000));
  ox::Transaction::flush();
  EXPECT_FALSE(view->videoPlayer());
  EXPECT_FALSE(view->errorPanel());
  EXPECT_EQ(shows->episodeView(), view);
  EXPECT_EQ(view->splashScreen()->opacity(), 0);
  EXPECT_EQ(view->episodesMenu()->opacity(), 1);
  window->close();
}

TEST(ShowsFrames, TheEpisodeViewKeepsTheBrowsersPictureInPlaceAndLowersOnlyItsGroundBand) {
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  ASSERT_EQ(apptest::drawFrames(out.path(), {"shows"}), QString());
  const QImage episodes(out.filePath("episode_view.png"));
  ASSERT_EQ(episodes.size(), QSize(1920, 1080));
  const auto dark = [](const QColor& c) { return c.value() < 25; };
  EXPECT_EQ(apptest::countPixels(episodes, QRect(0, 0, 1920, 100), dark), 0);
  // The ground band still darkens the bottom, lowered with the row.
  EXPECT_GT(apptest::countPixels(episodes, QRect(0, 1040, 300, 40), dark), 9000);
}
