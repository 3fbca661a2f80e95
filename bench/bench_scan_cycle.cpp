// One update cycle of the engine over 2,000 new video files (half movies, half episodes, named as release groups
// and people name them), with every service answered by the local stand-ins. Reports files identified per second
// (files that ended in a library list, known or unknown) and the process's peak resident memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/foundation/HttpClient.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/UserDefaults.h"
#include "scanner/OXCoreLibrary.h"
#include "scanner/TVDb.h"
#include "tests/support/StandIn.h"

namespace {

constexpr int kFiles = 2000;

// File names in the shapes found on shared disks: dotted release names with tags, titles with the year in
// brackets, folders per movie, and episodes as S01E02, 1x02 or "Season 1/02".
QStringList generateNames(QRandomGenerator& rng) {
  static const QStringList words = {"Glass", "Harbour", "Copper", "Lanterns", "Salt", "Pepper", "Quiet", "Orchard",
                                    "Long", "Road", "River", "Night", "Station", "Orbit", "Street", "Winter",
                                    "Garden", "Letters", "Iron", "Coast", "Silent", "Paper", "Moon", "House"};
  static const QStringList tags = {"720p.BluRay.x264-SPARKS", "1080p.WEB-DL.DD5.1.H264-FGT", "DVDRip.XviD-MAX",
                                   "2160p.UHD.BluRay.x265-TERMiNAL", "HDTV.x264-LOL", "BRRip.AAC-ETRG"};
  static const QStringList ext = {".mkv", ".mp4", ".avi", ".m4v"};
  const auto title = [&](int n) {
    QStringList parts;
    for (int i = 0; i < n; ++i) parts << words[rng.bounded(words.size())];
    return parts;
  };
  QStringList names;
  for (int i = 0; i < kFiles / 2; ++i) {
    const QStringList t = title(1 + int(rng.bounded(3)));
    const int year = 1950 + int(rng.bounded(75));
    switch (i % 3) {
      case 0:
        names << QStringLiteral("Movies/%1.%2.%3%4").arg(t.join('.')).arg(year).arg(tags[rng.bounded(tags.size())],
                                                                                   ext[rng.bounded(ext.size())]);
        break;
      case 1:
        names << QStringLiteral("Movies/%1 (%2)%3").arg(t.join(' ')).arg(year).arg(ext[rng.bounded(ext.size())]);
        break;
      default:
        names << QStringLiteral("Movies/%1 %2/%1.%2%3").arg(t.join(' ')).arg(year).arg(ext[rng.bounded(ext.size())]);
    }
    // A few copies per title, so names repeat as they do on real disks.
    names.last().insert(names.last().lastIndexOf('.'), QStringLiteral("-%1").arg(i));
  }
  for (int i = 0; i < kFiles / 2; ++i) {
    const QString show = title(2).join(' ');
    const int season = 1 + i % 7, episode = 1 + i % 23;
    switch (i % 3) {
      case 0:
        names << QStringLiteral("TV Shows/%1/%2.S%3E%4.%5.mkv")
                     .arg(show, QString(show).replace(' ', '.'))
                     .arg(season, 2, 10, QChar('0'))
                     .arg(episode, 2, 10, QChar('0'))
                     .arg(tags[4]);
        break;
      case 1:
        names << QStringLiteral("TV Shows/%1/%1 - %2x%3.avi").arg(show).arg(season).arg(episode, 2, 10, QChar('0'));
        break;
      default:
        names << QStringLiteral("TV Shows/%1/Season %2/%3 - Episode %4.mp4").arg(show).arg(season).arg(episode).arg(i);
    }
  }
  return names;
}

qint64 peakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_ScanCycle2000NewFiles(benchmark::State& state) {
  static oxtest::StandIn standIn;
  if (!standIn.isRunning() && !standIn.start()) {
    state.SkipWithError("stand-ins did not start");
    return;
  }
  ox::UserDefaults::setValue(QStringLiteral("lastHashScanTimestamp"), QDateTime::currentDateTimeUtc());
  QFile catalogue(QStringLiteral(OX_SOURCE_DIR "/tests/standin/catalogue.json"));
  catalogue.open(QIODevice::ReadOnly);
  TVDbClient::sharedInstance().setApiKey(
      QJsonDocument::fromJson(catalogue.readAll()).object().value(QStringLiteral("tvdbApiKey")).toString());
  QRandomGenerator rng(20261209);
  const QStringList names = generateNames(rng);
  double found = 0;
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir dir;
    for (const QString& name : names) {
      const QString path = dir.filePath(QStringLiteral("videos/") + name);
      QDir().mkpath(QFileInfo(path).absolutePath());
      QFile f(path);
      // Sparse 5 MiB files: large enough to be sampled, nothing written.
      if (f.open(QIODevice::WriteOnly)) f.resize(5 * 1048576);
    }
    auto library = OXLibrary::libraryWithSupportFolder(dir.filePath(QStringLiteral("support")));
    library->rootList()->addURLs({QUrl::fromLocalFile(dir.filePath(QStringLiteral("videos/Movies/")))}, 1);
    library->rootList()->addURLs({QUrl::fromLocalFile(dir.filePath(QStringLiteral("videos/TV Shows/")))}, 3);
    library->setLastStreamersUpdate(QDateTime::currentDateTimeUtc());
    OXCoreLibrary engine(library, false);
    state.ResumeTiming();

    engine.updateLibrary();
    while (engine.isUpdating()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    state.PauseTiming();
    engine.waitForDownloads();
    found = double(library->movieList().size() + library->episodeList().size() + library->unknownMovieList().size() +
                   library->unknownEpisodeList().size());
    state.ResumeTiming();
  }
  state.counters["filesIdentified"] = found;
  state.counters["filesIdentifiedPerSecond"] = benchmark::Counter(found, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peakRSS_MiB"] = double(peakResidentKiB()) / 1024.0;
}
BENCHMARK(BM_ScanCycle2000NewFiles)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication app(argc, argv);
  ox::httpGlobalInit();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
