// Saves a library over and over, one more movie each time. Before each save it prints "ready <movies>" and waits
// for a line on standard input; after it, it prints "saved <movies> <milliseconds>". The crash test kills it in the
// middle of a save.
// Usage: ox_test_library_writer <support folder> <first movie count> <episode count> [cut]
// With "cut", the files it may write are limited to half the size of its first save once that is done, so the
// system kills it (SIGXFSZ) in the middle of writing the second.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QVariantMap>
#include <cstdio>
#include <sys/resource.h>

#include "core/OXLibrary.h"

namespace {

std::shared_ptr<OXMovie> movie(int i) {
  const QVariantMap fields{{"title", QStringLiteral("Movie %1").arg(i)}, {"year", 1990 + i % 30}};
  auto m = OXMovie::initWithDictionary({{"id", QStringLiteral("tt%1").arg(i, 7, 10, QLatin1Char('0'))}, {"fields", fields}});
  auto f = OXFile::initWithType(OXFile::kTypeMovie);
  f->setFilePath(QStringLiteral("/srv/movies/Movie.%1.mkv").arg(i));
  m->setFile(f);
  return m;
}

std::shared_ptr<OXEpisode> episode(int i) {
  const QVariantMap fields{{"title", QStringLiteral("Episode %1").arg(i)}, {"showid", 7}, {"season", 1 + i / 20},
                           {"episode", 1 + i % 20}};
  auto e = OXEpisode::initWithDictionary({{"id", QStringLiteral("e_%1").arg(i)}, {"fields", fields}});
  auto f = OXFile::initWithType(OXFile::kTypeEpisode);
  f->setFilePath(QStringLiteral("/srv/shows/Show.S%1E%2.mkv").arg(1 + i / 20).arg(1 + i % 20));
  e->setFile(f);
  return e;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 4) return 2;
  const auto library = OXLibrary::libraryWithSupportFolder(QString::fromLocal8Bit(argv[1]));
  const int first = std::atoi(argv[2]);
  const int episodes = std::atoi(argv[3]);
  for (int i = 0; i < first; ++i) library->addContent(movie(i));
  for (int i = 0; i < episodes; ++i) library->addContent(episode(i));
  const bool cut = argc > 4 && qstrcmp(argv[4], "cut") == 0;
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  for (int n = first;; ++n) {
    std::printf("ready %d\n", n);
    std::fflush(stdout);
    char go[16];
    if (!std::fgets(go, sizeof go, stdin)) return 0;
    QElapsedTimer clock;
    clock.start();
    if (!library->saveLibrary()) return 1;
    std::printf("saved %d %lld\n", n, static_cast<long long>(clock.elapsed()));
    std::fflush(stdout);
    if (cut && n == first) {
      const auto half = rlim_t(QFileInfo(library->pathWithFolder({}, "library.bin")).size() / 2);
      const rlimit limit{half, half};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    library->addContent(movie(n));
  }
}
