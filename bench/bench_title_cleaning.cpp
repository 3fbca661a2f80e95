// Title cleaning over a few thousand release-style file names: names per second for the search title alone, and
// for everything identification reads of a name (title, year, season and episode).
#include <benchmark/benchmark.h>

#include <QStringList>

#include "core/OXFile.h"

namespace {

struct Name {
  QString path;
  qint32 type;
};

// Deterministic mix of movie and episode names in the shapes release groups use.
std::vector<Name> releaseNames() {
  const QStringList titles = {
      "Quiet Orchard", "Harbour Lights", "The Long Winter Road", "Scary Movie", "A Man Called Otto",
      "Individual Paths", "Red Sparrow Rising", "Night Crew", "The Glass Engineer", "Ten Rivers",
      "Hotel Meridian", "Summer of 84", "Blade Dancer 2049", "The Last Lighthouse", "Cold Harbour",
      "Paper Moons", "Iron & Ivy", "Who Killed Tom?", "The Dual Agent", "Mr. Byron's Garden",
      "Salt", "Up", "It Follows Home", "The Subway Hour", "Saint Elm's Fire", "Westbound 9",
      "House of Quiet Doors", "Echo Park Blues", "Northern Star", "The Mountain Between Us"};
  const QStringList sources = {"BluRay", "WEB-DL", "HDTV", "DVDRip", "BRRip", "WEBRip", "HDRip", "BDRemux", ""};
  const QStringList resolutions = {"720p", "1080p", "2160p", ""};
  const QStringList codecs = {"x264", "x265", "H264", "XviD", "HEVC", ""};
  const QStringList audio = {"AC3", "DTS", "AAC2.0", "DD5.1", ""};
  const QStringList groups = {"-GRP", "-SPARKS", "-YTS", "-DIMENSION", "-LOL", "[rarbg]", "(Multi Subs)", ""};
  const QStringList extensions = {".mkv", ".avi", ".mp4", ".m4v", ".mov"};
  const QStringList separators = {".", " ", "_"};

  std::vector<Name> names;
  quint32 state = 20240601;
  const auto pick = [&state](const QStringList& list) {
    state = state * 1664525u + 1013904223u;
    return list.at(int((state >> 8) % quint32(list.size())));
  };
  for (int i = 0; i < 3000; ++i) {
    const QString sep = pick(separators);
    QString title = pick(titles);
    title.replace(" ", sep);
    QStringList parts{title};
    const int shape = i % 5;
    qint32 type = 1;
    QString folder = "/Movies/";
    if (shape == 3) {
      type = 3;
      parts << QString("S%1E%2").arg(1 + i % 9, 2, 10, QChar('0')).arg(1 + i % 23, 2, 10, QChar('0'));
      folder = QString("/TV/%1/Season %2/").arg(pick(titles)).arg(1 + i % 9);
    } else if (shape == 4) {
      type = 3;
      parts << QString("%1x%2").arg(1 + i % 9).arg(1 + i % 23, 2, 10, QChar('0'));
      folder = "/TV/";
    } else {
      parts << QString::number(1950 + i % 74);
    }
    for (const QString& tag : {pick(resolutions), pick(sources), pick(audio), pick(codecs)})
      if (!tag.isEmpty()) parts << tag;
    QString name = parts.join(sep) + pick(groups) + pick(extensions);
    if (i % 17 == 0) {  // "05 - Episode Name.avi" inside a season folder
      type = 3;
      name = QString("%1 - %2.avi").arg(1 + i % 23, 2, 10, QChar('0')).arg(pick(titles));
      folder = QString("/TV/%1/Season %2/").arg(pick(titles)).arg(1 + i % 9);
    }
    names.push_back({folder + name, type});
  }
  return names;
}

const std::vector<Name>& names() {
  static const std::vector<Name> n = releaseNames();
  return n;
}

void BM_TitleCleaning(benchmark::State& state) {
  OXFile::setDateSource([] { return QDate(2024, 6, 1); });
  const auto& list = names();
  for (auto _ : state) {
    for (const Name& n : list) {
      OXFile f(n.type);
      f.setFilePath(n.path);
      benchmark::DoNotOptimize(f.fulltext());
    }
  }
  state.SetItemsProcessed(state.iterations() * qint64(list.size()));
  state.counters["names"] = double(list.size());
}
BENCHMARK(BM_TitleCleaning)->Unit(benchmark::kMillisecond);

void BM_TitleYearSeasonEpisode(benchmark::State& state) {
  OXFile::setDateSource([] { return QDate(2024, 6, 1); });
  const auto& list = names();
  for (auto _ : state) {
    for (const Name& n : list) {
      OXFile f(n.type);
      f.setFilePath(n.path);
      benchmark::DoNotOptimize(f.fulltext());
      benchmark::DoNotOptimize(f.parseYear());
      benchmark::DoNotOptimize(f.parseSeasonNumber());
      benchmark::DoNotOptimize(f.parseEpisodeNumber());
    }
  }
  state.SetItemsProcessed(state.iterations() * qint64(list.size()));
}
BENCHMARK(BM_TitleYearSeasonEpisode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
