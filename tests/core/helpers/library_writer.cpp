// Saves a library over and over, one more movie each time, announcing each save on standard output:
//   "begin <movies>" before the save and "saved <movies>" after it. The crash test kills it in the middle.
// Usage: ox_test_library_writer <support folder> <first movie count> <episode count>
#include <QCoreApplication>
#include <QVariantMap>
#include <cstdio>

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
  for (int n = first;; ++n) {
    std::printf("begin %d\n", n);
    std::fflush(stdout);
    if (!library->saveLibrary()) return 1;
    std::printf("saved %d\n", n);
    std::fflush(stdout);
    library->addContent(movie(n));
  }
}
