#include "playback/OXPlayerController.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QThread>

#include "core/OXEpisode.h"
#include "core/OXShow.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/layers/LayerClock.h"
#include "platform/media/XCDYouTubeClient.h"
#include "platform/ui/WindowServer.h"
#include "tests/playback/ExitWatch.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/TestUtil.h"

using namespace ox;

namespace {

#define REQUIRE_SAMPLES()                                 \
  const oxtest::MediaSamples& s = oxtest::mediaSamples(); \
  if (!s.ok) GTEST_SKIP() << "ffmpeg could not make the sample media";

bool onMainThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// What the browsing views see of a playback, in order.
struct Caller : OXPlayerControllerDelegate {
  QStringList calls;
  bool offMain = false;
  std::function<void()> onLoaded;
  std::function<void(bool)> onClosed;
  void videoDidFailed() override { calls << "failed"; }
  void videoDidLoaded() override {
    offMain = offMain || !onMainThread();
    calls << "loaded";
    if (onLoaded) onLoaded();
  }
  void videoDidClosedWithError(bool error) override {
    offMain = offMain || !onMainThread();
    calls << (error ? "closed:error" : "closed");
    if (onClosed) onClosed(error);
  }
  int closes() const { return int(calls.count("closed") + calls.count("closed:error")); }
};

std::shared_ptr<OXFile> fileAt(const QString& path, qint32 type) {
  auto f = OXFile::initWithType(type);
  f->setFilePath(path);
  return f;
}

std::shared_ptr<OXMovie> movieAt(const QString& path, const QString& title = QStringLiteral("Test Pattern")) {
  auto m = OXMovie::initWithStreamerDictionary({{"id", "tt0000001"}, {"title", title}});
  if (!path.isNull()) m->setFile(fileAt(path, OXFile::kTypeMovie));
  return m;
}

std::shared_ptr<OXEpisode> episode(quint64 season, quint64 number, const QString& title) {
  return OXEpisode::initWithStreamerDictionary({{"id", 77}, {"showid", 5}, {"season", season}, {"episode", number},
                                                {"title", title}});
}

// The states of a controller's player, as it reports them; copied at the start of the video.
struct StateLog {
  QList<int> states;
  QObject context;
  explicit StateLog(const std::shared_ptr<OXPlayerController>& c) {
    QObject::connect(c->videoPlayerCore()->player().get(), &VLCMediaPlayer::stateChanged, &context,
                     [this](int state) { states << state; });
  }
};

QRgb screenPixel(const QImage& img, double fx, double fy) {
  return img.pixel(int(fx * (img.width() - 1)), int(fy * (img.height() - 1)));
}

// Colour bars at 75%: white, yellow, cyan, green, magenta, red, blue.
void expectBars(const QImage& screen) {
  const int expected[7][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                              {191, 0, 191},   {191, 0, 0},   {0, 0, 191}};
  for (int i = 0; i < 7; ++i) {
    const QRgb p = screenPixel(screen, (i + 0.5) / 7.0, 0.2);
    EXPECT_NEAR(qRed(p), expected[i][0], 40) << "bar " << i;
    EXPECT_NEAR(qGreen(p), expected[i][1], 40) << "bar " << i;
    EXPECT_NEAR(qBlue(p), expected[i][2], 40) << "bar " << i;
  }
}

}  // namespace

TEST(OXPlayerController, DisplayTitles) {
  EXPECT_EQ(OXPlayerController::displayTitle(movieAt(QString(), "Night Train")), QStringLiteral("Night Train"));
  const QString forty = QStringLiteral("A").repeated(40);
  const QString fortyFive = QStringLiteral("0123456789").repeated(4) + QStringLiteral("ABCDE");
  EXPECT_EQ(OXPlayerController::displayTitle(episode(2, 5, fortyFive)),
            QStringLiteral("2x5 - ") + fortyFive.left(40));
  EXPECT_EQ(OXPlayerController::displayTitle(episode(11, 3, forty)), QStringLiteral("11x3 - ") + forty);
  EXPECT_EQ(OXPlayerController::displayTitle(OXShow::initWithStreamerDictionary({{"id", 9}, {"title", "Show"}})),
            QString());
  EXPECT_EQ(OXPlayerController::displayTitle(nullptr), QString());
}

TEST(OXPlayerController, VideoWindowsAndTheirMediaOptions) {
  REQUIRE_SAMPLES();
  // The local entry adds only the three sound and picture options, the stream entry only the font size.
  auto local = OXVideoPlayer::initWithSource(s.clip);
  ASSERT_TRUE(local);
  EXPECT_EQ(local->media()->options(), QStringList({"spdif", "force-dolby-surround=0", "sepia-intensity=255"}));
  EXPECT_EQ(local->frame(), screenFrame(QGuiApplication::primaryScreen()));
  EXPECT_EQ(local->player()->state(), VLCMediaPlayerStateStopped);  // nothing plays until asked
  EXPECT_TRUE(OXVideoPlayer::initWithSource(QUrl::fromLocalFile(s.clip)));
  auto stream = OXVideoPlayer::initWithLocalStreaming(QStringLiteral("http://127.0.0.1:8888/0"));
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->media()->options(), QStringList({"--freetype-rel-fontsize=72"}));

  EXPECT_FALSE(OXVideoPlayer::initWithSource(QVariant()));
  EXPECT_FALSE(OXVideoPlayer::initWithSource(42));
  EXPECT_FALSE(OXVideoPlayer::initWithSource(QString()));
  EXPECT_FALSE(OXVideoPlayer::initWithLocalStreaming(QString()));

  // The display view has the player and the title, shows the title and takes the keys.
  auto osd = OSDWindow::initWithTitle(QStringLiteral("Title"), local->player());
  EXPECT_EQ(osd->osd()->vlcMediaPlayer(), local->player());
  EXPECT_EQ(osd->osd()->titleText()->string(), QStringLiteral("Title"));
  EXPECT_EQ(osd->firstResponder(), osd->osd());
}

TEST(OXPlayerController, GoodFileShowsItsPictureSeesItsTracksAndEndsThroughTheDisplay) {
  REQUIRE_SAMPLES();
  ExitWatch exits;
  const QVariantList subtitles{
      QVariantMap{{"LanguageName", "English"}, {"ZipDownloadLink", "http://127.0.0.1:9/en.zip"}}};
  auto c = OXPlayerController::initWithData(movieAt(s.bars), 0, subtitles);
  ASSERT_TRUE(c && c->videoPlayerCore() && c->videoPlayerOSD());
  auto caller = std::make_shared<Caller>();
  c->setDelegate(caller);
  auto core = c->videoPlayerCore();
  auto osdWindow = c->videoPlayerOSD();
  auto player = core->player();
  StateLog log(c);
  EXPECT_EQ(player->delegate(), c.get());
  EXPECT_FALSE(core->isVisible());
  EXPECT_FALSE(osdWindow->isVisible());
  EXPECT_EQ(osdWindow->osd()->contentTitle(), QStringLiteral("Test Pattern"));

  QList<int> before;
  bool shown = false;
  caller->onLoaded = [&] {
    before = log.states;
    shown = core->isVisible() && osdWindow->isVisible() && osdWindow->isKeyWindow() && osdWindow->isMainWindow();
  };
  ASSERT_TRUE(oxtest::spinUntil([&] { return caller->calls.contains("loaded"); }, 60000));
  EXPECT_TRUE(shown);
  ASSERT_FALSE(before.isEmpty());
  EXPECT_EQ(before.front(), VLCMediaPlayerStateOpening);
  EXPECT_TRUE(before.contains(VLCMediaPlayerStatePlaying));
  EXPECT_FALSE(before.contains(VLCMediaPlayerStateError));
  // From here on the display gets the player's callbacks, with the subtitle results handed over.
  EXPECT_EQ(player->delegate(), osdWindow->osd().get());
  EXPECT_EQ(osdWindow->osd()->subtitles(), subtitles);
  EXPECT_EQ(WindowServer::shared().keyWindow(), osdWindow);

  // The test pattern is on screen: the video window's picture under the transparent display window.
  ASSERT_TRUE(oxtest::spinUntil(
      [&] { return player->frameSink()->frameCount() >= 3 && !core->videoView()->layer()->contents().isNull(); },
      10000));
  const QImage screen = WindowServer::shared().grabScreen(QGuiApplication::primaryScreen(), LayerClock::now());
  ASSERT_EQ(screen.size(), screenFrame(QGuiApplication::primaryScreen()).size().toSize());
  expectBars(screen);

  // Its two audio tracks are listed after the "off" entry, and a subtitle file joins the subtitle tracks.
  EXPECT_EQ(player->audioTrackIndexes().size(), 3);
  EXPECT_EQ(player->audioTrackNames().size(), 3);
  const int subtitleTracks = int(player->videoSubTitlesIndexes().size());
  EXPECT_TRUE(player->openVideoSubTitlesFromFile(s.subtitles));
  EXPECT_TRUE(oxtest::spinUntil([&] { return player->videoSubTitlesIndexes().size() > subtitleTracks; }, 5000));

  // libvlc's end of the title ends the playback: muted, the whole title reached.
  ASSERT_TRUE(oxtest::spinUntil([&] { return !exits.percentages.empty(); }, 60000));
  EXPECT_FLOAT_EQ(exits.percentages.front(), 1.0f);
  EXPECT_TRUE(player->audio()->isMuted());
  EXPECT_TRUE(log.states.contains(VLCMediaPlayerStateEnded));
  EXPECT_EQ(caller->closes(), 0);  // the caller closes on the exit request

  c->close(false);
  c->close(true);
  EXPECT_FALSE(core->isVisible());
  EXPECT_FALSE(osdWindow->isVisible());
  oxtest::spinFor(300);
  EXPECT_EQ(caller->calls, QStringList({"loaded", "closed"}));
  EXPECT_EQ(exits.percentages.size(), 1u);
  EXPECT_FALSE(caller->offMain);
}

TEST(OXPlayerController, AFilmCutShortEndsWhereItsPictureStopsAndResumesThere) {
  REQUIRE_SAMPLES();
  ExitWatch exits;
  auto movie = movieAt(s.cutBars);
  auto c = OXPlayerController::initWithData(movie, 0, {});
  auto caller = std::make_shared<Caller>();
  c->setDelegate(caller);
  ASSERT_TRUE(oxtest::spinUntil([&] { return caller->calls.contains("loaded"); }, 60000));
  auto player = c->videoPlayerCore()->player();
  // It announces 20 s, but its picture stops after about a quarter: that end is the point reached, not the title's.
  ASSERT_TRUE(oxtest::spinUntil([&] { return !exits.percentages.empty(); }, 20000));
  EXPECT_NEAR(double(player->length()), 20000.0, 500.0);
  const float reached = exits.percentages.front();
  EXPECT_GT(reached, 0.1f);
  EXPECT_LT(reached, 0.5f);
  EXPECT_LT(player->position(), 0.5f);
  c->close(false);

  // Resumed from that ratio, it starts where the picture stopped and plays the rest it has.
  ExitWatch resumedExits;
  auto resumed = OXPlayerController::initWithData(movie, reached, {});
  auto again = std::make_shared<Caller>();
  resumed->setDelegate(again);
  auto vlc = resumed->videoPlayerCore()->player();
  std::vector<qint64> times;
  QObject context;
  QObject::connect(vlc.get(), &VLCMediaPlayer::timeChanged, &context, [&](qint64 ms) { times.push_back(ms); });
  ASSERT_TRUE(oxtest::spinUntil([&] { return !resumedExits.percentages.empty(); }, 20000));
  EXPECT_EQ(again->calls, QStringList({"loaded"}));
  ASSERT_FALSE(times.empty());
  EXPECT_GT(times.back(), qint64(reached * 20000 * 0.8));
  EXPECT_NEAR(resumedExits.percentages.front(), reached, 0.1f);
  resumed->close(false);

  // A 10 s jump from early on aims past the end of its data: the end keeps the last point played, not the target.
  ExitWatch jumpExits;
  auto jumped = OXPlayerController::initWithData(movie, 0, {});
  auto third = std::make_shared<Caller>();
  jumped->setDelegate(third);
  auto jumping = jumped->videoPlayerCore()->player();
  ASSERT_TRUE(oxtest::spinUntil([&] { return third->calls.contains("loaded") && jumping->time().value() >= 1000; },
                                60000));
  const qint64 before = jumping->time().value();
  jumped->videoPlayerOSD()->osd()->moveRight();
  EXPECT_GE(jumping->time().value(), before + 9000);  // the target, shown at once
  ASSERT_TRUE(oxtest::spinUntil([&] { return !jumpExits.percentages.empty(); }, 20000));
  EXPECT_GE(jumpExits.percentages.front(), float(before) / 20000 - 0.02f);
  EXPECT_LE(jumpExits.percentages.front(), reached + 0.05f);
  jumped->close(false);
}

TEST(OXPlayerController, StartRatioIsSoughtAtTheFirstTimeChangeOnly) {
  REQUIRE_SAMPLES();
  ExitWatch exits;
  auto c = OXPlayerController::initWithData(movieAt(s.clip), 0.5f, {});
  auto caller = std::make_shared<Caller>();
  c->setDelegate(caller);
  auto player = c->videoPlayerCore()->player();
  float atLoad = -1;
  caller->onLoaded = [&] { atLoad = player->position(); };
  std::vector<qint64> later;
  const auto token = NotificationCenter::defaultCenter().addObserver(
      QStringLiteral("VLCMediaPlayerTimeChanged"), player.get(), [&](const Notification&) {
        if (caller->calls.contains("loaded")) later.push_back(player->time().value());
      });
  ASSERT_TRUE(oxtest::spinUntil([&] { return caller->calls.contains("loaded"); }, 60000));
  EXPECT_FLOAT_EQ(atLoad, 0.5f);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !exits.percentages.empty(); }, 60000));
  NotificationCenter::defaultCenter().removeObserver(token);
  // Reports still queued from before the seek aside, the title went on from the middle to the end.
  const auto settled = std::find_if(later.begin(), later.end(), [](qint64 t) { return t >= 900; });
  ASSERT_NE(settled, later.end());
  EXPECT_TRUE(std::is_sorted(settled, later.end()));
  EXPECT_GE(later.back(), 1500);
  EXPECT_GE(std::distance(settled, later.end()), 2);
  c->close(false);
}

TEST(OXPlayerController, UnplayableOrEmptyTitlesCloseWithErrorOnce) {
  REQUIRE_SAMPLES();
  struct Case {
    const char* what;
    QString path;
  };
  // A file libvlc cannot open (error), and one whose only picture is over before any time report (end).
  for (const Case& k : {Case{"unopenable", s.missing}, Case{"over at once", s.frame}}) {
    SCOPED_TRACE(k.what);
    auto c = OXPlayerController::initWithData(movieAt(k.path), 0, {});
    auto caller = std::make_shared<Caller>();
    c->setDelegate(caller);
    StateLog log(c);
    std::weak_ptr<OXVideoPlayer> core = c->videoPlayerCore();
    int stateAtClose = -1;
    caller->onClosed = [&](bool) {
      stateAtClose = core.lock()->player()->state();
      c.reset();  // as the browsing views let go
    };
    ASSERT_TRUE(oxtest::spinUntil([&] { return caller->closes() > 0; }, 60000));
    oxtest::spinFor(300);
    EXPECT_EQ(caller->calls, QStringList({"closed:error"}));
    EXPECT_FALSE(c);
    EXPECT_TRUE(core.expired());
    ASSERT_FALSE(log.states.isEmpty());
    EXPECT_EQ(log.states.front(), VLCMediaPlayerStateOpening);
    EXPECT_EQ(stateAtClose, k.path == s.missing ? VLCMediaPlayerStateError : VLCMediaPlayerStateEnded);
  }
}

TEST(OXPlayerController, NothingToPlayClosesWithErrorOnTheNextTurn) {
  auto noFile = movieAt(QString());
  auto noPath = movieAt(QString());
  noPath->setFile(std::make_shared<OXFile>());
  auto show = OXShow::initWithStreamerDictionary({{"id", 9}, {"title", "Show"}});
  const std::vector<std::pair<const char*, std::function<std::shared_ptr<OXPlayerController>()>>> cases = {
      {"movie without a file", [&] { return OXPlayerController::initWithData(noFile, 0, {}); }},
      {"file without a path", [&] { return OXPlayerController::initWithData(noPath, 0, {}); }},
      {"a show", [&] { return OXPlayerController::initWithData(show, 0, {}); }},
      {"nothing", [&] { return OXPlayerController::initWithData(nullptr, 0, {}); }},
      {"no stream address", [&] { return OXPlayerController::initWithData(noFile, 0, {}, QString()); }},
  };
  for (const auto& [what, make] : cases) {
    SCOPED_TRACE(what);
    auto c = make();
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->videoPlayerCore());
    auto caller = std::make_shared<Caller>();
    c->setDelegate(caller);  // set after creation, as every caller does
    EXPECT_EQ(caller->closes(), 0);
    ASSERT_TRUE(oxtest::spinUntil([&] { return caller->closes() > 0; }, 2000));
    c->close(false);
    oxtest::spinFor(50);
    EXPECT_EQ(caller->calls, QStringList({"closed:error"}));
  }
}

// The video site's watch pages, answered on loopback: a page lists its streams as a playlist, as the site's pages
// read through libvlc's playlist scripts do.
struct VideoSite {
  oxtest::LoopbackServer server;
  QByteArray saved = qgetenv("OMBRIX_VIDEO_SITE_URL");
  VideoSite() { qputenv("OMBRIX_VIDEO_SITE_URL", server.url("/").toString().toUtf8()); }
  ~VideoSite() { qputenv("OMBRIX_VIDEO_SITE_URL", saved); }
  void page(const QByteArray& body) { server.setReply("/watch", {200, body, "text/html", {}}); }
  void stream(const QString& path, const QString& file) {
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    server.setReply(path, {200, f.readAll(), "video/x-matroska", {}});
  }
  QStringList paths() const {
    QStringList out;
    for (const auto& r : server.requests()) out << QString::fromUtf8(r.target);
    return out;
  }
};

std::shared_ptr<OXMovie> movieWithTrailers(const QStringList& trailers) {
  return OXMovie::initWithDictionary(
      {{"id", "tt1"}, {"fields", QVariantMap{{"title", "Night Train"}, {"trailers", trailers}}}});
}

TEST(OXPlayerController, WebTrailerResolvedToStreamsPlaysTheSharpOneUnderTheMovieTitle) {
  REQUIRE_SAMPLES();
  VideoSite site;
  site.stream("/streams/low.mkv", s.clip);
  site.stream("/streams/sharp.mkv", s.bars);
  site.page("#EXTM3U\n" + site.server.url("/streams/low.mkv?itag=18").toEncoded() + "\n" +
            site.server.url("/streams/sharp.mkv?itag=22").toEncoded() + "\n");
  auto c = OXPlayerController::initWithTrailers(
      movieWithTrailers({"http://vimeo.com/1", "https://www.youtube.com/watch?v=abc-123&t=1"}), 0, {});
  ASSERT_TRUE(c);
  auto caller = std::make_shared<Caller>();
  c->setDelegate(caller);
  ASSERT_TRUE(oxtest::spinUntil([&] { return caller->calls.contains("loaded"); }, 60000));
  EXPECT_EQ(site.paths().front(), "/watch?v=abc-123");
  EXPECT_FALSE(site.paths().contains("/streams/low.mkv?itag=18"));
  EXPECT_EQ(c->videoPlayerOSD()->osd()->contentTitle(), "Night Train");
  auto player = c->videoPlayerCore()->player();
  ASSERT_TRUE(oxtest::spinUntil(
      [&] {
        return player->frameSink()->frameCount() >= 3 &&
               !c->videoPlayerCore()->videoView()->layer()->contents().isNull();
      },
      10000));
  expectBars(WindowServer::shared().grabScreen(QGuiApplication::primaryScreen(), LayerClock::now()));
  c->close(false);
  EXPECT_EQ(caller->calls, QStringList({"loaded", "closed"}));
}

TEST(OXPlayerController, WebTrailerEntryClosesWithErrorOrGivesNothing) {
  VideoSite site;
  site.page("<html><body>This video is unavailable.</body></html>");
  EXPECT_FALSE(OXPlayerController::initWithTrailers(nullptr, 0, {}));
  EXPECT_FALSE(OXPlayerController::initWithTrailers(movieAt(QString()), 0, {}));
  auto vimeoOnly = OXMovie::initWithDictionary(
      {{"id", "tt1"}, {"fields", QVariantMap{{"title", "T"}, {"trailers", QStringList{"http://vimeo.com/1"}}}}});
  EXPECT_FALSE(OXPlayerController::initWithTrailers(vimeoOnly, 0, {}));

  // A page that names no stream, and a link without an identifier: nothing resolves, and the player says so.
  for (const QString& link : {QStringLiteral("https://www.youtube.com/watch?v=abc&t=1"),
                              QStringLiteral("https://www.youtube.com/user/someone")}) {
    SCOPED_TRACE(link.toStdString());
    auto c = OXPlayerController::initWithTrailers(movieWithTrailers({"http://vimeo.com/1", link}), 0.25f, {});
    ASSERT_TRUE(c);
    auto caller = std::make_shared<Caller>();
    c->setDelegate(caller);
    ASSERT_TRUE(oxtest::spinUntil([&] { return caller->closes() > 0; }, 60000));
    oxtest::spinFor(100);
    EXPECT_EQ(caller->calls, QStringList({"closed:error"}));
    EXPECT_FALSE(c->videoPlayerCore());
  }
  EXPECT_EQ(site.paths(), QStringList({"/watch?v=abc"}));
}

// A page may list any address the player knows: only web addresses are its streams, and a page of none is no video,
// so the trailer fails as it does when the site is down instead of opening a local file or a device.
TEST(OXPlayerController, WebTrailerStreamsAreWebAddressesOnly) {
  REQUIRE_SAMPLES();
  VideoSite site;
  const QByteArray web = site.server.url("/streams/clip.mkv").toEncoded();
  site.page("#EXTM3U\nfile:///etc/passwd\nscreen://\n" + web + "\n");
  std::shared_ptr<XCDYouTubeVideo> video;
  XCDYouTubeClient::defaultClient().getVideoWithIdentifier("abc", [&](auto v) { video = v; });
  ASSERT_TRUE(oxtest::spinUntil([&] { return bool(video); }, 60000));
  EXPECT_EQ(QUrl::toStringList(video->streamURLs.values()), QStringList{QString::fromUtf8(web)});

  site.page("#EXTM3U\n" + QUrl::fromLocalFile(s.bars).toEncoded() + "\nscreen://\n");
  auto c = OXPlayerController::initWithTrailers(movieWithTrailers({"https://www.youtube.com/watch?v=abc"}), 0, {});
  auto caller = std::make_shared<Caller>();
  c->setDelegate(caller);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !caller->calls.isEmpty(); }, 60000));
  EXPECT_EQ(caller->calls, QStringList({"closed:error"}));
  c->close(false);
}

TEST(OXPlayerController, PauseBeforeTheStartClosesWithErrorAfterItGoesToTheDisplay) {
  REQUIRE_SAMPLES();
  {
    auto c = OXPlayerController::initWithData(movieAt(s.clip), 0, {});
    auto caller = std::make_shared<Caller>();
    c->setDelegate(caller);
    c->videoPlayerCore()->player()->pause();
    ASSERT_TRUE(oxtest::spinUntil([&] { return caller->closes() > 0; }, 60000));
    EXPECT_EQ(caller->calls, QStringList({"closed:error"}));
  }
  {
    ExitWatch exits;
    auto c = OXPlayerController::initWithData(movieAt(s.longBars), 0, {});
    auto caller = std::make_shared<Caller>();
    c->setDelegate(caller);
    ASSERT_TRUE(oxtest::spinUntil([&] { return caller->calls.contains("loaded"); }, 60000));
    auto player = c->videoPlayerCore()->player();
    player->pause();
    ASSERT_TRUE(oxtest::spinUntil([&] { return player->state() == VLCMediaPlayerStatePaused; }, 5000));
    oxtest::spinFor(300);
    // The display has it now: with most of the title left a pause is no end, and the controller does not close.
    EXPECT_TRUE(exits.percentages.empty());
    player->play();
    ASSERT_TRUE(oxtest::spinUntil([&] { return player->state() == VLCMediaPlayerStatePlaying; }, 5000));
    player->setTime(player->length() - 1500);
    player->pause();
    ASSERT_TRUE(oxtest::spinUntil([&] { return !exits.percentages.empty(); }, 5000));
    EXPECT_GT(exits.percentages.front(), 0.9f);
    EXPECT_EQ(caller->closes(), 0);
    c->close(false);
    EXPECT_EQ(caller->calls, QStringList({"loaded", "closed"}));
  }
}

TEST(OXPlayerController, AStreamPlayedFromItsStartPlaysOnWhateverItsServerTakes) {
  REQUIRE_SAMPLES();
  oxtest::LoopbackServer server;  // whole answers only, as simple stream servers give
  QFile film(s.longBars);
  ASSERT_TRUE(film.open(QIODevice::ReadOnly));
  server.setReply("/", {200, film.readAll(), "video/x-matroska", {}});
  ExitWatch exits;
  auto c = OXPlayerController::initWithData(episode(1, 1, "Pilot"), 0, {}, server.url("/").toString());
  auto caller = std::make_shared<Caller>();
  c->setDelegate(caller);
  auto player = c->videoPlayerCore()->player();
  // A player that stopped at the server's whole answer would never get there.
  ASSERT_TRUE(oxtest::spinUntil([&] { return player->time().value() >= 1500; }, 60000));
  EXPECT_TRUE(exits.percentages.empty());
  EXPECT_EQ(caller->calls, QStringList({"loaded"}));
  c->close(false);
}

TEST(OXPlayerController, StreamEntryPlaysTheAddressUnderTheDataTitle) {
  REQUIRE_SAMPLES();
  auto c = OXPlayerController::initWithData(episode(1, 2, "Pilot"), 0, {}, QUrl::fromLocalFile(s.clip).toString());
  ASSERT_TRUE(c && c->videoPlayerCore());
  EXPECT_EQ(c->videoPlayerCore()->media()->options(), QStringList({"--freetype-rel-fontsize=72"}));
  EXPECT_EQ(c->videoPlayerOSD()->osd()->contentTitle(), QStringLiteral("1x2 - Pilot"));
  auto caller = std::make_shared<Caller>();
  c->setDelegate(caller);
  ASSERT_TRUE(oxtest::spinUntil([&] { return caller->calls.contains("loaded"); }, 60000));
  // A caller that lets go without closing leaves no window on screen and no player running.
  std::weak_ptr<OXVideoPlayer> core = c->videoPlayerCore();
  std::weak_ptr<VLCMediaPlayer> player = core.lock()->player();
  c.reset();
  EXPECT_TRUE(core.expired());
  EXPECT_TRUE(player.expired());
  oxtest::spinFor(200);
  EXPECT_EQ(caller->calls, QStringList({"loaded"}));
}

// A resumed film left at once, before libvlc plays from where it was sent: the reports it made before the seek, queued
// behind the first one on a busy machine, do not take the point back, and leaving keeps where the film was left.
TEST(OXPlayerController, AResumedFilmLeftAtOnceKeepsItsPoint) {
  REQUIRE_SAMPLES();
  ExitWatch exits;
  auto c = OXPlayerController::initWithData(movieAt(s.longBars), 0.5f, {});
  auto caller = std::make_shared<Caller>();
  c->setDelegate(caller);
  auto player = c->videoPlayerCore()->player();
  QObject context;
  QObject::connect(player.get(), &VLCMediaPlayer::stateChanged, &context, [](int state) {
    if (state == VLCMediaPlayerStatePlaying) QThread::msleep(800);  // the main thread busy as reports come
  });
  ASSERT_TRUE(oxtest::spinUntil([&] { return caller->calls.contains("loaded"); }, 60000));
  oxtest::spinUntil([] { return false; }, 300);
  c->videoPlayerOSD()->osd()->keyMenu();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !exits.percentages.empty(); }, 20000));
  EXPECT_NEAR(exits.percentages.front(), 0.5f, 0.05f);
  c->close(false);
}
