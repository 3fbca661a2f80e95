#include "platform/media/VLCMediaPlayer.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/media/VLCLibrary.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <map>
#include <thread>

#include "tests/support/MediaSamples.h"
#include "tests/support/TestUtil.h"

using namespace ox;

namespace {

bool onMainThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// Records what a player tells its delegate, and whether it was told on the main thread about itself.
struct Recorder : VLCMediaPlayerDelegate {
  VLCMediaPlayer* expected = nullptr;
  std::vector<int> states;
  std::vector<qint64> times;
  QStringList names;
  bool offMain = false;
  int wrongObject = 0;

  void check(const VLCNotification& n) {
    if (!onMainThread()) offMain = true;
    if (n.object != expected) ++wrongObject;
    names << n.name;
  }
  void mediaPlayerTimeChanged(const VLCNotification& n) override {
    check(n);
    times.push_back(n.object->time().value());
  }
  void mediaPlayerStateChanged(const VLCNotification& n) override {
    check(n);
    states.push_back(n.object->state());
  }
  bool saw(int state) const { return std::find(states.begin(), states.end(), state) != states.end(); }
  long indexOf(int state) const { return std::find(states.begin(), states.end(), state) - states.begin(); }
};

#define REQUIRE_SAMPLES()                                                  \
  const oxtest::MediaSamples& s = oxtest::mediaSamples();                  \
  if (!s.ok) GTEST_SKIP() << "ffmpeg could not make the sample media";

QRgb pixel(const QImage& img, double fx, double fy) {
  return img.pixel(int(fx * img.width()), int(fy * img.height()));
}

// Colour bars at 75%: white, yellow, cyan, green, magenta, red, blue.
void expectBars(const QImage& frame) {
  const int expected[7][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                              {191, 0, 191},   {191, 0, 0},   {0, 0, 191}};
  for (int i = 0; i < 7; ++i) {
    const QRgb p = pixel(frame, (i + 0.5) / 7.0, 0.2);
    EXPECT_NEAR(qRed(p), expected[i][0], 40) << "bar " << i;
    EXPECT_NEAR(qGreen(p), expected[i][1], 40) << "bar " << i;
    EXPECT_NEAR(qBlue(p), expected[i][2], 40) << "bar " << i;
  }
}

}  // namespace

TEST(VLCMediaPlayer, GoodFileOpensPlaysEndsAndStopsWithTimesOnTheMainThread) {
  REQUIRE_SAMPLES();
  VLCMediaPlayer player;
  Recorder rec;
  rec.expected = &player;
  player.setDelegate(&rec);
  QStringList posted;
  const auto token = NotificationCenter::defaultCenter().addObserver(
      QStringLiteral("VLCMediaPlayerTimeChanged"), nullptr, [&](const Notification& n) {
        if (n.object == &player && onMainThread()) posted << n.name;
      });
  player.setMedia(VLCMedia::mediaWithPath(s.clip));
  EXPECT_EQ(player.state(), VLCMediaPlayerStateStopped);
  player.play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return rec.saw(VLCMediaPlayerStateEnded) && rec.states.back() == 0; }, 20000));
  NotificationCenter::defaultCenter().removeObserver(token);

  EXPECT_EQ(rec.states.front(), VLCMediaPlayerStateOpening);
  EXPECT_TRUE(rec.saw(VLCMediaPlayerStateBuffering));
  EXPECT_LT(rec.indexOf(VLCMediaPlayerStatePlaying), rec.indexOf(VLCMediaPlayerStateEnded));
  EXPECT_FALSE(rec.saw(VLCMediaPlayerStateError));
  EXPECT_EQ(rec.states.back(), VLCMediaPlayerStateStopped);
  for (size_t i = 1; i < rec.states.size(); ++i) EXPECT_NE(rec.states[i], rec.states[i - 1]) << "repeated state";

  ASSERT_GE(rec.times.size(), 2u);
  EXPECT_TRUE(std::is_sorted(rec.times.begin(), rec.times.end()));
  EXPECT_NEAR(double(player.length()), 2000.0, 150.0);
  // At the end the whole title counts as played, whatever libvlc's last time report said.
  EXPECT_EQ(player.time().intValue(), int(player.length()));
  EXPECT_EQ(player.remainingTime().intValue(), 0);
  EXPECT_FLOAT_EQ(player.position(), 1.0f);

  EXPECT_FALSE(rec.offMain);
  EXPECT_EQ(rec.wrongObject, 0);
  EXPECT_EQ(posted.size(), qsizetype(rec.times.size()));
  EXPECT_TRUE(posted.contains(QStringLiteral("VLCMediaPlayerTimeChanged")));
  EXPECT_TRUE(rec.names.contains(QStringLiteral("VLCMediaPlayerStateChanged")));
}

TEST(VLCMediaPlayer, UnopenableFileReportsErrorThenStoppedAndNoTime) {
  REQUIRE_SAMPLES();
  VLCMediaPlayer player;
  Recorder rec;
  rec.expected = &player;
  player.setDelegate(&rec);
  player.setMedia(VLCMedia::mediaWithPath(s.missing));
  player.play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return rec.saw(VLCMediaPlayerStateError) && rec.states.back() == 0; }, 60000));
  EXPECT_EQ(rec.states.front(), VLCMediaPlayerStateOpening);
  EXPECT_LT(rec.indexOf(VLCMediaPlayerStateError), long(rec.states.size()) - 1);
  EXPECT_FALSE(rec.saw(VLCMediaPlayerStatePlaying));
  EXPECT_TRUE(rec.times.empty());
  EXPECT_EQ(player.state(), VLCMediaPlayerStateStopped);

  // Playing again after the error tries again rather than being ignored.
  rec.states.clear();
  player.play();
  EXPECT_TRUE(oxtest::spinUntil([&] { return rec.saw(VLCMediaPlayerStateError); }, 60000));
}

TEST(VLCMediaPlayer, FramesReachTheSinkWithTheTestPatternAtTheVisibleSize) {
  REQUIRE_SAMPLES();
  auto sink = std::make_shared<VLCFrameSink>();
  int arrivals = 0;
  bool offMain = false;
  QObject::connect(sink.get(), &VLCFrameSink::frameArrived, [&] {
    ++arrivals;
    if (!onMainThread()) offMain = true;
  });
  {
    VLCMediaPlayer player(sink);
    EXPECT_EQ(player.frameSink(), sink);
    player.setMedia(VLCMedia::mediaWithPath(s.bars));
    player.play();
    ASSERT_TRUE(oxtest::spinUntil([&] { return sink->frameCount() >= 5 && arrivals >= 2; }, 60000));
  }
  EXPECT_FALSE(offMain);
  EXPECT_LE(quint64(arrivals), sink->frameCount());
  // The newest frame outlives its player: its buffer belongs to the image.
  const QImage frame = sink->latestFrame();
  ASSERT_FALSE(frame.isNull());
  EXPECT_EQ(frame.size(), QSize(320, 240));  // not libvlc's padded decoding size
  expectBars(frame);
  // The lower part of the bars pattern is not the upper: the picture is not stretched or shifted away.
  EXPECT_NE(pixel(frame, 0.5 / 7, 0.2), pixel(frame, 0.5 / 7, 0.95));

  // Pixels twice as wide as high come out square: the picture is shown at twice its stored width.
  auto wideSink = std::make_shared<VLCFrameSink>();
  VLCMediaPlayer wide(wideSink);
  wide.setMedia(VLCMedia::mediaWithPath(s.wide));
  wide.play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return wideSink->frameCount() >= 2; }, 60000));
  const QImage wideFrame = wideSink->latestFrame();
  EXPECT_EQ(wideFrame.size(), QSize(640, 240));
  expectBars(wideFrame);
}

TEST(VLCMediaPlayer, APictureKeepsItsCacheKeyOnlyWhileItsPixelsStay) {
  // Renderers keep scaled copies by cache key; the buffers libvlc writes into come round again.
  REQUIRE_SAMPLES();
  auto sink = std::make_shared<VLCFrameSink>();
  std::map<qint64, QImage> seen;
  int clashes = 0;
  QObject::connect(sink.get(), &VLCFrameSink::frameArrived, [&] {
    const QImage frame = sink->latestFrame();
    auto [it, added] = seen.emplace(frame.cacheKey(), frame.copy());
    if (!added && it->second != frame) ++clashes;
  });
  VLCMediaPlayer player(sink);
  player.setMedia(VLCMedia::mediaWithPath(s.clip));
  player.play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return seen.size() >= 12 || clashes > 0; }, 60000));
  EXPECT_EQ(clashes, 0);
}

TEST(VLCMediaPlayer, AudioTracksSubtitleFileAndDelay) {
  REQUIRE_SAMPLES();
  VLCMediaPlayer player;
  player.setMedia(VLCMedia::mediaWithPath(s.bars));
  player.play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return player.state() == VLCMediaPlayerStatePlaying; }, 60000));
  player.pause();
  ASSERT_TRUE(oxtest::spinUntil([&] { return player.state() == VLCMediaPlayerStatePaused; }, 60000));

  const QList<int> audio = player.audioTrackIndexes();
  const QStringList audioNames = player.audioTrackNames();
  ASSERT_EQ(audio.size(), 3);
  ASSERT_EQ(audioNames.size(), 3);
  EXPECT_EQ(audio.front(), -1);  // the "off" entry comes first
  EXPECT_TRUE(audioNames[1].contains(QStringLiteral("English"))) << audioNames[1].toStdString();
  EXPECT_TRUE(audioNames[2].contains(QStringLiteral("French"))) << audioNames[2].toStdString();
  player.setCurrentAudioTrackIndex(audio[2]);
  EXPECT_TRUE(oxtest::spinUntil([&] { return player.currentAudioTrackIndex() == audio[2]; }, 5000));

  const QList<int> before = player.videoSubTitlesIndexes();
  EXPECT_FALSE(player.openVideoSubTitlesFromFile(s.missing));
  EXPECT_FALSE(player.openVideoSubTitlesFromFile(QString()));
  bool fromWorker = false;
  std::thread worker([&] { fromWorker = player.openVideoSubTitlesFromFile(s.subtitles); });  // as a download does
  worker.join();
  EXPECT_TRUE(fromWorker);
  int added = -2;
  ASSERT_TRUE(oxtest::spinUntil(
      [&] {
        for (int id : player.videoSubTitlesIndexes())
          if (id != -1 && !before.contains(id)) added = id;
        return added != -2 && player.currentVideoSubTitleIndex() == added;
      },
      10000));
  EXPECT_EQ(player.videoSubTitlesIndexes().size(), player.videoSubTitlesNames().size());
  EXPECT_EQ(player.videoSubTitlesIndexes().front(), -1);
  player.setCurrentVideoSubTitleIndex(-1);
  EXPECT_TRUE(oxtest::spinUntil([&] { return player.currentVideoSubTitleIndex() == -1; }, 5000));
  player.setCurrentVideoSubTitleDelay(300000);
  EXPECT_EQ(player.currentVideoSubTitleDelay(), 300000);
  player.setCurrentVideoSubTitleDelay(-200000);
  EXPECT_EQ(player.currentVideoSubTitleDelay(), -200000);

  VLCMediaPlayer empty;
  EXPECT_FALSE(empty.openVideoSubTitlesFromFile(s.subtitles));  // nothing to add it to
  EXPECT_TRUE(empty.audioTrackIndexes().isEmpty());
}

TEST(VLCMediaPlayer, PauseSeeksAndJumpsStayInsideTheTitle) {
  REQUIRE_SAMPLES();
  VLCMediaPlayer player;
  Recorder rec;
  rec.expected = &player;
  player.setDelegate(&rec);
  player.audio()->setVolume(250);
  player.audio()->setMute(true);
  player.setMedia(VLCMedia::mediaWithPath(s.clip));
  player.play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return player.state() == VLCMediaPlayerStatePlaying; }, 60000));
  EXPECT_TRUE(player.isPlaying());
  EXPECT_EQ(player.audio()->volume(), 200);
  EXPECT_TRUE(player.audio()->isMuted());
  player.audio()->setVolume(-5);
  EXPECT_EQ(player.audio()->volume(), 0);

  player.pause();
  ASSERT_TRUE(oxtest::spinUntil([&] { return player.state() == VLCMediaPlayerStatePaused; }, 30000));
  EXPECT_FALSE(player.isPlaying());
  ASSERT_GT(player.length(), 0);
  player.setPosition(0.5f);
  EXPECT_FLOAT_EQ(player.position(), 0.5f);
  EXPECT_NEAR(player.time().intValue(), player.length() / 2, 1);
  EXPECT_NEAR(player.remainingTime().intValue(), -player.length() / 2, 1);
  player.shortJumpBackward();  // 10 s back from 1 s: the start
  EXPECT_EQ(player.time().intValue(), 0);
  player.setPosition(3.0f);
  EXPECT_FLOAT_EQ(player.position(), 1.0f);
  player.setPosition(std::nanf(""));  // a damaged stored ratio moves nothing
  EXPECT_FLOAT_EQ(player.position(), 1.0f);
  player.setPosition(0.0f);

  const size_t timesBefore = rec.times.size();
  player.play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return rec.times.size() > timesBefore; }, 5000));
  player.longJumpForward();  // far past the end of a 2 s title: the end
  EXPECT_EQ(player.time().value(), player.length());
  EXPECT_TRUE(oxtest::spinUntil([&] { return rec.saw(VLCMediaPlayerStateEnded); }, 10000));
  EXPECT_EQ(player.remainingTime().intValue(), 0);
}

TEST(VLCMediaPlayer, EventsAfterTheDelegateOrPlayerIsGoneAreDropped) {
  REQUIRE_SAMPLES();
  auto sink = std::make_shared<VLCFrameSink>();
  auto player = std::make_unique<VLCMediaPlayer>(sink);
  auto rec = std::make_unique<Recorder>();
  rec->expected = player.get();
  player->setDelegate(rec.get());
  player->setMedia(VLCMedia::mediaWithPath(s.clip));
  player->play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !rec->times.empty(); }, 60000));
  rec.reset();
  EXPECT_EQ(player->delegate(), nullptr);
  oxtest::spinFor(300);  // more time changes, to nobody

  // Let events pile up unhandled, then drop the player under them.
  QThread::msleep(400);
  int stateSignals = 0;
  QObject::connect(player.get(), &VLCMediaPlayer::stateChanged, [&] { ++stateSignals; });
  player.reset();
  oxtest::spinFor(300);
  EXPECT_EQ(stateSignals, 0);
  EXPECT_FALSE(sink->latestFrame().isNull());
}

// A delegate that lets go of the player from inside its callback, as a closing controller's owner may.
TEST(VLCMediaPlayer, PlayerMayBeDroppedFromItsOwnCallback) {
  REQUIRE_SAMPLES();
  struct Dropper : VLCMediaPlayerDelegate {
    std::unique_ptr<VLCMediaPlayer> player;
    void mediaPlayerTimeChanged(const VLCNotification&) override {}
    void mediaPlayerStateChanged(const VLCNotification& n) override {
      if (n.object->state() == VLCMediaPlayerStateError) player.reset();
    }
  } dropper;
  dropper.player = std::make_unique<VLCMediaPlayer>(std::make_shared<VLCFrameSink>());
  dropper.player->setDelegate(&dropper);
  dropper.player->setMedia(VLCMedia::mediaWithPath(s.missing));
  dropper.player->play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !dropper.player; }, 60000));
  oxtest::spinFor(300);  // the stopped state that followed the error goes nowhere
}

// The program's end releases libvlc under players that still play (a film, a soundtrack preview): they stop at
// once and fall silent, and nothing new starts afterwards.
TEST(VLCMediaPlayer, PlayersStillPlayingWhenLibvlcIsReleasedStopAndFallSilent) {
  REQUIRE_SAMPLES();
  auto sink = std::make_shared<VLCFrameSink>();
  auto film = std::make_unique<VLCMediaPlayer>(sink);
  Recorder rec;
  rec.expected = film.get();
  film->setDelegate(&rec);
  film->setMedia(VLCMedia::mediaWithPath(s.longClip));
  film->play();
  auto preview = std::make_unique<VLCMediaPlayer>();
  preview->setMedia(VLCMedia::mediaWithPath(s.longClip));
  preview->play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return rec.times.size() > 2 && preview->isPlaying(); }, 60000));

  VLCLibrary::releaseSharedInstance();
  EXPECT_FALSE(film->isPlaying());
  EXPECT_FALSE(preview->isPlaying());
  const quint64 frames = sink->frameCount();
  const size_t reports = rec.times.size() + rec.states.size();
  oxtest::spinFor(500);
  EXPECT_EQ(sink->frameCount(), frames);
  EXPECT_EQ(rec.times.size() + rec.states.size(), reports);
  EXPECT_EQ(VLCLibrary::sharedInstance(), nullptr);
  EXPECT_FALSE(VLCMedia::mediaWithPath(s.clip));
  film.reset();  // nothing of libvlc left to let go
  preview.reset();
}

TEST(VLCMedia, OptionsPassThroughAndBadSourcesGiveNothing) {
  auto media = VLCMedia::mediaWithURL(QUrl(QStringLiteral("http://127.0.0.1:9/stream")));
  ASSERT_TRUE(media);
  media->addOptions({{QStringLiteral("spdif"), QVariant()}});
  media->addOptions({{QStringLiteral("force-dolby-surround=0"), QVariant::fromValue(nullptr)}});
  media->addOptions({{QStringLiteral("--freetype-rel-fontsize"), QStringLiteral("72")}});
  EXPECT_EQ(media->options(), (QStringList{"spdif", "force-dolby-surround=0", "--freetype-rel-fontsize=72"}));
  EXPECT_EQ(media->url(), QUrl(QStringLiteral("http://127.0.0.1:9/stream")));

  EXPECT_FALSE(VLCMedia::mediaWithURL(QUrl()));
  EXPECT_FALSE(VLCMedia::mediaWithURL(QUrl(QStringLiteral("no scheme"))));
  EXPECT_FALSE(VLCMedia::mediaWithPath(QString()));
  auto path = VLCMedia::mediaWithPath(QStringLiteral("relative/movie.mkv"));
  ASSERT_TRUE(path);
  EXPECT_TRUE(path->url().isLocalFile());
}

TEST(VLCMedia, CommandLineFormOptionsTakeEffect) {
  REQUIRE_SAMPLES();
  VLCMediaPlayer player;
  // A 20 s title played in 5 s: a busy machine's slower start and decoding stay far from the 20 s of the title's own
  // pace.
  auto media = VLCMedia::mediaWithPath(s.longBars);
  media->addOptions({{QStringLiteral("--rate"), QStringLiteral("4")}});
  EXPECT_EQ(media->options(), QStringList{"--rate=4"});
  player.setMedia(media);
  QElapsedTimer t;
  qint64 endedAt = -1;
  // Timed from the first Playing state: opening the title may take long on a loaded or sanitized build.
  QObject::connect(&player, &VLCMediaPlayer::stateChanged, [&](int state) {
    if (state == VLCMediaPlayerStatePlaying && !t.isValid()) t.start();
    if (state == VLCMediaPlayerStateEnded && t.isValid()) endedAt = t.elapsed();
  });
  player.play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return endedAt >= 0; }, 60000));
  EXPECT_LT(endedAt, 12000);
}

TEST(VLCMedia, LocalHttpStreamAddressPlays) {
  REQUIRE_SAMPLES();
  QProcess server;
  server.setProcessChannelMode(QProcess::MergedChannels);
  server.start(QStringLiteral("python3"), {"-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory",
                                           QFileInfo(s.clip).absolutePath()});
  int port = 0;
  ASSERT_TRUE(oxtest::spinUntil(
      [&] {
        const auto m = QRegularExpression(QStringLiteral("port (\\d+)")).match(QString::fromUtf8(server.peek(4096)));
        if (m.hasMatch()) port = m.captured(1).toInt();
        return port != 0;
      },
      30000));  // a loaded machine may take seconds to start the interpreter
  VLCMediaPlayer player;
  Recorder rec;
  rec.expected = &player;
  player.setDelegate(&rec);
  auto media = VLCMedia::mediaWithURL(QUrl(QStringLiteral("http://127.0.0.1:%1/clip.mkv").arg(port)));
  media->addOptions({{QStringLiteral("--freetype-rel-fontsize"), QStringLiteral("72")}});
  player.setMedia(media);
  player.play();
  EXPECT_TRUE(oxtest::spinUntil([&] { return !rec.times.empty(); }, 60000));
  EXPECT_FALSE(rec.saw(VLCMediaPlayerStateError));
  player.stop();
  server.kill();
  server.waitForFinished();
}
