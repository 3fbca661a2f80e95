// Ombrix's start and Home, at 1920 x 1080 on the offscreen platform, on a library like the demo's (ten movie and six
// show home backdrops, full-size JPEG pictures):
//   - StartToHomeFirstFrame: from starting the `ombrix` program to its first painted frame of Home (the program
//     reports it and quits); the median of the repetitions is the figure;
//   - HomeFrame: one whole frame of the real Home view at the next 1/60 s, steady and during a cross-fade, with
//     both pictures moving;
//   - MoviesSlide: one whole frame of the real movie browser with 500, 5,000 and 10,000 posters while the row
//     slides to the next poster every 0.2 s: once as the keys do it (the footer and the preview wait for the user to
//     rest), and once with the footer's labels rotating and the soundtrack preview playing all along;
//   - MoviesSlideHeld: the same browsers with Right held (a move every 0.05 s, the remote's repeat), then Left, 200
//     posters each way, one frame every 1/60 s of the wall clock, so the posters' compositions run beside the frames
//     as they would on screen; the time is each frame's own work.
//     A frame should cost the same whatever the size of the library; worst_ms is the slowest frame from the first
//     move on. Each frame shows the layers 1/60 s after the frame before. CPU is the main thread's time, which a
//     busy machine does not inflate. peak_rss_MB is the process's peak resident memory from the start of the case
//     (building its browser included) to its end: run one case a process for a figure that no earlier case has
//     raised, as bench/movies_bench.sh does.
//   - StreamersOversizedPosters: the streamer browser of 60 plug-in titles whose host serves every poster as a PNG of
//     5600 x 5600 pixels, of one bit a pixel (4 KB, which Qt keeps as 4 MB) or of colour (90 KB, 125 MB): from its
//     set-up until the posters near the selection are composed (as unknown posters: no such picture is decoded),
//     with the process's peak resident memory meanwhile.
#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <string>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>
#include <QTemporaryDir>

#include "app/HomeView.h"
#include "app/MoviesView.h"
#include "app/OXMainInterface.h"
#include "app/OXStreamersMoviesView.h"
#include "core/OXLibrary.h"
#include "core/OXPreferencesValues.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/media/VLCLibrary.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/Transaction.h"
#include "tests/support/LoopbackServer.h"
#include "tools/frames/Scenes.h"

namespace {

const QSizeF kScreen(1920, 1080);
QTemporaryDir* g_dir = nullptr;

void writeLibrary(const QString& data) {
  for (const auto& [folder, count, seed] : {std::tuple{"homeMoviesBackdrops", 10, 1}, {"homeShowsBackdrops", 6, 40}}) {
    const QString path = QDir(data).filePath(QStringLiteral("Ombrix/") + folder);
    QDir().mkpath(path);
    for (int i = 0; i < count; ++i)
      scenes::paintBackdrop(1920, 1080, seed + i).save(QDir(path).filePath(QStringLiteral("%1.jpg").arg(i)), "JPG", 90);
  }
}

void BM_StartToHomeFirstFrame(benchmark::State& state) {
  const QString screen = g_dir->filePath("screen.json");
  QFile f(screen);
  f.open(QIODevice::WriteOnly);
  f.write(R"({"screens":[{"name":"Bench","x":0,"y":0,"width":1920,"height":1080,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
  f.close();
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  const QString pid = QString::number(QCoreApplication::applicationPid());
  env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + screen);
  env.insert("XDG_DATA_HOME", g_dir->filePath("data"));
  env.insert("OMBRIX_BUNDLE_IDENTIFIER", "Varnel.Bench" + pid + ".Ombrix");
  env.insert("OMBRIX_HELPER_BUNDLE_IDENTIFIER", "Varnel.Bench" + pid + ".OmbrixHelper");
  env.insert("OMBRIX_HELPER_PATH", "/nonexistent/ombrix-helper");
  env.insert("OMBRIX_KILLALL", "/nonexistent/killall");
  env.insert("OMBRIX_FEED_URL", "http://127.0.0.1:9/appcast.xml");
  env.insert("OMBRIX_QUIT_AFTER_FRAME", "1");
  double reported = 0;
  for (auto _ : state) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral(OX_BINARY_DIR "/bin/ombrix"), {});
    QByteArray out;
    while (!out.contains("first frame") && p.waitForReadyRead(20000)) out += p.readAllStandardOutput();
    const double seconds = clock.nsecsElapsed() / 1e9;
    p.waitForFinished(20000);
    if (!out.contains("first frame")) {
      state.SkipWithError("ombrix painted no frame");
      break;
    }
    state.SetIterationTime(seconds);
    reported = QString::fromUtf8(out).section("first frame after ", 1).section(' ', 0, 0).toDouble();
  }
  state.counters["reported_ms"] = reported;
}

void homeFrames(benchmark::State& state, bool crossFade) {
  ox::ManualClock clock(100);
  auto home = std::make_shared<HomeView>(QRectF(QPointF(0, 0), kScreen));
  home->setupLayers();
  ox::Transaction::flush();
  ox::LayerClock::advance(9);
  home->updateBackdrop();  // the second picture fades in over 2 s while both move
  if (!crossFade) ox::LayerClock::advance(2.5);
  ox::Renderer renderer;
  QImage target(kScreen.toSize(), QImage::Format_ARGB32_Premultiplied);
  int frame = 0;
  for (auto _ : state) {
    // A cross-fade lasts 2 s: start a new one before it ends.
    if (crossFade && ++frame % 100 == 0) home->updateBackdrop();
    ox::LayerClock::advance(1.0 / 60);
    QPainter p(&target);
    renderer.render(p, home->layer(), kScreen, ox::LayerClock::now());
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// 16-bit mono PCM, a 440 Hz tone.
QByteArray toneWav(int seconds) {
  const int rate = 8000, samples = rate * seconds;
  QByteArray pcm(samples * 2, Qt::Uninitialized);
  for (int i = 0; i < samples; ++i) {
    const qint16 v = qint16(8000 * std::sin(2 * M_PI * 440 * i / rate));
    pcm[2 * i] = char(v & 0xff);
    pcm[2 * i + 1] = char((v >> 8) & 0xff);
  }
  QByteArray wav;
  const auto u32 = [&](quint32 v) {
    for (int k = 0; k < 4; ++k) wav.append(char((v >> (8 * k)) & 0xff));
  };
  const auto u16 = [&](quint16 v) { wav.append(char(v & 0xff)).append(char(v >> 8)); };
  wav.append("RIFF");
  u32(36 + pcm.size());
  wav.append("WAVEfmt ");
  u32(16), u16(1), u16(1), u32(rate), u32(rate * 2), u16(2), u16(16);
  wav.append("data");
  u32(pcm.size());
  return wav + pcm;
}

// The library holds the first `count` movies of one list, so a bigger browser adds to what a smaller one read.
void addMovies(int count) {
  OXLibrary* library = OXLibrary::shareLibrary();
  const QString films = g_dir->filePath("films");
  const QStringList titles = {"Quiet Orchard", "The Long Tide", "Paper Moons", "North of Nowhere", "Glass Harbour"};
  if (!QDir(films).exists()) {
    QDir().mkpath(films);
    const QString posters = library->pathWithFolder("posters", {});
    for (int i = 0; i < 25; ++i)
      scenes::paintPoster(500, 740, i, titles[i % titles.size()])
          .save(QDir(posters).filePath(QStringLiteral("p%1.png").arg(i)));
    const QString backdrops = library->pathWithFolder("backdrops", {});
    scenes::paintBackdrop(1920, 1080, 3).save(QDir(backdrops).filePath("b.jpg"), "JPG", 90);
    QFile wav(library->pathWithFolder("soundtrack.preview", "tone.wav"));
    wav.open(QIODevice::WriteOnly);
    wav.write(toneWav(20));
    wav.close();
  }
  for (int i = int(library->movieList().size()); i < count; ++i) {
    const QString title = QStringLiteral("%1 %2").arg(titles[i % titles.size()]).arg(i, 4, 10, QLatin1Char('0'));
    const QVariantMap fields{{"title", title}, {"genre", QStringList{"Drama", "Mystery"}}, {"rating", 7.5},
                             {"runtime", 104},
                             {"poster", QStringLiteral("http://127.0.0.1:9/original/p%1.png").arg(i % 25)},
                             {"image", "http://127.0.0.1:9/original/b.jpg"},
                             {"soundtrack", "http://127.0.0.1:9/tone.wav"}};
    const QString code = QStringLiteral("tt5%1").arg(i, 6, 10, QLatin1Char('0'));
    auto movie = OXMovie::initWithDictionary({{"id", code}, {"fields", fields}});
    // A file of its own, present: one record per path, and no veil.
    auto file = OXFile::initWithType(OXFile::kTypeMovie);
    file->setFilePath(QDir(films).filePath(code + ".mkv"));
    QFile(file->filePath()).open(QIODevice::WriteOnly);
    movie->setFile(file);
    library->addContent(movie);
  }
}

// Peak resident memory is counted from here on (Linux resets the process's high-water mark to what it holds now).
void resetPeakResident() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

// The process's peak resident memory since the last reset, in MB.
double peakResidentMB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  return 0;
}

// The browser's queued work lands: composed posters come back through the main queue.
bool posterWorkDone(const std::shared_ptr<MoviesView>& view) {
  QCoreApplication::processEvents();
  return view->pendingPosters() == 0;
}

// One browser of `count` movies at a time, built once and kept until a bigger one is asked for; the last is kept to
// the end, past the application.
std::shared_ptr<MoviesView> moviesBrowser(int count) {
  static auto* view = new std::shared_ptr<MoviesView>();
  if (*view && int((*view)->numberOfCovers()) == count) return *view;
  view->reset();  // one browser at a time
  addMovies(count);
  auto v = std::make_shared<MoviesView>(QRectF(QPointF(0, 0), kScreen));
  v->setupLayers();
  QElapsedTimer composing;
  composing.start();
  while (v->pendingPosters() > 0 && composing.elapsed() < 1800000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QCoreApplication::processEvents();
  ox::Transaction::flush();
  *view = v;
  return v;
}

// The browser of the case's size, with the middle of the row selected (posters on both sides all along) and its
// posters composed; null when they could not be. The layers' clock is manual from here on, one 1/60 s a frame as a
// display would show them, and runs on from case to case, so that the browser kept between them finds its
// animations where it left them.
std::shared_ptr<MoviesView> middleOfTheRow(benchmark::State& state) {
  if (!ox::LayerClock::isManual()) ox::LayerClock::setManualTime(1000);
  const int count = int(state.range(0));
  const std::shared_ptr<MoviesView> view = moviesBrowser(count);
  view->setSelectedIndex(count / 2);
  QElapsedTimer composing;
  composing.start();
  while (!posterWorkDone(view) && composing.elapsed() < 60000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  if (int(view->numberOfCovers()) != count || view->pendingPosters() > 0) {
    state.SkipWithError("the browser's posters were not composed");
    return nullptr;
  }
  view->titleMovieAppear();  // footer and preview for the poster in the middle
  ox::DelayedCall::advanceManualTime(1);
  ox::LayerClock::advance(1);
  return view;
}

void reportFrames(benchmark::State& state, const std::shared_ptr<MoviesView>& view, const ox::Renderer& renderer,
                  double worst) {
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["preview"] = view->player() ? 1 : 0;
  state.counters["footer"] = view->footerBaseLayer()->opacity();
  state.counters["layers"] = renderer.lastStats().visited;
  state.counters["culled"] = renderer.lastStats().culled;
  state.counters["worst_ms"] = worst;
  state.counters["peak_rss_MB"] = peakResidentMB();
}

// Frames of the browser in the middle of its row, one 1/60 s of the layers apart: `step` moves the row before
// frame n (from 1); `paced` gives the rest of each 1/60 s of the wall clock to what runs beside the frames (the
// compositions, and what lands from them) and times each frame's own work.
template <typename Step>
void movieFrames(benchmark::State& state, bool paced, Step step) {
  resetPeakResident();
  const std::shared_ptr<MoviesView> view = middleOfTheRow(state);
  if (!view) return;
  const qint64 middle = qint64(view->selectedIndex());
  ox::Renderer renderer;
  QImage target(kScreen.toSize(), QImage::Format_ARGB32_Premultiplied);
  int frame = 0;
  double worst = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    step(*view, ++frame, middle);
    ox::DelayedCall::advanceManualTime(1.0 / 60);
    ox::LayerClock::advance(1.0 / 60);
    QCoreApplication::processEvents();
    QPainter p(&target);
    renderer.render(p, view->layer(), kScreen, ox::LayerClock::now());
    p.end();
    const double ms = clock.nsecsElapsed() / 1e6;
    // The first frames fill the renderer's caches with the posters in view.
    if (frame > 12) worst = std::max(worst, ms);
    if (!paced) continue;
    state.SetIterationTime(ms / 1000);
    while (clock.nsecsElapsed() < 1000000000 / 60) {
      QCoreApplication::processEvents();
      QThread::usleep(500);
    }
  }
  view->releaseButton();
  reportFrames(state, view, renderer, worst);
  view->clearMusic();
}

void moviesFrames(benchmark::State& state, bool labelsAndPreview) {
  movieFrames(state, false, [labelsAndPreview](MoviesView& view, int frame, qint64 middle) {
    if (frame % 12 != 0) return;
    if (labelsAndPreview) {
      view.setSelectedIndex(middle + (frame / 12) % 200);
    } else {
      view.moveRight();
      if (qint64(view.selectedIndex()) >= middle + 200) view.setSelectedIndex(middle);
    }
  });
}

void BM_MoviesSlideMoves(benchmark::State& state) { moviesFrames(state, false); }
void BM_MoviesSlideLabelsPreview(benchmark::State& state) { moviesFrames(state, true); }

void BM_MoviesSlideHeld(benchmark::State& state) {
  bool right = false;
  movieFrames(state, true, [&right](MoviesView& view, int frame, qint64 middle) {
    // Held one way for 200 posters, then the other way back.
    const qint64 at = qint64(view.selectedIndex());
    if (frame == 1 || (right ? at >= middle + 200 : at <= middle)) {
      right = !right;
      view.releaseButton();
      right ? view.holdRight() : view.holdLeft();
    }
  });
}

void BM_StreamersOversizedPosters(benchmark::State& state) {
  static auto* host = new oxtest::LoopbackServer;  // lives past the application, as the browsers do
  QByteArray png;
  {
    QImage huge(5600, 5600, state.range(0) == 1 ? QImage::Format_Mono : QImage::Format_RGB32);
    huge.fill(Qt::darkCyan);
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    huge.save(&out, "PNG");
  }
  host->setReply("/poster.png", {200, png, "image/png", {}});
  OXLibrary* library = OXLibrary::shareLibrary();
  int round = 0;
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // Addresses of their own each round, so that no poster comes from the layers' picture cache.
    library->clearStreamsData();
    for (int i = 0; i < 60; ++i)
      library->addStreamContent(OXMovie::initWithStreamerDictionary(
          {{"id", QStringLiteral("tt96%1").arg(i, 5, 10, QLatin1Char('0'))},
           {"title", QStringLiteral("Streamed %1").arg(i)},
           {"poster", host->url(QStringLiteral("/poster.png?n=%1").arg(round * 60 + i)).toString()},
           {"links", QStringList{QStringLiteral("magnet:?xt=urn:btih:%1").arg(i)}}}));
    ++round;
    resetPeakResident();
    state.ResumeTiming();
    auto view = std::make_shared<OXStreamersMoviesView>(QRectF(QPointF(0, 0), kScreen));
    view->setupLayers();
    QElapsedTimer composing;
    composing.start();
    while (view->pendingPosters() > 0 && composing.elapsed() < 600000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
    peak = std::max(peak, peakResidentMB());
    state.PauseTiming();
    view.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  library->clearStreamsData();
  state.counters["posters_asked"] = double(host->requestCount()) / round;
  host->clearRequests();
  state.counters["poster_KB"] = png.size() / 1024.0;
  state.counters["peak_rss_MB"] = peak;
}

void BM_HomeFrameSteady(benchmark::State& state) { homeFrames(state, false); }
void BM_HomeFrameCrossFade(benchmark::State& state) { homeFrames(state, true); }

}  // namespace

BENCHMARK(BM_StartToHomeFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3)->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_HomeFrameSteady)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_HomeFrameCrossFade)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_StreamersOversizedPosters)->Arg(1)->Arg(32)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
// The cases of one size before the next, so one browser is alive at a time.
BENCHMARK(BM_MoviesSlideMoves)->Arg(500)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_MoviesSlideLabelsPreview)->Arg(500)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_MoviesSlideHeld)->Arg(500)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseManualTime();
BENCHMARK(BM_MoviesSlideMoves)->Arg(5000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_MoviesSlideLabelsPreview)->Arg(5000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_MoviesSlideHeld)->Arg(5000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseManualTime();
BENCHMARK(BM_MoviesSlideMoves)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_MoviesSlideLabelsPreview)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_MoviesSlideHeld)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseManualTime();

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir dir;
  g_dir = &dir;
  qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
  QGuiApplication app(argc, argv);
  OXMainInterface::registerInfoValues();
  ox::VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")});
  ox::DelayedCall::useManualTime(true);
  qputenv("OMBRIX_FEED_URL", "http://127.0.0.1:9/appcast.xml");
  writeLibrary(dir.filePath("data"));
  OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(QRectF(QPointF(0, 0), kScreen).toRect());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
