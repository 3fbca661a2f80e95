// Ombrix driven by the remote alone, from the fake receiver's batches: Home, a held Minus that repeats, the Movies
// section, a held Right that runs along the row, a film played and left with Menu, and back to Home.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/HomeView.h"
#include "app/MoviesView.h"
#include "app/OXMainInterface.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/media/VLCLibrary.h"
#include "platform/ui/WindowServer.h"
#include "tests/app/AppTestUtil.h"
#include "tests/remote/FakeHIDBackend.h"
#include "tests/remote/ManualRemoteClock.h"
#include "tests/remote/RemoteTestUtil.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/TestUtil.h"

namespace {

const QString kPlus = "33_31_30_21_20_2_", kMinus = "33_32_30_21_20_2_", kMenu = "33_22_21_20_2_33_22_21_20_2_",
              kPlay = "33_23_21_20_2_33_23_21_20_2_", kLeft = "33_25_21_20_2_33_25_21_20_2_",
              kRightHeld = "33_21_20_14_12_2_";

// The views' own delays follow the manual clock of DelayedCall; while waiting for what runs in real time (fades,
// the player), that clock moves along.
bool waitFor(const std::function<bool()>& done, int ms = 5000) {
  return oxtest::spinUntil([&] {
    ox::DelayedCall::advanceManualTime(0.02);
    return done();
  }, ms);
}

}  // namespace

TEST(RemoteEndToEnd, HomeToMoviesToAFilmAndBackWithTheRemoteAlone) {
  const oxtest::MediaSamples& media = oxtest::mediaSamples();
  if (!media.ok) GTEST_SKIP() << "ffmpeg could not make the film";
  remotetest::useBundleIdentifier();
  apptest::supportFolder();
  apptest::Screen1080 screen;
  ox::VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")});
  OXLibrary* library = OXLibrary::shareLibrary();
  library->setListenSoundtracks(false);
  QTemporaryDir films;
  QList<std::shared_ptr<OXMovie>> added;
  for (int i = 0; i < 5; ++i) {
    const QString imdb = QStringLiteral("tt950000%1").arg(i);
    const QVariantMap fields{{"title", QStringLiteral("Film %1").arg(i)}};
    auto movie = OXMovie::initWithDictionary({{"id", imdb}, {"fields", fields}});
    auto file = OXFile::initWithType(OXFile::kTypeMovie);
    file->setFilePath(films.filePath(imdb + ".mkv"));
    ASSERT_TRUE(QFile::copy(media.longBars, file->filePath()));
    movie->setFile(file);
    ASSERT_TRUE(library->addContent(movie));
    library->setRatioForIMDB(0, imdb);
    added << movie;
  }
  struct Cleanup {
    QList<std::shared_ptr<OXMovie>>& added;
    ~Cleanup() {
      for (const auto& m : added) OXLibrary::shareLibrary()->removeContent(m);
      ox::DelayedCall::useManualTime(false);
    }
  } cleanup{added};
  ox::DelayedCall::useManualTime(true);

  OXMainInterface::registerInfoValues();
  OXMainInterface ui = OXMainInterface::load();
  ManualRemoteClock clock;
  auto backend = std::make_unique<FakeHIDBackend>();
  FakeHIDBackend* remote = backend.get();
  ui.delegate->setRemoteClock(&clock);
  ui.delegate->setRemoteBackend(std::move(backend));
  ui.delegate->setupRemoteControl();
  ui.window->setFrame(QRectF(0, 0, 1920, 1080));
  ui.window->makeKeyAndOrderFront();
  ui.appController->openHome(0);
  auto home = std::dynamic_pointer_cast<HomeView>(ui.appController->currentSection());
  ASSERT_TRUE(home);
  const auto press = [&](const QString& cookies) { remote->deliver(cookies, 1); };
  const auto release = [&](const QString& cookies) { remote->deliver(cookies, 0); };

  // Minus held on Home: one step at once, the next at 0.45 s; the list ends at Shows.
  press(kMinus);
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 1u);
  clock.advance(0.44);
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 1u);
  clock.advance(0.02);
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 2u);
  clock.advance(0.3);
  release(kMinus);
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 2u);
  press(kPlus);
  release(kPlus);
  ASSERT_EQ(home->homeSectionList()->selectedRow(), 1u);

  press(kPlay);
  std::shared_ptr<MoviesView> movies;
  ASSERT_TRUE(waitFor([&] {
    movies = std::dynamic_pointer_cast<MoviesView>(ui.appController->currentSection());
    return movies && movies->pendingPosters() == 0;
  }, 10000));
  EXPECT_EQ(movies->titleSectionLayer()->string(), "5 Movies");

  // Right held: the browser steps every 0.05 s on its own until the release.
  EXPECT_EQ(movies->selectedIndex(), 0u);
  press(kRightHeld);
  ox::DelayedCall::advanceManualTime(0.049);
  EXPECT_EQ(movies->selectedIndex(), 0u);
  ox::DelayedCall::advanceManualTime(0.102);
  EXPECT_EQ(movies->selectedIndex(), 3u);
  release(kRightHeld);
  EXPECT_FALSE(movies->isRepeating());
  ox::DelayedCall::advanceManualTime(0.5);
  EXPECT_EQ(movies->selectedIndex(), 3u);
  press(kLeft);
  ox::DelayedCall::advanceManualTime(0.5);
  ASSERT_EQ(movies->titleSelectedMovie()->string(), "Film 2");

  // Play: the film starts and its display takes the remote; Menu there leaves the film.
  press(kPlay);
  std::shared_ptr<OXPlayerController> player;
  ASSERT_TRUE(waitFor([&] {
    player = movies->videoPlayer();
    return player && ox::WindowServer::shared().keyWindow() == player->videoPlayerOSD();
  }, 60000));
  EXPECT_EQ(VNAppDelegate::keyWindowResponder(),
            std::dynamic_pointer_cast<OXRemoteProtocol>(player->videoPlayerOSD()->osd()));
  auto vlc = player->videoPlayerCore()->player();
  ASSERT_TRUE(waitFor([&] { return vlc->time().value() >= 1000; }, 15000));
  press(kMenu);
  ASSERT_TRUE(waitFor([&] { return movies->acceptEvents() && !movies->videoPlayer(); }, 5000));
  EXPECT_EQ(ox::WindowServer::shared().keyWindow(), ui.window);
  EXPECT_GT(library->ratioForIMDB("tt9500002"), 0.0f);
  EXPECT_EQ(library->ratioForIMDB("tt9500003"), 0.0f);

  // Menu in the browser: Home again, on the Movies row.
  press(kMenu);
  ASSERT_TRUE(waitFor([&] {
    home = std::dynamic_pointer_cast<HomeView>(ui.appController->currentSection());
    return bool(home);
  }));
  EXPECT_EQ(home->homeSectionList()->selectedRow(), 1u);
  ui.window->close();
}
