#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

#include "core/OXLibrary.h"
#include "tests/core/CorePrinters.h"
#include "tests/core/LibraryTestUtil.h"

namespace {

using libtest::movie;

class LibrarySaves : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
  std::shared_ptr<OXLibrary> open() { return OXLibrary::libraryWithSupportFolder(tmp.path()); }
  QString storePath(const QString& name = {}) const { return tmp.path() + "/Ombrix/" + name; }
  QStringList damagedCopies() const {
    return QDir(storePath()).entryList({"library.bin.corrupt*"}, QDir::AllEntries | QDir::Hidden, QDir::Name);
  }
  QTemporaryDir tmp;
};

// The save that was asked for later wins, whichever of the two finishes writing first, and each background save
// reports once the file holds its snapshot or a newer one.
TEST_F(LibrarySaves, BackgroundSavesLandInTheOrderTheirSnapshotsWereTaken) {
  const auto library = open();
  std::atomic<int> reported{0}, written{0};
  for (int round = 0; round < 20; ++round) {
    library->addContent(movie(QStringLiteral("tt%1").arg(round), QStringLiteral("/m/%1.mkv").arg(round)));
    library->saveLibraryInBackground([&](bool ok) {
      ++reported;
      written += ok;
    });
    if (round % 5 == 4) {
      library->addContent(movie(QStringLiteral("tt%1b").arg(round), QStringLiteral("/m/%1b.mkv").arg(round)));
      ASSERT_TRUE(library->saveLibrary());
    }
  }
  library->waitForSaves();
  EXPECT_EQ(reported, 20);
  EXPECT_EQ(written, 20);
  EXPECT_EQ(open()->movieList().size(), library->movieList().size());

  // The snapshot is taken when the save is asked for: what is added afterwards is not in it.
  library->saveLibraryInBackground();
  library->addContent(movie("tt-late", "/m/late.mkv"));
  library->waitForSaves();
  EXPECT_EQ(open()->movieList().size(), library->movieList().size() - 1);
}

// Threads add records and ask for saves of both kinds at once; each background save reports once, and the last
// snapshot taken is what the file holds in the end.
TEST_F(LibrarySaves, SavesFromManyThreadsEndWithTheNewestSnapshot) {
  const auto library = open();
  std::atomic<int> asked{0}, reported{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 30; ++i) {
        library->addContent(movie(QStringLiteral("tt%1-%2").arg(t).arg(i), QStringLiteral("/m/%1-%2.mkv").arg(t).arg(i)));
        if (i % 3 == 0) {
          EXPECT_TRUE(library->saveLibrary());
        } else {
          ++asked;
          library->saveLibraryInBackground([&](bool ok) {
            EXPECT_TRUE(ok);
            ++reported;
          });
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  library->saveLibraryInBackground();
  library->waitForSaves();
  EXPECT_EQ(reported, asked);
  EXPECT_EQ(open()->movieList().size(), 120);
}

TEST_F(LibrarySaves, AStoreGoingAwayWritesTheSaveItWasAskedFor) {
  auto library = open();
  library->addContent(movie("tt1", "/m/a.mkv"));
  library->saveLibraryInBackground();
  library.reset();
  EXPECT_EQ(open()->movieList().size(), 1);
}

TEST_F(LibrarySaves, TheNewestDamagedCopiesAreKeptAndNoneReplacesAnother) {
  QStringList contents;
  for (int i = 0; i < 7; ++i) {
    contents << QStringLiteral("bplist00 damaged, take %1").arg(i);
    ASSERT_TRUE(libtest::writeFile(storePath("library.bin"), contents.last().toUtf8()));
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(open()->isLibraryEmpty());
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(QFile::exists(storePath("library.bin"))) << i;
  }
  // The first took the plain suffix, the later ones carry the time; the two oldest made room for the newest.
  const QStringList copies = damagedCopies();
  ASSERT_EQ(copies.size(), 5) << copies.join(' ').toStdString();
  QStringList kept;
  for (const QString& name : copies) kept << QString::fromUtf8(libtest::readFile(storePath(name)));
  kept.sort();
  EXPECT_EQ(kept, contents.mid(2, 5));
  for (const QString& name : copies) EXPECT_TRUE(name.startsWith("library.bin.corrupt-20")) << name.toStdString();

  // A folder in the file's place goes aside too, never dropped: the oldest file copy makes room.
  ASSERT_TRUE(QDir().mkpath(storePath("library.bin/inside")));
  ::testing::internal::CaptureStderr();
  const auto library = open();
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(damagedCopies().size(), 5);
  library->addContent(movie("tt1", "/m/a.mkv"));
  EXPECT_TRUE(library->saveLibrary());
}

}  // namespace
