// Serves one file as the movie "tt0000001" of a library of its own, on a loopback port, until SIGINT or SIGTERM,
// for bench/library_server_vs_nginx.sh. Prints the port once it listens.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>

#include "core/OXLibrary.h"
#include "helper/OXServer.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [PORT]\n", argv[0]);
    return 2;
  }
  QCoreApplication app(argc, argv);
  QTemporaryDir support;
  auto library = OXLibrary::libraryWithSupportFolder(support.path());
  auto file = OXFile::initWithType(OXFile::kTypeMovie);
  file->setFilePath(QString::fromLocal8Bit(argv[1]));
  auto movie = OXMovie::initWithDictionary({{"id", "tt0000001"}, {"fields", QVariantMap{{"title", "Bench"}}}});
  movie->setFile(file);
  library->addContent(movie);

  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);  // before the server's threads, which inherit the mask
  OXServer server(library.get(), argc > 2 ? std::atoi(argv[2]) : 0, false);
  if (!server.isRunning()) return 1;
  std::printf("%d\n", server.port());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stop, &signal);
  return 0;
}
