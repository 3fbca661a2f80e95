// Saving and loading "library.bin" for a large library: 5,000 movies, 500 shows and 20,000 episodes, each movie and
// episode with its file record (not sampled). Reports the time per save or load and the file's size. With
// OX_BENCH_LIBRARY_COPY set, the saved "library.bin" is copied to that path, for bench/compare.sh to give to
// Python's plistlib.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVariantMap>
#include <functional>

#include "core/OXLibrary.h"

namespace {

constexpr int kMovies = 5000;
constexpr int kShows = 500;
constexpr int kEpisodes = 20000;

std::shared_ptr<OXFile> videoFile(qint32 type, const QString& path) {
  auto f = OXFile::initWithType(type);
  f->setFilePath(path);
  return f;
}

std::shared_ptr<OXMovie> movie(int i) {
  const QVariantMap fields{{"title", QStringLiteral("Quiet Orchard %1").arg(i)},
                           {"year", 1950 + i % 70},
                           {"runtime", 90 + i % 60},
                           {"rating", 5.0 + (i % 50) / 10.0},
                           {"genre", QVariantList{"Drama", "Mystery"}},
                           {"poster", QStringLiteral("https://img.example/t/p/original/poster%1.jpg").arg(i)},
                           {"image", QStringLiteral("https://img.example/t/p/original/backdrop%1.jpg").arg(i)},
                           {"soundtrack", QStringLiteral("https://audio.example/preview%1.m4a").arg(i)},
                           {"extpopularity", i},
                           {"trailers", QVariantList{QStringLiteral("https://video.example/trailer%1").arg(i)}}};
  auto m = OXMovie::initWithDictionary({{"id", QStringLiteral("tt%1").arg(i, 7, 10, QLatin1Char('0'))}, {"fields", fields}});
  m->setFile(videoFile(OXFile::kTypeMovie, QStringLiteral("/srv/media/Movies/Quiet.Orchard.%1.1080p.mkv").arg(i)));
  return m;
}

std::shared_ptr<OXShow> show(int i) {
  const QVariantMap fields{{"title", QStringLiteral("Salt Roads %1").arg(i)},
                           {"year", 1990 + i % 30},
                           {"genre", QVariantList{"Drama"}},
                           {"poster", QStringLiteral("https://img.example/t/p/original/show%1.jpg").arg(i)}};
  return OXShow::initWithDictionary({{"id", QStringLiteral("s_%1").arg(70000 + i)}, {"fields", fields}});
}

std::shared_ptr<OXEpisode> episode(int i) {
  const int showIndex = i % kShows;
  const int number = i / kShows;  // 40 episodes per show
  const QVariantMap fields{{"title", QStringLiteral("Episode %1").arg(number + 1)},
                           {"showid", 70000 + showIndex},
                           {"season", 1 + number / 10},
                           {"episode", 1 + number % 10},
                           {"image", QStringLiteral("http://thetvdb.com/banners/episodes/%1.jpg").arg(i)}};
  auto e = OXEpisode::initWithDictionary({{"id", QStringLiteral("e_%1").arg(300000 + i)}, {"fields", fields}});
  e->setFile(videoFile(OXFile::kTypeEpisode, QStringLiteral("/srv/media/Shows/Salt.Roads.%1.S%2E%3.mkv")
                                                 .arg(showIndex)
                                                 .arg(1 + number / 10, 2, 10, QLatin1Char('0'))
                                                 .arg(1 + number % 10, 2, 10, QLatin1Char('0'))));
  return e;
}

struct Fixture {
  QTemporaryDir dir;
  std::shared_ptr<OXLibrary> library;
  Fixture() {
    library = OXLibrary::libraryWithSupportFolder(dir.path());
    for (int i = 0; i < kMovies; ++i) library->addContent(movie(i));
    for (int i = 0; i < kShows; ++i) library->addContent(show(i));
    for (int i = 0; i < kEpisodes; ++i) library->addContent(episode(i));
    library->saveLibrary();
    const QString copy = qEnvironmentVariable("OX_BENCH_LIBRARY_COPY");
    if (!copy.isEmpty()) {
      QFile::remove(copy);
      QFile::copy(library->pathWithFolder({}, "library.bin"), copy);
    }
  }
  double fileSize() const { return double(QFileInfo(library->pathWithFolder({}, "library.bin")).size()); }
};

Fixture& fixture() {
  static Fixture* f = new Fixture;
  return *f;
}

void BM_SaveLibrary(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) benchmark::DoNotOptimize(f.library->saveLibrary());
  state.counters["file_bytes"] = f.fileSize();
  state.counters["records"] = kMovies + kShows + kEpisodes;
}
BENCHMARK(BM_SaveLibrary)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// What a save costs the thread that asks for it (the helper's main thread): the snapshot alone.
void BM_SaveLibraryInBackground(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    f.library->saveLibraryInBackground();
    state.PauseTiming();
    f.library->waitForSaves();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SaveLibraryInBackground)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_LoadLibrary(benchmark::State& state) {
  Fixture& f = fixture();
  f.library->saveLibrary();
  for (auto _ : state) {
    f.library->loadLibrary();
    if (f.library->episodeList().size() != kEpisodes) state.SkipWithError("library read back incomplete");
  }
  state.counters["file_bytes"] = f.fileSize();
}
BENCHMARK(BM_LoadLibrary)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// What Ombrix pays at start: a store opened on the file (its first use reads it), the old one's end not counted.
void BM_OpenLibrary(benchmark::State& state) {
  Fixture& f = fixture();
  f.library->saveLibrary();
  for (auto _ : state) {
    auto opened = OXLibrary::libraryWithSupportFolder(f.dir.path());
    if (opened->episodeList().size() != kEpisodes) state.SkipWithError("library read back incomplete");
    state.PauseTiming();
    opened.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenLibrary)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Identification adds one record at a time; the duplicate test must not scan the list.
void BM_AddEpisodes(benchmark::State& state) {
  QTemporaryDir dir;
  std::vector<std::shared_ptr<OXEpisode>> episodes;
  for (int i = 0; i < kEpisodes; ++i) episodes.push_back(episode(i));
  for (auto _ : state) {
    const auto library = OXLibrary::libraryWithSupportFolder(dir.path());
    for (const auto& e : episodes) library->addContent(e);
    benchmark::DoNotOptimize(library->episodeList().size());
  }
  state.SetItemsProcessed(state.iterations() * kEpisodes);
}
BENCHMARK(BM_AddEpisodes)->Unit(benchmark::kMillisecond);

// A streamer update: the lists cleared, then each catalogue entry merged as the update merges it. Every hundredth
// entry repeats an earlier title (its links appended to that one), so each catalogue keeps 99 in 100 of its entries.
template <class T>
void addStreamCatalogue(benchmark::State& state, const std::function<QVariantMap(int)>& entry,
                        const std::function<qsizetype(const OXLibrary&)>& kept) {
  const int count = int(state.range(0));
  QTemporaryDir dir;
  const auto library = OXLibrary::libraryWithSupportFolder(dir.path());
  std::vector<std::shared_ptr<T>> records;
  for (int i = 0; i < count; ++i) records.push_back(T::initWithStreamerDictionary(entry(i % 100 == 99 ? i - 50 : i)));
  for (auto _ : state) {
    library->clearStreamsData();
    for (const auto& record : records) library->addStreamContent(record);
  }
  if (kept(*library) != count - count / 100) state.SkipWithError("catalogue not kept as merged");
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_AddStreamMovies(benchmark::State& state) {
  addStreamCatalogue<OXMovie>(
      state,
      [](int i) {
        return QVariantMap{{"id", QStringLiteral("tt%1").arg(i, 7, 10, QLatin1Char('0'))},
                           {"title", QStringLiteral("Long Harbour %1").arg(i)},
                           {"poster", QStringLiteral("https://img.example/t/p/original/stream%1.jpg").arg(i)},
                           {"links", QVariantList{QStringLiteral("magnet:?xt=urn:btih:%1").arg(i)}}};
      },
      [](const OXLibrary& library) { return library.moviesToStreams().size(); });
}
BENCHMARK(BM_AddStreamMovies)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AddStreamEpisodes(benchmark::State& state) {
  addStreamCatalogue<OXEpisode>(
      state,
      [](int i) {
        return QVariantMap{{"id", 500000 + i}, {"showid", 90000 + i / 40}, {"season", 1 + i % 40 / 10},
                           {"episode", 1 + i % 10}, {"title", QStringLiteral("Episode %1").arg(i)},
                           {"links", QVariantList{QStringLiteral("magnet:?xt=urn:btih:%1;dn=Tide.S01E01").arg(i)}}};
      },
      [](const OXLibrary& library) { return library.episodesToStreams().size(); });
}
BENCHMARK(BM_AddStreamEpisodes)->Arg(80000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
