// A rescan of an unchanged library, as every update cycle runs it: the purge (entries whose files are gone or lie
// outside the chosen folders) and the walk for files not scanned yet, over a tree of 10,000 and 20,000 video files
// that the library knows all of. Beside it, `find DIR -type f` of the same warm tree, the yardstick of a plain walk.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <map>

#include "core/OXLibrary.h"

extern char** environ;

namespace {

constexpr int kEpisodesPerSeason = 10;
constexpr int kSeasonsPerShow = 4;

struct Tree {
  QTemporaryDir dir;
  std::shared_ptr<OXLibrary> library;
  QString videos;
};

QString touch(const QString& path) {
  QDir().mkpath(path.left(path.lastIndexOf('/')));
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  return path;
}

// Half movies, one folder each, and half episodes in show and season folders; nine in ten files identified, the
// tenth in the unknown lists.
Tree& tree(int files) {
  static std::map<int, Tree*> trees;
  Tree*& t = trees[files];
  if (t) return *t;
  t = new Tree;
  t->videos = t->dir.filePath("videos");
  t->library = OXLibrary::libraryWithSupportFolder(t->dir.filePath("support"));
  const QString movies = t->videos + "/Movies", shows = t->videos + "/TV Shows";
  QDir().mkpath(movies);
  QDir().mkpath(shows);
  t->library->rootList()->addURLs({QUrl::fromLocalFile(movies)}, OXFile::kTypeMovie);
  t->library->rootList()->addURLs({QUrl::fromLocalFile(shows)}, OXFile::kTypeEpisode);
  for (int i = 0; i < files / 2; ++i) {
    const QString path =
        touch(QStringLiteral("%1/Quiet Orchard %2 (%3)/Quiet.Orchard.%2.%3.1080p.mkv").arg(movies).arg(i).arg(1950 + i % 70));
    auto file = OXFile::initWithType(OXFile::kTypeMovie);
    file->setFilePath(path);
    if (i % 10 == 9) {
      t->library->addUnknown(file);
      continue;
    }
    auto movie = OXMovie::initWithDictionary(
        {{"id", QStringLiteral("tt%1").arg(i, 7, 10, QLatin1Char('0'))}, {"fields", QVariantMap{{"title", "Quiet Orchard"}}}});
    movie->setFile(file);
    t->library->addContent(movie);
  }
  for (int i = 0; i < files / 2; ++i) {
    const int show = i / (kEpisodesPerSeason * kSeasonsPerShow);
    const int season = 1 + i / kEpisodesPerSeason % kSeasonsPerShow, number = 1 + i % kEpisodesPerSeason;
    const QString path = touch(QStringLiteral("%1/Salt Roads %2/Season %3/Salt.Roads.%2.S%3E%4.mkv")
                                   .arg(shows)
                                   .arg(show)
                                   .arg(season, 2, 10, QLatin1Char('0'))
                                   .arg(number, 2, 10, QLatin1Char('0')));
    auto file = OXFile::initWithType(OXFile::kTypeEpisode);
    file->setFilePath(path);
    if (i % 10 == 9) {
      t->library->addUnknown(file);
      continue;
    }
    const QVariantMap fields{{"title", "Episode"}, {"showid", 70000 + show}, {"season", season}, {"episode", number}};
    auto episode = OXEpisode::initWithDictionary({{"id", QStringLiteral("e_%1").arg(300000 + i)}, {"fields", fields}});
    episode->setFile(file);
    t->library->addContent(episode);
    if (i % (kEpisodesPerSeason * kSeasonsPerShow) == 0)
      t->library->addContent(OXShow::initWithDictionary(
          {{"id", QStringLiteral("s_%1").arg(70000 + show)}, {"fields", QVariantMap{{"title", "Salt Roads"}}}}));
  }
  return *t;
}

qsizetype known(const OXLibrary& library) {
  return library.movieList().size() + library.episodeList().size() + library.unknownMovieList().size() +
         library.unknownEpisodeList().size();
}

void BM_RescanUnchanged(benchmark::State& state) {
  Tree& t = tree(int(state.range(0)));
  const auto roots = t.library->rootList();
  const qsizetype before = known(*t.library);
  for (auto _ : state) {
    roots->removeElementsOutsideFolderToScan();
    const QStringList movies = roots->getMovieFilesNotScanned();
    const QStringList episodes = roots->getEpisodeFilesNotScanned();
    if (!movies.isEmpty() || !episodes.isEmpty() || known(*t.library) != before)
      state.SkipWithError("the unchanged tree did not rescan as unchanged");
  }
  state.counters["files"] = double(before);
}
BENCHMARK(BM_RescanUnchanged)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

// `find DIR -type f > /dev/null`, process start included, as a user would time it.
void BM_FindFiles(benchmark::State& state) {
  Tree& t = tree(int(state.range(0)));
  const QByteArray dir = QFile::encodeName(t.videos);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const auto run = [&] {
    char* argv[] = {const_cast<char*>("find"), const_cast<char*>(dir.constData()), const_cast<char*>("-type"),
                    const_cast<char*>("f"), nullptr};
    pid_t pid = 0;
    int status = 0;
    return posix_spawnp(&pid, "find", &actions, nullptr, argv, environ) == 0 && waitpid(pid, &status, 0) == pid &&
           WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  if (!run()) state.SkipWithError("find did not run");
  for (auto _ : state) benchmark::DoNotOptimize(run());
  posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_FindFiles)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
