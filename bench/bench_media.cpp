// Cost of showing a 1080p stream through libvlc's video callbacks, against libvlc decoding the same file into its
// dummy output (no picture leaves libvlc). Each run plays the whole file once; counters give frames per second
// sustained, process CPU per frame and pictures libvlc reported lost (a lagging count). "rate" 1 is real time; a higher rate asks libvlc to go
// faster than real time, which shows the ceiling.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <vlc/vlc.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "platform/media/VLCLibrary.h"
#include "platform/media/VLCMediaPlayer.h"

using namespace ox;

namespace {

QString gMovie;
constexpr int kSeconds = 6;
constexpr int kFps = 30;

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

enum class Output { None, Callbacks, CallbacksAndPaint };

void play(benchmark::State& state, Output output) {
  const int rate = int(state.range(0));
  for (auto _ : state) {
    std::shared_ptr<VLCFrameSink> sink;
    if (output != Output::None) sink = std::make_shared<VLCFrameSink>();
    // The frame drawn to a screen-sized image, as the video layer is painted.
    QImage screen(1920, 1080, QImage::Format_RGB32);
    quint64 painted = 0;
    if (output == Output::CallbacksAndPaint) {
      QObject::connect(sink.get(), &VLCFrameSink::frameArrived, [&] {
        QPainter p(&screen);
        p.drawImage(QRect(0, 0, 1920, 1080), sink->latestFrame());
        ++painted;
      });
    }
    VLCMediaPlayer player(sink);
    auto media = VLCMedia::mediaWithPath(gMovie);
    if (rate != 1) {
      // Faster than real time, and every picture shown however late, so the count is what the pipeline can carry.
      media->addOptions({{QStringLiteral(":rate"), QString::number(rate)}});
      media->addOptions({{QStringLiteral(":no-drop-late-frames"), QVariant()}});
      media->addOptions({{QStringLiteral(":no-skip-frames"), QVariant()}});
    }
    player.setMedia(media);
    bool done = false;
    libvlc_media_stats_t stats{};
    QObject::connect(&player, &VLCMediaPlayer::stateChanged, [&](int s) {
      if (s == VLCMediaPlayerStateEnded || s == VLCMediaPlayerStateError) {
        libvlc_media_get_stats(media->handle(), &stats);
        done = true;
      }
    });
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    player.play();
    while (!done && wall.elapsed() < 60000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      QThread::usleep(500);
    }
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    state.SetIterationTime(seconds);
    // libvlc's own counters lag by up to a second; without a display every picture of the file counts as decoded.
    const double shown = output == Output::None ? double(kSeconds * kFps) : double(sink->frameCount());
    state.counters["frames"] = shown;
    state.counters["fps"] = shown / seconds;
    state.counters["cpu_ms_per_frame"] = shown > 0 ? cpu * 1000.0 / shown : 0;
    state.counters["cpu_cores"] = cpu / seconds;
    state.counters["lost"] = double(stats.i_lost_pictures);
    if (output == Output::CallbacksAndPaint) state.counters["painted"] = double(painted);
    if (!done) state.SkipWithError("playback did not end");
  }
}

void BM_DecodeNoDisplay(benchmark::State& s) { play(s, Output::None); }
void BM_VideoCallbacks(benchmark::State& s) { play(s, Output::Callbacks); }
void BM_VideoCallbacksAndPaint(benchmark::State& s) { play(s, Output::CallbacksAndPaint); }

}  // namespace

BENCHMARK(BM_DecodeNoDisplay)->Arg(1)->Arg(8)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VideoCallbacks)->Arg(1)->Arg(8)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VideoCallbacksAndPaint)->Arg(1)->Arg(8)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")});
  QTemporaryDir dir;
  gMovie = dir.path() + QStringLiteral("/1080p.mkv");
  QProcess ffmpeg;
  ffmpeg.start(QStringLiteral("ffmpeg"),
               {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                QStringLiteral("testsrc2=size=1920x1080:rate=%1:duration=%2").arg(kFps).arg(kSeconds), "-c:v",
                "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", gMovie});
  if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
    fprintf(stderr, "ffmpeg could not make the 1080p sample\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
