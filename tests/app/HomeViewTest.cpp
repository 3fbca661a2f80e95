#include <gtest/gtest.h>

#include <QDir>
#include <QTimer>

#include "app/HomeView.h"
#include "app/MoviesView.h"
#include "app/OXMainInterface.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/Transaction.h"
#include "platform/system/SoftwareUpdater.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "tests/app/AppTestUtil.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestUtil.h"

using apptest::countPixels;
using apptest::near;

namespace {

const QColor kMovieBlue(40, 110, 200);
const QColor kMovieGreen(60, 170, 80);
const QColor kShowRed(200, 60, 50);

QByteArray appcast(const char* version) {
  return QByteArray("<rss xmlns:sparkle=\"s\"><channel><item><enclosure sparkle:version=\"") + version +
         "\"/></item></channel></rss>";
}

class HomeViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::supportFolder();
    OXMainInterface::registerInfoValues();
    ox::registerInfoValues({{"CFBundleVersion", "1.2.9"}});
    qputenv("OMBRIX_FEED_URL", feed.url("/appcast.xml").toString().toUtf8());
    feed.setReply("/appcast.xml", {200, appcast("1.2.9"), "application/rss+xml", {}});
    ox::DelayedCall::useManualTime(true);
    ox::Application::setTerminateHandler([this] { ++quits; });
  }
  void TearDown() override {
    ox::Application::setTerminateHandler({});
    ox::DelayedCall::useManualTime(false);
    qputenv("OMBRIX_FEED_URL", "http://127.0.0.1:9");
  }

  std::shared_ptr<HomeView> makeHome() {
    auto home = std::make_shared<HomeView>(OXPreferencesValues::sharePreferences()->mainScreenFrame());
    home->setupLayers();
    home->setDelegate(switcher);
    ox::Transaction::flush();
    return home;
  }
  QImage render(const std::shared_ptr<HomeView>& home, double t) {
    return renderer.renderToImage(home->layer(), QSize(1920, 1080), t, Qt::black);
  }
  QStringList titles(const std::shared_ptr<HomeView>& home) const { return home->homeSectionList()->itemList(); }

  apptest::Screen1080 screen;
  ox::ManualClock clock{100};
  oxtest::LoopbackServer feed;
  std::shared_ptr<apptest::RecordingSwitcher> switcher = std::make_shared<apptest::RecordingSwitcher>();
  ox::Renderer renderer;
  int quits = 0;
};

}  // namespace

TEST_F(HomeViewTest, FirstFrameShowsTheBackdropBehindTheSectionTitles) {
  apptest::writeBackdrops("homeMoviesBackdrops", {kMovieBlue}, 1);
  apptest::writeBackdrops("homeShowsBackdrops", {kShowRed}, 1);
  const QString builtAt = HomeView::clockText(QDateTime::currentDateTime());
  auto home = makeHome();
  EXPECT_TRUE(home->acceptEvents());
  EXPECT_EQ(titles(home), QStringList({"Trailers", "Movies", "Shows"}));
  const QImage frame = render(home, clock.now());
  QDir().mkpath(OX_BINARY_DIR "/frames");
  ASSERT_TRUE(frame.save(OX_BINARY_DIR "/frames/home_first_frame.png"));

  // The movie backdrop fills the right half, hardly darkened there by the vignette.
  EXPECT_TRUE(near(QColor(frame.pixel(1400, 540)), kMovieBlue, 16)) << QColor(frame.pixel(1400, 540)).name().toStdString();
  // The band behind the list darkens the left edge.
  EXPECT_LT(QColor(frame.pixel(20, 800)).blue(), kMovieBlue.blue() / 2 + 10);
  const auto white = [](const QColor& c) { return c.red() > 235 && c.green() > 235 && c.blue() > 235; };
  const auto light = [](const QColor& c) { return c.red() > 110 && c.green() > 110; };
  // "Trailers", highlighted, in white in the first row (216 px under the top, 98 px high); the dimmed "Movies"
  // below it is light but never white; nothing is written on the right half.
  EXPECT_GT(countPixels(frame, QRect(40, 216, 600, 98), white), 800);
  EXPECT_EQ(countPixels(frame, QRect(40, 316, 600, 96), white), 0);
  EXPECT_GT(countPixels(frame, QRect(40, 316, 600, 96), light), 300);
  EXPECT_EQ(countPixels(frame, QRect(1000, 150, 900, 800), light), 0);
  // The clock in the top-left corner.
  EXPECT_GT(countPixels(frame, QRect(40, 20, 300, 50), white), 50);
  // The time Home was built at, or the next minute's if one began meanwhile.
  const QString shown = home->timeLayer()->string();
  EXPECT_TRUE(shown == builtAt || shown == HomeView::clockText(QDateTime::currentDateTime())) << shown.toStdString();
}

TEST_F(HomeViewTest, UpAndDownMoveAtOnceAndTheSlideshowFollowsOneSecondAfterTheLastPress) {
  feed.setReply("/appcast.xml", {200, appcast("1.2.10"), "application/rss+xml", {}});  // newer, by components
  apptest::writeBackdrops("homeMoviesBackdrops", {kMovieBlue, kMovieGreen}, 2);
  apptest::writeBackdrops("homeShowsBackdrops", {kShowRed}, 1);
  auto home = makeHome();
  ASSERT_TRUE(oxtest::spinUntil([&] { return titles(home).size() == 4; }));
  ASSERT_EQ(titles(home), QStringList({"Trailers", "Movies", "Shows", "Update Available"}));
  EXPECT_EQ(home->counterMovie(), 1);
  home->keyDown(ox::KeyEvent::withCharacters(QString(QChar(ox::DownArrowFunctionKey))));
  home->moveDown();
  home->moveDown();
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 3u);
  EXPECT_EQ(home->activeRow(), 0u);
  ox::DelayedCall::advanceManualTime(0.99);
  EXPECT_EQ(home->activeRow(), 0u);
  const bool aBefore = home->kenburnsLayer()->backActiveA();
  ox::DelayedCall::advanceManualTime(0.02);
  EXPECT_EQ(home->activeRow(), 3u);
  // One new picture, the next movie one ("Update Available" is no show row).
  EXPECT_NE(home->kenburnsLayer()->backActiveA(), aBefore);
  EXPECT_EQ(home->counterMovie(), 2);
  home->moveUp();
  ox::DelayedCall::advanceManualTime(1.01);
  EXPECT_EQ(home->activeRow(), 2u);  // Shows
  EXPECT_EQ(home->counterTVShow(), 1);
  // Left, Right, the holds and the letter keys do nothing on Home.
  for (const QString& k : {QString(QChar(ox::LeftArrowFunctionKey)), QString("m"), QString("p")})
    home->keyDown(ox::KeyEvent::withCharacters(k));
  home->moveLeft();
  home->holdPlay();
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 2u);
  EXPECT_TRUE(switcher->calls.isEmpty());
  EXPECT_EQ(quits, 0);
}

TEST_F(HomeViewTest, EachListKeepsItsPlaceAndAnEmptyOneIsAskedAgainEverySecond) {
  apptest::writeBackdrops("homeMoviesBackdrops", {kMovieBlue, kMovieGreen, kMovieBlue}, 3);
  apptest::writeBackdrops("homeShowsBackdrops", {}, 0);
  auto home = makeHome();
  ox::DelayedCall::advanceManualTime(9.0);
  EXPECT_EQ(home->counterMovie(), 2);
  home->activeSection(2);  // back from the show browser
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 2u);
  EXPECT_EQ(home->activeRow(), 2u);
  ox::DelayedCall::advanceManualTime(9.0);  // the next picture is a show one: there is none
  const auto kb = home->kenburnsLayer();
  const ox::LayerPtr current = kb->backActiveA() ? kb->backdropHomeA() : kb->backdropHomeB();
  EXPECT_TRUE(current->contents().isNull());
  const bool side = kb->backActiveA();
  ox::DelayedCall::advanceManualTime(1.0);
  EXPECT_NE(kb->backActiveA(), side);
  home->moveUp();
  ox::DelayedCall::advanceManualTime(1.0);
  EXPECT_EQ(home->activeRow(), 1u);
  EXPECT_EQ(home->counterMovie(), 3);  // went on from where it stopped
}

TEST_F(HomeViewTest, PlayOpensTheHighlightedSectionAfterTheFadeAndMenuQuits) {
  apptest::writeBackdrops("homeMoviesBackdrops", {kMovieBlue}, 1);
  auto home = makeHome();
  home->moveDown();
  home->keyDown(ox::KeyEvent::withCharacters("\r"));
  EXPECT_TRUE(switcher->calls.isEmpty());
  EXPECT_EQ(home->layer()->opacity(), 0);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !switcher->calls.isEmpty(); }, 3000));
  EXPECT_EQ(switcher->calls, QStringList{"movies"});

  auto trailers = makeHome();
  trailers->keyPlay();
  ASSERT_TRUE(oxtest::spinUntil([&] { return switcher->calls.size() == 2; }, 3000));
  EXPECT_EQ(switcher->calls.last(), "trailers");

  // Menu works before the layers exist too; the program is asked to end 0.9 s later.
  auto early = std::make_shared<HomeView>(OXPreferencesValues::sharePreferences()->mainScreenFrame());
  early->moveDown();
  early->keyPlay();
  early->keyDown(ox::KeyEvent::withCharacters(QString(QChar(27))));
  EXPECT_EQ(quits, 0);
  ASSERT_TRUE(oxtest::spinUntil([&] { return quits == 1; }, 3000));
  EXPECT_EQ(switcher->calls.size(), 2);
}

TEST_F(HomeViewTest, TwoFastPlaysOpenTheSectionOnce) {
  auto home = makeHome();
  home->moveDown();
  home->keyPlay();
  ox::DelayedCall::advanceManualTime(0.3);
  home->keyDown(ox::KeyEvent::withCharacters("\r"));
  home->moveDown();  // nor does the highlight move once the section is on its way
  ASSERT_TRUE(oxtest::spinUntil([&] { return !switcher->calls.isEmpty(); }, 3000));
  oxtest::spinFor(900);
  EXPECT_EQ(switcher->calls, QStringList{"movies"});
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 1u);
}

TEST(HomeFonts, LoadLocalFontsAnswersTrueOnlyWhenTheFontCannotBeRegistered) {
  EXPECT_FALSE(HomeView::loadLocalFonts("oxfont"));
  EXPECT_FALSE(MoviesView::loadLocalFonts("ombrixeglyph"));
  EXPECT_TRUE(HomeView::loadLocalFonts("no-such-font"));
  EXPECT_TRUE(MoviesView::loadLocalFonts("no-such-font"));
}

TEST_F(HomeViewTest, LeavingTheWindowStopsTheClockAndTheSlideshow) {
  apptest::writeBackdrops("homeMoviesBackdrops", {kMovieBlue, kMovieGreen}, 2);
  auto window = std::make_shared<ox::Window>(QRectF(0, 0, 1920, 1080));
  window->setContentView(std::make_shared<ox::View>());
  auto home = makeHome();
  window->contentView()->addSubview(home);
  home->moveDown();
  EXPECT_TRUE(home->isClockRunning());
  EXPECT_TRUE(home->isSlideshowRunning());
  EXPECT_TRUE(home->isRowChangePending());
  home->removeFromSuperview();
  EXPECT_FALSE(home->isClockRunning());
  EXPECT_FALSE(home->isSlideshowRunning());
  EXPECT_FALSE(home->isRowChangePending());
  const int counter = home->counterMovie();
  ox::DelayedCall::advanceManualTime(60);
  EXPECT_EQ(home->counterMovie(), counter);
  std::weak_ptr<HomeView> gone = home;
  home.reset();
  EXPECT_TRUE(gone.expired());  // nothing holds on to a Home that has left
}

TEST_F(HomeViewTest, AFeedThatDoesNotAnswerNeverHoldsHomeAndItsLateAnswerReachesOnlyTheHomeStillThere) {
  // A first Home loads the fonts and pictures, so that only a Home's own work is timed below.
  makeHome();
  bool read = false;
  ox::SoftwareUpdater::shared().checkForUpdatesOrJoin([&](const ox::SoftwareUpdater::CheckResult&) { read = true; });
  ASSERT_TRUE(oxtest::spinUntil([&] { return read; }));
  feed.clearRequests();
  ox::SoftwareUpdater::shared().setTimeouts(5000, 10000);
  feed.setNeverAnswer(true);
  auto window = std::make_shared<ox::Window>(QRectF(0, 0, 1920, 1080));
  window->setContentView(std::make_shared<ox::View>());
  // Home at start, then built again as a return from a section builds it: the loop keeps turning throughout.
  std::shared_ptr<HomeView> left, back;
  QTimer::singleShot(0, [&] {
    left = makeHome();
    window->contentView()->addSubview(left);
  });
  QTimer::singleShot(150, [&] {
    left->removeFromSuperview();
    back = makeHome();
    window->contentView()->addSubview(back);
  });
  EXPECT_LT(apptest::longestLoopStallMs(500), 1000);
  ASSERT_TRUE(left && back);
  EXPECT_TRUE(back->acceptEvents());
  EXPECT_EQ(titles(back), QStringList({"Trailers", "Movies", "Shows"}));
  // The second Home joins the reading under way.
  ASSERT_TRUE(feed.waitForRequests(1));
  oxtest::spinFor(200);
  EXPECT_EQ(feed.requestCount(), 1);

  feed.setReply("/appcast.xml", {200, appcast("1.3"), "application/rss+xml", {}});
  feed.setNeverAnswer(false);
  ASSERT_TRUE(oxtest::spinUntil([&] { return titles(back).size() == 4; }));
  EXPECT_EQ(titles(back).last(), "Update Available");
  EXPECT_EQ(titles(left).size(), 3);
  EXPECT_EQ(feed.requestCount(), 1);
  // The row added late is a row like the others: Down reaches it and Play opens the update menu.
  for (int i = 0; i < 4; ++i) back->moveDown();
  EXPECT_EQ(back->homeSectionList()->selectedRow(), 3u);
  back->keyPlay();
  ASSERT_TRUE(back->fullScreenMenu());
  back->closeFullScreenMenu();
  ox::SoftwareUpdater::shared().setTimeouts(1500, 3000);
}

TEST(HomeClock, ShowsHoursAndMinutesUpperCased) {
  const QString text = HomeView::clockText(QDateTime(QDate(2024, 5, 1), QTime(21, 41, 7)));
  EXPECT_FALSE(text.contains("07")) << text.toStdString();
  EXPECT_TRUE(text.contains("41"));
  EXPECT_EQ(text, text.toUpper());
}
