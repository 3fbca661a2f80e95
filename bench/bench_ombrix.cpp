// Ombrix's start and Home, at 1920 x 1080 on the offscreen platform, on a library like the demo's (ten movie and six
// show home backdrops, full-size JPEG pictures):
//   - StartToHomeFirstFrame: from starting the `ombrix` program to its first painted frame of Home (the program
//     reports it and quits); the median of the repetitions is the figure;
//   - HomeFrame: one whole frame of the real Home view at the next 1/60 s, steady and during a cross-fade, with
//     both pictures moving.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include "app/HomeView.h"
#include "app/OXMainInterface.h"
#include "core/OXPreferencesValues.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/Transaction.h"
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

void BM_HomeFrameSteady(benchmark::State& state) { homeFrames(state, false); }
void BM_HomeFrameCrossFade(benchmark::State& state) { homeFrames(state, true); }

}  // namespace

BENCHMARK(BM_StartToHomeFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3)->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_HomeFrameSteady)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_HomeFrameCrossFade)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir dir;
  g_dir = &dir;
  qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
  QGuiApplication app(argc, argv);
  OXMainInterface::registerInfoValues();
  qputenv("OMBRIX_FEED_URL", "http://127.0.0.1:9/appcast.xml");
  writeLibrary(dir.filePath("data"));
  OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(QRectF(QPointF(0, 0), kScreen).toRect());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
