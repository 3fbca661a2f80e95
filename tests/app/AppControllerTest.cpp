#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include "app/HomeView.h"
#include "app/MoviesView.h"
#include "app/OXMainInterface.h"
#include "app/OXStreamersMoviesView.h"
#include "app/OXStreamersShowsView.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/foundation/PropertyList.h"
#include "platform/layers/LayerClock.h"
#include "platform/ui/WindowServer.h"
#include "tests/app/AppTestUtil.h"
#include "tests/support/TestUtil.h"

namespace {

class AppControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::supportFolder();
    OXMainInterface::registerInfoValues();
    ox::DelayedCall::useManualTime(true);
    ui = OXMainInterface::load();
    ui.window->setFrame(QRectF(0, 0, 1920, 1080));
  }
  void TearDown() override {
    ui.window->close();
    ox::DelayedCall::useManualTime(false);
  }

  apptest::Screen1080 screen;
  ox::ManualClock clock{10};
  OXMainInterface ui;
};

QString writeMarker(const QTemporaryDir& dir, const QVariantMap& marker) {
  const QString path = dir.filePath("update.bin");
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(ox::propertyListData(marker));
  return path;
}

}  // namespace

TEST_F(AppControllerTest, EachSwitchShowsOneNewViewAsFirstResponderWithTheSwitcherAsDelegate) {
  ui.appController->openHome(0);
  auto home = std::dynamic_pointer_cast<HomeView>(ui.appController->currentSection());
  ASSERT_TRUE(home);
  EXPECT_EQ(home->delegate(), ui.appController);
  EXPECT_EQ(ui.window->firstResponder(), home);
  EXPECT_EQ(home->frame(), QRectF(0, 0, 1920, 1080));

  ui.appController->openMovies();
  auto movies = std::dynamic_pointer_cast<MoviesView>(ui.appController->currentSection());
  ASSERT_TRUE(movies);
  EXPECT_EQ(movies->sectionName(), "Movies");
  EXPECT_EQ(ui.window->contentView()->subviews().size(), 1u);
  EXPECT_EQ(ui.window->firstResponder(), movies);
  // The Home left behind can no longer switch sections, and its clock and slideshow have stopped.
  EXPECT_EQ(home->delegate(), nullptr);
  EXPECT_FALSE(home->isClockRunning());
  EXPECT_FALSE(home->isSlideshowRunning());

  ui.appController->openMovies();
  EXPECT_NE(ui.appController->currentSection(), movies);
  EXPECT_EQ(movies->delegate(), nullptr);
}

TEST_F(AppControllerTest, MenuInASectionReturnsHomeOnTheRowItCameFrom) {
  // Every browser (movies, shows, trailers, the two streamer browsers) leaves after its fade.
  const struct {
    void (AppController::*open)();
    const char* name;
    quint64 row;
    bool streamers;
  } browsers[] = {{&AppController::openMovies, "Movies", 1, false},
                  {&AppController::openTVShows, "Shows", 2, false},
                  {&AppController::openTrailers, "Trailers", 1, false},
                  {&AppController::openMoviesStreamers, "Movies", 1, true},
                  {&AppController::openShowsStreamers, "Shows", 2, true}};
  for (const auto& b : browsers) {
    ((*ui.appController).*b.open)();
    auto browser = std::dynamic_pointer_cast<MoviesView>(ui.appController->currentSection());
    ASSERT_TRUE(browser) << b.name;
    EXPECT_EQ(browser->sectionName(), b.name);
    const bool streamers = std::dynamic_pointer_cast<OXStreamersMoviesView>(browser) ||
                           std::dynamic_pointer_cast<OXStreamersShowsView>(browser);
    EXPECT_EQ(streamers, b.streamers) << b.name;
    browser->moveUp();
    EXPECT_EQ(ui.appController->currentSection(), browser) << b.name;  // only Menu leaves
    browser->keyDown(ox::KeyEvent::withCharacters(QString(QChar(27))));
    std::shared_ptr<HomeView> home;
    ASSERT_TRUE(oxtest::spinUntil([&] {
      home = std::dynamic_pointer_cast<HomeView>(ui.appController->currentSection());
      return bool(home);
    })) << b.name;
    EXPECT_EQ(home->homeSectionList()->selectedRow(), b.row) << b.name;
    EXPECT_EQ(home->activeRow(), b.row) << b.name;
  }
}

TEST(AppControllerMarker, ARecentOrMissingMarkerOrAnEmptyLibraryLeavesTheCursor) {
  QTemporaryDir dir;
  const QDateTime now = QDateTime::currentDateTimeUtc();
  const QString old = writeMarker(dir, {{"date", now.addSecs(-10)}});
  EXPECT_TRUE(AppController::markerHidesCursor(old, false, now));
  EXPECT_FALSE(AppController::markerHidesCursor(old, true, now));
  const QString recent = writeMarker(dir, {{"date", now.addSecs(-3)}});
  EXPECT_FALSE(AppController::markerHidesCursor(recent, false, now));
  const QString undated = writeMarker(dir, {{"when", now.addSecs(-10)}});
  EXPECT_FALSE(AppController::markerHidesCursor(undated, false, now));
  EXPECT_FALSE(AppController::markerHidesCursor(dir.filePath("missing.bin"), false, now));
  QFile junk(dir.filePath("junk.bin"));
  junk.open(QIODevice::WriteOnly);
  junk.write("not a property list");
  junk.close();
  EXPECT_FALSE(AppController::markerHidesCursor(junk.fileName(), false, now));
}
