// The demo: one update cycle of the engine over a folder of video files into a fresh library folder, against the
// services the caller points OMBRIX_*_URL at (the stand-ins in tools/demo.sh), then what the library holds.
//   ox-demo <support folder> <movie folder> <show folder>           one cycle here, then the library
//   ox-demo --seed <support folder> <movie folder> <show folder>    only the two folders, saved for Ombrix Helper
//   ox-demo --print <support folder> <movie folder> <show folder>   what the saved library holds
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "platform/foundation/FileName.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/MainQueue.h"
#include "scanner/OXCoreLibrary.h"
#include "scanner/TVDb.h"

namespace {

int countFiles(const QString& folder) { return int(QDir(folder).entryList(QDir::Files).size()); }

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  QCoreApplication app(argc, argv);
  ox::httpGlobalInit();
  const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  const bool seed = mode == QLatin1String("--seed");
  const bool print = mode == QLatin1String("--print");
  if (seed || print) {
    --argc;
    ++argv;
  }
  if (argc < 4) {
    std::fprintf(stderr, "usage: ox-demo [--seed | --print] <support folder> <movie folder> <show folder>\n");
    return 2;
  }
  const QString support = QString::fromLocal8Bit(argv[1]);
  // Folders by their bytes, as a drop gives them: a Latin-1 name stays the folder it names.
  const QString movies = QDir(ox::decodeFileName(argv[2])).absolutePath();
  const QString shows = QDir(ox::decodeFileName(argv[3])).absolutePath();

  // The helper sets TheTVDB's key at start; the demo takes it from its environment.
  TVDbClient::sharedInstance().setApiKey(qEnvironmentVariable("OX_DEMO_TVDB_API_KEY"));
  auto library = OXLibrary::libraryWithSupportFolder(support);
  if (!print) {
    library->rootList()->addURLs({ox::fileURLOfPath(movies + "/")}, 1);
    library->rootList()->addURLs({ox::fileURLOfPath(shows + "/")}, 3);
  }
  if (seed) return library->saveLibrary() ? 0 : 1;
  const qsizetype newFiles =
      library->rootList()->getMovieFilesNotScanned().size() + library->rootList()->getEpisodeFilesNotScanned().size();

  const QString store = QDir(support).filePath(QStringLiteral("Ombrix"));
  int rc = 0;
  if (print) {
    std::printf("The library Ombrix Helper saved in %s\n", qPrintable(store));
  } else {
    OXCoreLibrary engine(library, false);
    QElapsedTimer clock;
    clock.start();
    // Poll until the cycle has saved, then let the downloads it queued finish.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (engine.isUpdating()) return;
      poll.stop();
      engine.waitForDownloads();
      app.exit(rc);
    });
    ox::dispatchMain([&] {
      engine.updateLibrary();
      poll.start(50);
    });
    app.exec();
    std::printf("One update cycle over %lld new video files in %.1f s; library folder %s\n", (long long)newFiles,
                clock.elapsed() / 1000.0, qPrintable(store));
  }
  std::printf("\nMovies (%lld):\n", (long long)library->movieList().size());
  for (const auto& m : library->movieList())
    std::printf("  %s (%lld)  %s\n", qPrintable(m->title()), (long long)m->year(),
                m->file() ? qPrintable(ox::readableFileName(QDir(movies).relativeFilePath(m->file()->filePath())))
                          : "");
  std::printf("Shows (%lld):\n", (long long)library->showList().size());
  for (const auto& s : library->showList()) std::printf("  %s\n", qPrintable(s->title()));
  std::printf("Episodes (%lld):\n", (long long)library->episodeList().size());
  for (const auto& e : library->episodeList())
    std::printf("  S%02lldE%02lld %s\n", (long long)e->seasonNumber(), (long long)e->episodeNumber(), qPrintable(e->title()));
  std::printf("Unknown files (%lld):\n",
              (long long)(library->unknownMovieList().size() + library->unknownEpisodeList().size()));
  for (const auto& f : library->unknownMovieList() + library->unknownEpisodeList())
    std::printf("  %s\n", qPrintable(ox::readableFileName(QFileInfo(f->filePath()).fileName())));
  const qsizetype waiting =
      library->rootList()->getMovieFilesNotScanned().size() + library->rootList()->getEpisodeFilesNotScanned().size();
  if (waiting > 0) std::printf("  (%lld files not scanned)\n", (long long)waiting);
  std::printf("Downloaded pictures and lists (a cycle fetches images for the titles it starts with, so those of\n"
              "titles it finds come with the next one):\n");
  for (const char* folder : {"posters", "backdrops", "soundtrack.preview", "homeMoviesBackdrops",
                             "homeShowsBackdrops", "Trailers"})
    std::printf("  %-20s %d files\n", folder, countFiles(QDir(store).filePath(QString::fromLatin1(folder))));
  std::printf("  library.bin          %s\n", QFileInfo::exists(QDir(store).filePath("library.bin")) ? "saved" : "missing");
  return rc;
}
