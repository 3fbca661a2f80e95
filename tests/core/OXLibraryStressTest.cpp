#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <atomic>
#include <thread>
#include <vector>

#include "core/OXArchiveClasses.h"
#include "core/OXLibrary.h"
#include "platform/foundation/KeyedArchiver.h"
#include "tests/core/CorePrinters.h"
#include "tests/core/LibraryTestUtil.h"

namespace {

using libtest::episode;
using libtest::file;
using libtest::movie;
using libtest::show;

// Movies in a "library.bin", or -1 when it does not read as an archive.
qsizetype moviesInFile(const QString& path) {
  registerCoreArchiveClasses();
  const ox::KeyedUnarchiver archive(libtest::readFile(path));
  return archive.isValid() ? archive.decodeList("movieList").size() : -1;
}

// Identification-like threads add records while saves, readers and ratio stores run. Nothing may be lost or doubled,
// and a save that returns has written a state no older than the one before it was called.
TEST(LibraryStress, ConcurrentAdditionsAndSavesLoseNothing) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const auto library = OXLibrary::libraryWithSupportFolder(tmp.path());
  const QString libraryFile = library->pathWithFolder({}, "library.bin");
  constexpr int kThreads = 8;
  constexpr int kPerThread = 120;
  constexpr int kReSearch = 20;

  std::atomic<int> moviesAdded{0};
  std::atomic<int> adding{kThreads};
  std::atomic<int> staleSaves{0};
  std::atomic<int> saves{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        const QString tag = QStringLiteral("%1-%2").arg(t).arg(i);
        library->addContent(movie("tt" + tag, "/m/" + tag + ".mkv"));
        ++moviesAdded;
        library->addContent(movie("shared", "/m/shared.mkv"));  // every thread finds the same file
        library->addContent(show(quint64(t % 3)));
        library->addContent(episode(quint64(t * 1000 + i), quint64(t % 3), "/s/" + tag + ".mkv"));
        if (i % 6 == 0) library->addUnknown(file(OXFile::kTypeMovie, "/u/" + tag + ".mkv"));
        library->addUnknownEpisodeToReSearch(file(OXFile::kTypeEpisode, QStringLiteral("/r/%1.mkv").arg(i % kReSearch)));
        library->setCachedShow("show " + QString::number(t % 3), show(quint64(t % 3)));
        if (i % 40 == 0) library->setRatioEpisodeID(float(i) / kPerThread, quint64(t * 1000 + i));
        if (i % 30 == 0) library->setSubtitleLanguages(library->subtitleLanguages());
      }
      --adding;
    });
  }
  for (int s = 0; s < 2; ++s) {
    threads.emplace_back([&] {
      while (adding > 0) {
        const int before = moviesAdded;
        ASSERT_TRUE(library->saveLibrary());
        ++saves;
        // Any save that lands after ours took its snapshot later still.
        if (moviesInFile(libraryFile) < before) ++staleSaves;
      }
    });
  }
  threads.emplace_back([&] {
    while (adding > 0) {
      for (const auto& m : library->movieList()) ASSERT_TRUE(m && m->file());
      for (const auto& e : library->episodeList()) ASSERT_TRUE(e->file());
      (void)library->isLibraryEmpty();
      (void)library->cacheShow();
      (void)library->unknownEpisodeToReSearch();
    }
  });
  for (auto& t : threads) t.join();
  EXPECT_GT(saves, 0);
  EXPECT_EQ(staleSaves, 0);

  ASSERT_TRUE(library->saveLibrary());
  const auto reloaded = OXLibrary::libraryWithSupportFolder(tmp.path());
  EXPECT_EQ(reloaded->movieList().size(), kThreads * kPerThread + 1);
  EXPECT_EQ(reloaded->episodeList().size(), kThreads * kPerThread);
  EXPECT_EQ(reloaded->showList().size(), 3);
  EXPECT_EQ(reloaded->unknownMovieList().size(), kThreads * (kPerThread / 6));
  EXPECT_EQ(reloaded->cacheShow().size(), 3);
  EXPECT_EQ(library->unknownEpisodeToReSearch().size(), kReSearch);
  EXPECT_EQ(reloaded->ratioList().size(), kThreads * 3);
  QSet<QString> paths;
  for (const auto& m : reloaded->movieList()) paths.insert(m->file()->filePath());
  EXPECT_EQ(paths.size(), reloaded->movieList().size());
}

// A writer killed in the middle of a save leaves the previous "library.bin" whole: killed at points spread over the
// save (mostly while encoding), and once by the system while it writes the new file.
class LibraryCrash : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
  QString store(const QString& name = {}) const { return tmp.path() + "/Ombrix/" + name; }

  // Runs the writer through one save, starts its second and lets `stop` end it. Answers the movies of the finished
  // save.
  int runWriter(const QStringList& extra, const std::function<void(QProcess&, qint64 saveMs)>& stop) {
    QProcess writer;
    writer.start(OX_TEST_LIBRARY_WRITER, QStringList{tmp.path(), "300", "600"} + extra);
    EXPECT_TRUE(writer.waitForStarted());
    int lastSaved = -1;
    qint64 saveMs = 0;
    for (bool stopped = false; !stopped;) {
      if (!writer.canReadLine() && !writer.waitForReadyRead(60000)) {
        ADD_FAILURE() << "the writer went quiet";
        break;
      }
      while (writer.canReadLine() && !stopped) {
        const QList<QByteArray> words = writer.readLine().trimmed().split(' ');
        if (words.value(0) == "ready") {
          writer.write("go\n");
          writer.waitForBytesWritten();
          if (lastSaved >= 0) {
            stop(writer, saveMs);
            stopped = true;
          }
        } else if (words.value(0) == "saved") {
          lastSaved = words.value(1).toInt();
          saveMs = words.value(2).toLongLong();
        }
      }
    }
    if (writer.state() != QProcess::NotRunning) writer.kill();
    writer.waitForFinished();
    EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit);
    return lastSaved;
  }

  // The file holds the last finished save, or the one under way when the kill came just after its rename.
  void expectWholeFile(int lastSaved, const char* round) {
    const qsizetype movies = moviesInFile(store("library.bin"));
    EXPECT_TRUE(movies == lastSaved || movies == lastSaved + 1) << round << ": " << movies << " movies";
    const auto library = OXLibrary::libraryWithSupportFolder(tmp.path());
    EXPECT_EQ(library->movieList().size(), movies) << round;
    EXPECT_FALSE(QFile::exists(store("library.bin.corrupt"))) << round;
  }
  QStringList temporaryFiles() const {
    return QDir(store()).entryList({".library.bin.saving-*"}, QDir::Files | QDir::Hidden);
  }

  QTemporaryDir tmp;
};

TEST_F(LibraryCrash, AWriterKilledMidSaveLeavesThePreviousFileReadable) {
  for (const double fraction : {0.1, 0.4, 0.7, 0.9, 0.99}) {
    const int lastSaved = runWriter({}, [&](QProcess& writer, qint64 saveMs) {
      QElapsedTimer wait;
      wait.start();
      while (wait.elapsed() < qint64(double(saveMs) * fraction)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      writer.kill();
    });
    expectWholeFile(lastSaved, QByteArray::number(fraction).constData());
  }

  // Killed by the system while the new file is half written.
  for (const QString& t : temporaryFiles()) QFile::remove(store(t));
  const int lastSaved = runWriter({"cut"}, [](QProcess& writer, qint64) { writer.waitForFinished(60000); });
  const QStringList partial = temporaryFiles();
  ASSERT_EQ(partial.size(), 1) << "the writer was not stopped while writing";
  EXPECT_LT(QFileInfo(store(partial.first())).size(), QFileInfo(store("library.bin")).size());
  expectWholeFile(lastSaved, "cut");
}

}  // namespace
