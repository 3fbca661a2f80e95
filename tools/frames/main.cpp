// Saves a few rendered frames of the layer engine as PNG files, for a person to look at:
//   ox-frames [output folder] [scene...]      (default: ./frames, every scene)
// Scenes: coverflow, kenburns, masks, text, rolls, carousel, episodes, overlays, playback, trailer, movies, shows,
// trailers, streamers. Each frame is drawn at a chosen instant of its animation on the engine's manual clock; the
// playback and trailer frames show the displays over a test pattern that libvlc plays.
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>

#include "app/MoviesView.h"
#include "app/OXFullScreenMenu.h"
#include "app/OXPanelOptionsView.h"
#include "app/OXPanelResumeView.h"
#include "app/PanelResume.h"
#include "core/OXLibrary.h"
#include "core/OXPreferencesValues.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/media/VLCLibrary.h"
#include "platform/ui/WindowServer.h"
#include "playback/OXEpisodeLayoutManager.h"
#include "playback/OXEpisodesMenuLayer.h"
#include "playback/OXFoundationPlayer.h"
#include "playback/OXPlayerController.h"
#include "playback/RollLayout.h"
#include "tools/frames/Scenes.h"
#include "tools/frames/SectionScenes.h"

namespace {

const QSizeF kScreen(1920, 1080);
QString g_out;
ox::Renderer g_renderer;

void save(const QImage& img, const QString& name) {
  const QString path = QDir(g_out).filePath(name);
  if (img.save(path))
    std::printf("%s\n", qPrintable(path));
  else
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
}

QImage render(const ox::LayerPtr& root, double t, QSize size = kScreen.toSize()) {
  return g_renderer.renderToImage(root, size, t, Qt::black);
}

void coverFlow() {
  scenes::CoverFlow c = scenes::buildCoverFlow(kScreen, 15, 15, scenes::paintBackdrop(1920, 1080, 3));
  c.select(7);
  ox::Transaction::flush();
  const double t0 = ox::LayerClock::now();
  save(render(c.root, t0 + 1), "coverflow.png");
  c.select(8);
  save(render(c.root, t0 + 0.1), "coverflow_slide_0.1s.png");
}

void kenBurnsCrossFade() {
  scenes::Home h = scenes::buildHome(kScreen);
  h.kenburns->setRandomSource([] { return 2; });  // case 3: pan across
  h.kenburns->nextWithImage(scenes::paintBackdrop(1920, 1080, 1));
  ox::LayerClock::advance(9);
  ox::Transaction::flush();
  const double t0 = ox::LayerClock::now();
  h.kenburns->nextWithImage(scenes::paintBackdrop(1920, 1080, 6));
  save(render(h.root, t0 + 1.0), "kenburns_crossfade_1s.png");
}

void posterMasks() {
  const int w = 161, h = 238;
  QImage sheet(3 * (w * 2 + 40) + 40, h * 2 + 80, QImage::Format_ARGB32_Premultiplied);
  sheet.fill(QColor(90, 90, 100));
  QPainter p(&sheet);
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const QImage mask = OXPosterMaskCornerRadius(QRectF(0, 0, w, h)).imageWithSubviews();
  const QImage frame = OXPosterMaskView(QRectF(0, 0, w, h)).imageWithSubviews();
  const QImage poster = scenes::paintPoster(w, h, 4, "Glass Harbour");
  int x = 40;
  for (const QImage& img : {mask, frame, poster}) {
    p.drawImage(QRectF(x, 40, w * 2, h * 2), img);  // doubled, so the corners and outlines can be seen
    x += w * 2 + 40;
  }
  p.end();
  save(sheet, "poster_masks.png");
}

void text() {
  ox::LayerPtr root = scenes::screenRoot(QSizeF(1200, 420));
  root->setBackgroundColor(QColor(30, 30, 36));
  auto title = scenes::text("Twelve Movies \u2014 \u00c9t\u00e9 \u00e0 Z\u00fcrich", "oxfont-Regular", 64);
  auto stars = scenes::text("11112", "OmbrixeGlyph", 80);
  auto starsBack = scenes::text("11111", "OmbrixeGlyph", 80);
  starsBack->setForegroundColor(QColor(255, 255, 255, 128));
  auto symbols = scenes::text("3 4 5", "OmbrixeGlyph", 80);
  auto clock = scenes::text("9:41 PM", "oxfont-Regular", 40);
  clock->setShadowOpacity(1);
  clock->setShadowRadius(2);
  clock->setShadowOffset(QSizeF(0, 0));
  clock->setShadowColor(Qt::black);
  const QPointF places[] = {{40, 300}, {40, 170}, {40, 170}, {520, 170}, {40, 40}};
  int i = 0;
  for (const auto& t : {title, starsBack, stars, symbols, clock}) {
    t->setAnchorPoint(QPointF(0, 0));
    t->setBounds(QRectF(QPointF(0, 0), t->preferredFrameSize()));
    t->setPosition(places[i++]);
    root->addSublayer(t);
  }
  save(render(root, ox::LayerClock::now(), QSize(1200, 420)), "text.png");
}

void drumRolls() {
  const QSize size(900, 600);
  ox::LayerPtr root = scenes::screenRoot(QSizeF(size));
  root->setBackgroundColor(QColor(20, 20, 24));
  auto makeRoll = [&](const ox::LayoutManagerPtr& manager, double x, const QStringList& labels) {
    ox::LayerPtr roll = ox::Layer::layer();
    roll->setBounds(QRectF(0, 0, 400, 560));
    roll->setPosition(QPointF(x, 300));
    roll->setLayoutManager(manager);
    for (const QString& label : labels) {
      ox::LayerPtr row = ox::Layer::layer();
      row->setBounds(QRectF(0, 0, 380, 60));
      auto t = scenes::text(label, "oxfont-Regular", 38);
      t->setAlignmentMode(ox::TextAlignment::Center);
      t->setBounds(QRectF(0, 0, 380, 50));
      t->setPosition(QPointF(190, 30));
      row->addSublayer(t);
      row->setValue("__holderLayer", QVariant::fromValue(ox::LayerPtr(t)));
      roll->addSublayer(row);
    }
    root->addSublayer(roll);
    return roll;
  };
  ox::LayerPtr audio = makeRoll(RollLayout::layoutManagerWithImageSize(QSizeF(380, 300)), 230,
                                {"Off", "English", "Fran\u00e7ais", "Deutsch", "Espa\u00f1ol"});
  audio->setValue("selectedIndex", qint64(2));
  audio->setValue("type", qint32(-1));  // this column has no focus
  const QVariantMap params{{"_textZero", "No delay"}, {"textPrevious", "s. before"}, {"textNext", "s. after"},
                           {"step", 0.1}};
  ox::LayerPtr delay = makeRoll(OXInfiniteRollLayout::layoutManagerWithImageSize(QSizeF(380, 300), params), 670,
                                {"", "", "", "", "", "", ""});
  delay->setValue("selectedIndex", qint64(4));  // one step later
  ox::Transaction::flush();
  ox::LayerClock::advance(0.3);  // the relabelling runs when the move is over
  delay->setNeedsLayout();
  ox::Transaction::flush();
  save(render(root, ox::LayerClock::now() + 1, size), "drum_rolls.png");
}

void episodeCarousel() {
  const QSize size(1600, 400);
  ox::LayerPtr root = scenes::screenRoot(QSizeF(size));
  root->setBackgroundColor(QColor(15, 15, 20));
  ox::LayerPtr menu = ox::Layer::layer();
  menu->setFrame(QRectF(0, 0, 1600, 400));
  menu->setLayoutManager(OXEpisodeLayoutManager::layoutManager());
  for (int i = 0; i < 7; ++i) {
    ox::LayerPtr thumb = ox::Layer::layer();
    thumb->setBounds(QRectF(0, 0, 320, 180));
    thumb->setContentsGravity(ox::Gravity::ResizeAspectFill);
    thumb->setContents(scenes::paintBackdrop(640, 360, 10 + i));
    thumb->setBorderColor(Qt::white);
    thumb->setBorderWidth(i == 3 ? 4 : 0);
    menu->addSublayer(thumb);
  }
  menu->setValue("selectedIndex", 3.0f);
  root->addSublayer(menu);
  ox::Transaction::flush();
  save(render(root, ox::LayerClock::now() + 1, size), "episode_carousel.png");
}

bool spin(const std::function<bool()>& done, int ms);

// A show's episode menu as the episode view holds it, at the foot of the screen over the show's backdrop: the
// first season opened on the episode after the two watched to the end, its own half watched; one thumbnail missing.
void episodeMenu() {
  QTemporaryDir scratch;
  auto library = OXLibrary::libraryWithSupportFolder(scratch.path());
  const QStringList titles = {"Aftermath", "Pilot", "Tom & Jerry", "Night Market", "Low Tide", "The Long Way Round",
                              "Paper Trail", "Crossings", "Homecoming", "Smoke"};
  const float ratios[] = {1.0f, 0.97f, 0.12f, 0.5f};
  for (int i = 0; i < titles.size(); ++i) {
    const quint64 season = i < 6 ? 1 : 2, number = i < 6 ? i + 1 : i - 5, id = 9000 + quint64(i);
    auto e = OXEpisode::initWithStreamerDictionary(
        {{"id", id}, {"showid", 812}, {"season", season}, {"episode", number}, {"title", titles[i]}});
    auto file = OXFile::initWithType(OXFile::kTypeEpisode);
    file->setFilePath(QStringLiteral("/shows/Lantern Street/%1.mkv").arg(id));
    e->setFile(file);
    library->addContent(e);
    if (i < 4) library->setRatioEpisodeID(ratios[i], id);
  }
  auto menu = OXEpisodesMenuLayer::initWithShow(OXShow::initWithStreamerDictionary({{"id", 812}}), false,
                                                library.get());
  auto fillThumbnails = [&] {
    const auto& tiles = menu->layerValue("currentSeasonLayer")->layerValue("episodeListLayer")->sublayers();
    for (std::size_t i = 0; i < tiles.size(); ++i)
      if (i != 4) tiles[i]->layerValue("frameImageLayer")->setContents(scenes::paintBackdrop(640, 360, 20 + int(i)));
  };
  fillThumbnails();
  ox::LayerPtr root = scenes::screenRoot(kScreen);
  ox::LayerPtr back = ox::Layer::layer();
  back->setFrame(QRectF(QPointF(0, 0), kScreen));
  back->setContentsGravity(ox::Gravity::ResizeAspectFill);
  back->setContents(scenes::paintBackdrop(1920, 1080, 8));
  back->setOpacity(0.35);
  root->addSublayer(back);
  auto title = scenes::text("Lantern Street", "oxfont-Regular", 0.07 * kScreen.height());
  title->setAnchorPoint(QPointF(0, 0));
  title->setBounds(QRectF(QPointF(0, 0), title->preferredFrameSize()));
  title->setPosition(QPointF(0.05 * kScreen.width(), 0.8 * kScreen.height()));
  root->addSublayer(title);
  root->addSublayer(menu);
  ox::Transaction::flush();
  save(render(root, ox::LayerClock::now() + 1), "episode_menu.png");

  menu->nextSeason();
  spin([] { return false; }, 50);  // the slide starts a moment after the request
  ox::Transaction::flush();
  save(render(root, ox::LayerClock::now() + 0.1), "episode_menu_slide_0.1s.png");
}

// The overlays as the screen shows them: over Home in the main window, each blurring and dimming what lies beneath.
void overlays() {
  QScreen* screen = QGuiApplication::primaryScreen();
  OXPreferencesValues::sharePreferences()->setMainScreen(screen);
  auto main = std::make_shared<ox::Window>(ox::screenFrame(screen));
  main->setContentView(std::make_shared<ox::View>());
  scenes::Home h = scenes::buildHome(kScreen);
  h.kenburns->setRandomSource([] { return 0; });
  h.kenburns->nextWithImage(scenes::paintBackdrop(1920, 1080, 2));
  main->contentView()->layer()->addSublayer(h.root);
  main->orderFront();
  auto shoot = [&](const std::shared_ptr<ox::Window>& overlay, const QString& name) {
    ox::LayerClock::advance(1.0);  // the fades are over
    ox::Transaction::flush();
    save(ox::WindowServer::shared().grabScreen(screen, ox::LayerClock::now()), name);
    overlay->orderOut();
  };

  auto genres = OXFullScreenMenu::initWithTitle({}, {"All Movies", "Action", "Comedy", "Drama", "Science Fiction"});
  genres->setFirstSelected(2);
  genres->open();
  shoot(genres, "menu_list.png");

  auto update = OXFullScreenMenu::initWithTitle("Ombrix will be closed to install the new update.",
                                                {"Install now", "Later"});
  update->open();
  ox::LayerClock::advance(1.0);
  update->panel()->moveDown();
  shoot(update, "menu_list_title.png");

  auto alert = OXFullScreenMenu::initAlertWithTexts(
      {"This file could not be played.", "It may be damaged or in a format", "that is not supported."});
  alert->open();
  shoot(alert, "menu_alert.png");

  auto resume = PanelResume::initWithPanelView(
      std::make_shared<OXPanelResumeView>(OXPreferencesValues::sharePreferences()->mainScreenFrame()));
  shoot(resume, "panel_resume.png");

  auto options = PanelResume::initWithPanelView(
      std::make_shared<OXPanelOptionsView>("Install the new update now?", "Install", "Later"));
  shoot(options, "panel_options.png");
  main->orderOut();
}

// A 20 s test pattern with two audio tracks and a subtitle track of its own.
bool makeTestPattern(const QString& folder, QString* path) {
  if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) return false;
  const QString srt = folder + QStringLiteral("/cues.srt");
  QFile cues(srt);
  if (!cues.open(QIODevice::WriteOnly) || cues.write("1\n00:00:00,000 --> 00:00:20,000\nTest pattern\n") <= 0) return false;
  cues.close();
  *path = folder + QStringLiteral("/pattern.mkv");
  const QStringList args = {
      "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=20", "-f", "lavfi", "-i",
      "sine=frequency=440:duration=20", "-f", "lavfi", "-i", "sine=frequency=880:duration=20", "-i", srt,
      "-map", "0", "-map", "1", "-map", "2", "-map", "3", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
      "yuv420p", "-c:a", "aac", "-c:s", "srt", "-metadata:s:a:0", "language=eng", "-metadata:s:a:1",
      "language=fra", "-metadata:s:s:0", "language=eng", *path};
  QProcess ffmpeg;
  ffmpeg.start(QStringLiteral("ffmpeg"), args);
  return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

struct Watcher : OXPlayerControllerDelegate {
  bool loaded = false, closed = false;
  void videoDidFailed() override {}
  void videoDidLoaded() override { loaded = true; }
  void videoDidClosedWithError(bool) override { closed = true; }
};

bool spin(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// Both windows of a playback, as the screen shows them.
QImage renderPlayback(const std::shared_ptr<OXPlayerController>& c, double t) {
  QImage img(kScreen.toSize(), QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::black);
  QPainter p(&img);
  g_renderer.render(p, c->videoPlayerCore()->rootLayer(), kScreen, t);
  g_renderer.render(p, c->videoPlayerOSD()->rootLayer(), kScreen, t);
  p.end();
  return img;
}

void playbackDisplay() {
  QTemporaryDir scratch;
  QString clip;
  if (!scratch.isValid() || !makeTestPattern(scratch.path(), &clip)) {
    std::fprintf(stderr, "playback: ffmpeg could not make the test pattern\n");
    return;
  }
  auto movie = OXMovie::initWithStreamerDictionary({{"id", "tt9000001"}, {"title", "Test Pattern"}});
  auto file = OXFile::initWithType(OXFile::kTypeMovie);
  file->setFilePath(clip);
  movie->setFile(file);
  const QVariantList subtitles{
      QVariantMap{{"LanguageName", "English"}, {"ZipDownloadLink", "http://127.0.0.1:9/en.zip"}},
      QVariantMap{{"LanguageName", "French"}, {"ZipDownloadLink", "http://127.0.0.1:9/fr.zip"}}};
  auto c = OXPlayerController::initWithData(movie, 0, subtitles);
  auto watcher = std::make_shared<Watcher>();
  c->setDelegate(watcher);
  auto player = c->videoPlayerCore()->player();
  if (!spin([&] { return watcher->loaded && player->time().value() >= 1500; }, 20000)) {
    std::fprintf(stderr, "playback: the test pattern did not play\n");
    return;
  }
  // Both windows fill the frame the display was laid out for.
  c->videoPlayerCore()->setFrame(QRectF(QPointF(0, 0), kScreen));
  c->videoPlayerOSD()->setFrame(QRectF(QPointF(0, 0), kScreen));
  std::shared_ptr<OXVideoOSD> osd = c->videoPlayerOSD()->osd();
  osd->keyPlay();  // pauses: the controls stay, with the pause glyph
  spin([&] { return player->state() == ox::VLCMediaPlayerStatePaused; }, 5000);
  osd->mediaPlayerTimeChanged({QString(), player.get()});
  ox::Transaction::flush();
  save(renderPlayback(c, ox::LayerClock::now() + 1), "playback_display.png");

  osd->holdMenu();  // the options panel
  osd->moveRight();
  osd->moveDown();  // the subtitle track of the media: the delay column comes in
  ox::Transaction::flush();
  ox::LayerClock::advance(1);
  save(renderPlayback(c, ox::LayerClock::now() + 1), "playback_options.png");
  c->close(false);
}

// The trailer window paused over the playing pattern, waiting for data: controls, title and the buffering text.
void trailerDisplay() {
  QTemporaryDir scratch;
  QString clip;
  if (!scratch.isValid() || !makeTestPattern(scratch.path(), &clip)) {
    std::fprintf(stderr, "trailer: ffmpeg could not make the test pattern\n");
    return;
  }
  auto window = OXFoundationPlayer::initWithURL(QUrl::fromLocalFile(clip), "Night Train");
  auto watcher = std::make_shared<Watcher>();
  window->setDelegatePlayer(watcher);
  if (!spin([&] { return watcher->loaded && window->player()->currentTime() >= 1.5; }, 20000)) {
    std::fprintf(stderr, "trailer: the test pattern did not play\n");
    return;
  }
  window->setFrame(QRectF(QPointF(0, 0), kScreen));
  std::shared_ptr<OXFoundationOSDView> osd = window->osd();
  osd->keyPlay();  // paused: the controls stay
  osd->mediaPlayerTimeChanged({});
  osd->showBufferingMessage();
  ox::Transaction::flush();
  QImage img(kScreen.toSize(), QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::black);
  QPainter p(&img);
  g_renderer.render(p, window->rootLayer(), kScreen, ox::LayerClock::now() + 1);
  p.end();
  save(img, "trailer_display.png");
  window->close();
}

// The movie browser on a library of painted posters and backdrops: settled, in the middle of a slide, and with the
// splash screen of a title that opens. One title's file is missing (its poster is veiled), one has no poster at all.
void moviesBrowser(const QString& library) {
  const QStringList titles = {"Quiet Orchard", "The Long Tide", "Paper Moons", "North of Nowhere", "Glass Harbour",
                              "Ember Road", "Salt and Signal", "The Lantern Keeper", "Copper Lanterns"};
  const QString posters = QDir(library).filePath("Ombrix/posters");
  const QString backdrops = QDir(library).filePath("Ombrix/backdrops");
  QDir().mkpath(posters);
  QDir().mkpath(backdrops);
  QTemporaryDir films;
  for (int i = 0; i < titles.size(); ++i) {
    const QString code = QStringLiteral("tt70000%1").arg(i, 2, 10, QLatin1Char('0'));
    if (i != 6) scenes::paintPoster(500, 740, i, titles[i]).save(QDir(posters).filePath(code + ".png"));
    scenes::paintBackdrop(1920, 1080, i).save(QDir(backdrops).filePath(code + ".jpg"), "JPG", 90);
    const QVariantMap fields{{"title", titles[i]},
                             {"genre", QStringList{"Drama", "Mystery", "Adventure"}},
                             {"rating", 4.5 + i * 0.5},
                             {"runtime", 95 + i * 7},
                             {"poster", "http://127.0.0.1:9/original/" + code + ".png"},
                             {"image", "http://127.0.0.1:9/original/" + code + ".jpg"}};
    auto movie = OXMovie::initWithDictionary({{"id", code}, {"fields", fields}});
    auto file = OXFile::initWithType(OXFile::kTypeMovie);
    file->setFilePath(films.filePath(code + ".mkv"));
    if (i != 5 && i != 6) QFile(file->filePath()).open(QIODevice::WriteOnly);
    movie->setFile(file);
    OXLibrary::shareLibrary()->addContent(movie);
  }
  OXLibrary::shareLibrary()->setListenSoundtracks(false);
  ox::DelayedCall::useManualTime(true);
  auto view = std::make_shared<MoviesView>(QRectF(QPointF(0, 0), kScreen));
  view->setupLayers();
  spin([&] { return view->pendingPosters() == 0; }, 20000);
  spin([] { return false; }, 100);  // the last pictures come through the main queue
  for (int i = 0; i < 4; ++i) view->moveRight();
  ox::DelayedCall::advanceManualTime(1);
  ox::Transaction::flush();
  ox::LayerClock::advance(1);
  save(render(view->layer(), ox::LayerClock::now()), "movies.png");
  view->moveRight();
  ox::Transaction::flush();
  save(render(view->layer(), ox::LayerClock::now() + 0.1), "movies_slide_0.1s.png");
  ox::DelayedCall::advanceManualTime(1);
  ox::LayerClock::advance(1);
  view->showSplashScreen();
  ox::Transaction::flush();
  ox::LayerClock::advance(0.5);
  save(render(view->layer(), ox::LayerClock::now() + 0.5), "movies_splash.png");
  ox::DelayedCall::useManualTime(false);
}

}  // namespace

int main(int argc, char** argv) {
  // The browser's library is one of the tool's own, never the user's.
  QTemporaryDir library;
  qputenv("XDG_DATA_HOME", library.path().toLocal8Bit());
  // A headless screen of the frames' size, so the overlays' windows cover exactly what is drawn.
  QTemporaryFile screens;
  // A bare "offscreen" (as the test and demo scripts export it) gets the same screen.
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if ((platform.isEmpty() || platform == "offscreen") && screens.open()) {
    screens.write(R"({"screens": [{"name": "frames", "x": 0, "y": 0, "width": 1920, "height": 1080,
                       "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
  }
  QGuiApplication app(argc, argv);
  g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("frames");
  QStringList scenes;
  for (int i = 2; i < argc; ++i) scenes << QString::fromLocal8Bit(argv[i]);
  const auto wanted = [&](const char* name) { return scenes.isEmpty() || scenes.contains(QLatin1String(name)); };
  ox::VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")});
  QDir().mkpath(g_out);
  if (!scenes::registerFonts(QStringLiteral(OX_SOURCE_DIR))) std::fprintf(stderr, "fonts missing\n");
  OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(QRectF(QPointF(0, 0), kScreen).toRect());
  ox::ManualClock clock(100.0);
  if (wanted("coverflow")) coverFlow();
  if (wanted("kenburns")) kenBurnsCrossFade();
  if (wanted("masks")) posterMasks();
  if (wanted("text")) text();
  if (wanted("rolls")) drumRolls();
  if (wanted("carousel")) episodeCarousel();
  if (wanted("episodes")) episodeMenu();
  if (wanted("playback")) playbackDisplay();
  if (wanted("trailer")) trailerDisplay();
  if (wanted("overlays")) overlays();
  if (wanted("movies")) moviesBrowser(library.path());
  ox::DelayedCall::useManualTime(true);
  if (wanted("shows")) sections::showsAndEpisodes(library.path(), save);
  if (wanted("trailers")) sections::trailers(library.path(), save);
  if (wanted("streamers")) sections::streamers(library.path(), save);
  ox::DelayedCall::useManualTime(false);
  return 0;
}
