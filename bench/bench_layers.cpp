// Frame time of the layer renderer at 1920 x 1080 on the CPU (QPainter, raster):
//   - Home: full-screen Ken Burns backdrop (steady, and in the middle of a cross-fade with both pictures moving),
//     vignette, left-half gradient, section list and clock;
//   - the movie browser's cover flow of 500 posters (about 15 on screen) while it slides from poster to poster.
// Each iteration draws one whole frame at the next 1/60 s. The goal is 60 frames a second (16.7 ms a frame).
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "core/OXPreferencesValues.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "tools/frames/Scenes.h"

namespace {

const QSizeF kScreen(1920, 1080);

void frames(benchmark::State& state, const ox::LayerPtr& root, const std::function<void(int)>& everyFrame) {
  ox::Renderer renderer;
  QImage target(kScreen.toSize(), QImage::Format_ARGB32_Premultiplied);
  int frame = 0;
  int visited = 0, drawn = 0;
  for (auto _ : state) {
    everyFrame(frame);
    ox::LayerClock::advance(1.0 / 60);
    QPainter p(&target);
    renderer.render(p, root, kScreen, ox::LayerClock::now());
    p.end();
    visited = renderer.lastStats().visited;
    drawn = renderer.lastStats().drawn;
    ++frame;
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["layers"] = visited;
  state.counters["drawn"] = drawn;
}

void BM_HomeSteady(benchmark::State& state) {
  ox::ManualClock clock(100);
  scenes::Home home = scenes::buildHome(kScreen);
  home.kenburns->setRandomSource([] { return 0; });  // case 1: the 16 s zoom
  home.kenburns->nextWithImage(scenes::paintBackdrop(1920, 1080, 1));
  ox::LayerClock::advance(3);  // past the first fade: one picture on screen
  frames(state, home.root, [](int) {});
}

void BM_HomeCrossFade(benchmark::State& state) {
  ox::ManualClock clock(100);
  scenes::Home home = scenes::buildHome(kScreen);
  const QImage a = scenes::paintBackdrop(1920, 1080, 1), b = scenes::paintBackdrop(1920, 1080, 6);
  home.kenburns->setRandomSource([] { return 2; });  // pans: both pictures move
  home.kenburns->nextWithImage(a);
  ox::LayerClock::advance(3);
  // Every 2 s another picture: the screen is always in a cross-fade.
  frames(state, home.root, [&](int frame) {
    if (frame % 120 == 0) home.kenburns->nextWithImage(frame % 240 ? a : b);
  });
}

void BM_CoverFlowSlide(benchmark::State& state) {
  ox::ManualClock clock(100);
  scenes::CoverFlow flow = scenes::buildCoverFlow(kScreen, int(state.range(0)), 25, scenes::paintBackdrop(1920, 1080, 3));
  qint64 selected = 250;
  flow.select(selected);
  ox::Transaction::flush();
  // A new selection every 0.2 s: the row is always sliding.
  frames(state, flow.root, [&](int frame) {
    if (frame % 12 == 0) flow.select(++selected % 500);
  });
}

}  // namespace

BENCHMARK(BM_HomeSteady)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_HomeCrossFade)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_CoverFlowSlide)->Arg(500)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  scenes::registerFonts(QStringLiteral(OX_SOURCE_DIR));
  OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(QRectF(QPointF(0, 0), kScreen).toRect());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
