// The trailer window over loopback HTTP: shown and reported at its first buffer state, keys and times, the end of
// the item, and a trailer that cannot be played closing its window.
#include "playback/OXFoundationPlayer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include "core/OXPreferencesValues.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/WindowServer.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/TestUtil.h"

using namespace ox;

namespace {

struct Caller : OXPlayerControllerDelegate {
  int loaded = 0;
  bool offMain = false;
  void videoDidFailed() override {}
  void videoDidLoaded() override {
    offMain = offMain || QThread::currentThread() != QCoreApplication::instance()->thread();
    ++loaded;
  }
  void videoDidClosedWithError(bool) override {}
};

// The two notifications a trailers view watches, as they arrive.
struct Watch {
  int ends = 0;
  int exits = 0;
  bool exitsBare = true;
  NotificationCenter::Token end, exit;
  explicit Watch(const void* item) {
    end = NotificationCenter::defaultCenter().addObserver(QString::fromLatin1(AVPlayerItemDidPlayToEndTimeNotification),
                                                          item, [this](const Notification&) { ++ends; });
    exit = NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(exitPlayerNotification), nullptr, [this](const Notification& n) {
          ++exits;
          exitsBare = exitsBare && !n.object && n.userInfo.isEmpty();
        });
  }
  ~Watch() {
    NotificationCenter::defaultCenter().removeObserver(end);
    NotificationCenter::defaultCenter().removeObserver(exit);
  }
};

void press(const QString& characters) { WindowServer::shared().dispatchKeyEvent(KeyEvent::withCharacters(characters)); }

}  // namespace

TEST(OXFoundationPlayer, ATrailerOverLoopbackPlaysToItsEndUnderItsOwnDisplay) {
  const oxtest::MediaSamples& s = oxtest::mediaSamples();
  if (!s.ok) GTEST_SKIP() << "ffmpeg could not make the sample media";
  QFile clip(s.clip);
  ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
  oxtest::LoopbackServer server;
  server.setReply("/trailers/night-train.mkv", {200, clip.readAll(), "video/x-matroska", {}});

  EXPECT_FALSE(OXFoundationPlayer::initWithURL(QUrl(), "Nothing"));
  auto window = OXFoundationPlayer::initWithURL(server.url("/trailers/night-train.mkv"), "Night Train");
  ASSERT_TRUE(window);
  auto caller = std::make_shared<Caller>();
  window->setDelegatePlayer(caller);
  auto osd = window->osd();
  Watch watch(window->player()->currentItem());
  EXPECT_FALSE(window->isVisible());  // until the first buffer state
  EXPECT_EQ(osd->titleText()->string(), "Night Train");
  EXPECT_EQ(osd->bufferingText()->string(), "Buffering...");
  EXPECT_EQ(osd->bufferingText()->opacity(), 0.0);

  ASSERT_TRUE(oxtest::spinUntil([&] { return caller->loaded == 1; }, 60000));
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->isKeyWindow());
  EXPECT_FALSE(window->delegatePlayer());  // told once, then let go
  EXPECT_FALSE(caller->offMain);

  // A paused trailer stays paused when its buffer recovers; the buffering text goes.
  ASSERT_TRUE(oxtest::spinUntil([&] { return window->player()->isPlaybackLikelyToKeepUp(); }, 10000));
  press(" ");
  EXPECT_TRUE(osd->isPause());
  EXPECT_EQ(window->player()->rate(), 0.0f);
  EXPECT_EQ(osd->glyphsPlayPause()->string(), "5");
  osd->showBufferingMessage();
  EXPECT_GT(osd->bufferingText()->opacity(), 0.0);
  window->observeValueForKeyPath("playbackLikelyToKeepUp");
  EXPECT_EQ(window->player()->rate(), 0.0f);
  EXPECT_EQ(osd->bufferingText()->opacity(), 0.0);
  press("m");  // no options for trailers
  EXPECT_FALSE(osd->optionsPanel());
  press(" ");
  EXPECT_FALSE(osd->isPause());
  EXPECT_EQ(window->player()->rate(), 1.0f);

  ASSERT_TRUE(oxtest::spinUntil([&] { return watch.ends == 1; }, 60000));
  EXPECT_EQ(osd->durationAsString(), "00:00:02");
  EXPECT_FLOAT_EQ(osd->currentTimeAsPercentage(), 1.0f);
  EXPECT_EQ(osd->durationToEndAsString(), "-00:00:00");
  // Menu leaves, each time, with neither object nor fraction; the window waits for its owner.
  press(QString(QChar(27)));
  press(QString(QChar(27)));
  EXPECT_EQ(watch.exits, 2);
  EXPECT_TRUE(watch.exitsBare);
  EXPECT_TRUE(window->player()->isMuted());
  EXPECT_TRUE(window->isVisible());
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(watch.ends, 1);
}

TEST(OXFoundationPlayer, ATrailerThatCannotBePlayedEndsAndClosesItsWindow) {
  oxtest::LoopbackServer server;  // answers 404 to everything
  auto window = OXFoundationPlayer::initWithURL(server.url("/trailers/missing.mkv"), "Missing");
  ASSERT_TRUE(window);
  Watch watch(window->player()->currentItem());
  window->makeKeyAndOrderFront();
  ASSERT_TRUE(oxtest::spinUntil([&] { return watch.ends == 1; }, 60000));
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->player()->error().isEmpty());
  oxtest::spinFor(200);
  EXPECT_EQ(watch.ends, 1);

  // Nothing to play yet: no fraction, no times, an empty progress.
  OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(QRect(0, 0, 1920, 1080));
  auto idle = std::make_shared<OXFoundationOSDView>(QRectF(0, 0, 1920, 1080));
  idle->setupLayers();
  idle->mediaPlayerTimeChanged({});
  EXPECT_EQ(idle->currentTimeAsPercentage(), 0.0f);
  EXPECT_EQ(idle->durationAsString(), "00:00:00");
  EXPECT_EQ(idle->timeEnd()->string(), "-00:00:00");
  EXPECT_EQ(idle->barProgressLayer()->bounds().width(), 0.0);
  // The track is round(1920 - 86 - 72) = 1762 wide at most, and narrower where the play/pause glyph needs the room:
  // it ends where the remaining time does, 34 from the right edge.
  EXPECT_LE(idle->barBackLayer()->bounds().width(), 1762);
  idle->layer()->layoutIfNeeded();
  idle->barLayer()->layoutIfNeeded();
  EXPECT_NEAR(idle->barBackLayer()->frame().right(), 1920 - 34, 1);
  EXPECT_NEAR(idle->timeEnd()->frame().right(), 1920 - 34, 1);
  OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(std::nullopt);
}
