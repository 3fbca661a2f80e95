#include <gtest/gtest.h>

#include <QDir>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>

#include "core/OXLibrary.h"
#include "core/OXRootList.h"
#include "platform/foundation/FileName.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/core/CorePrinters.h"
#include "tests/core/LibraryTestUtil.h"
#include "tests/support/TemporaryDir.h"

namespace {

using libtest::writeFile;

class RootList : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp.isValid());
    root = tmp.path();
    library = OXLibrary::libraryWithSupportFolder(root + "/support");
    list = library->rootList();
  }
  QString at(const QString& relative) const { return root + "/" + relative; }
  QUrl folder(const QString& relative) const {
    QDir().mkpath(at(relative));
    return QUrl::fromLocalFile(at(relative));
  }
  void touch(const QString& relative) { ASSERT_TRUE(writeFile(at(relative), "x")); }

  oxtest::TemporaryDir tmp;
  QString root;
  std::shared_ptr<OXLibrary> library;
  std::shared_ptr<OXRootList> list;
};

TEST_F(RootList, NestedFoldersGiveOneTopLevelFolderAndAddingAnswersWhetherTheSetGrew) {
  EXPECT_TRUE(list->addURLs({folder("A")}, 1));
  EXPECT_FALSE(list->addURLs({folder("A/B")}, 1));  // inside A
  EXPECT_FALSE(list->addURLs({folder("A")}, 1));    // held already
  EXPECT_FALSE(list->addURLs({QUrl::fromLocalFile(at("A") + "/")}, 1));
  EXPECT_EQ(list->numberOfMovieRootPaths(), 2u);
  EXPECT_EQ(list->folderToScanType(1), QList<QUrl>{QUrl::fromLocalFile(at("A") + "/")});
  EXPECT_TRUE(list->addURLs({folder("C")}, 1));  // beside A
  // Stored as directory URLs, with the trailing "/".
  EXPECT_EQ(list->moviePaths().at(2).toString(), QUrl::fromLocalFile(at("C/")).toString());
  EXPECT_EQ(list->numberOfEpisodesRootPaths(), 0u);
  // A folder whose name merely starts like another's is not inside it.
  EXPECT_TRUE(list->addURLs({folder("A2")}, 1));
  EXPECT_EQ(list->folderToScanType(1).size(), 3);
  // Only folders on disk are taken.
  EXPECT_FALSE(list->addURLs({QUrl("https://example.org/movies/")}, 1));
  EXPECT_EQ(list->numberOfMovieRootPaths(), 4u);
}

TEST_F(RootList, RemovingAFolderActsOnMovieAndShowFoldersOnly) {
  list->addURLs({folder("M1"), folder("M2")}, 1);
  list->addURLs({folder("S1")}, 3);
  list->removeObjectAtIndex(0, 2);
  list->removeObjectAtIndex(5, 1);
  EXPECT_EQ(list->numberOfMovieRootPaths(), 2u);
  list->removeObjectAtIndex(0, 1);
  list->removeObjectAtIndex(0, 3);
  EXPECT_EQ(list->moviePaths(), QList<QUrl>{QUrl::fromLocalFile(at("M2/"))});
  EXPECT_TRUE(list->episodePaths().isEmpty());
}

TEST_F(RootList, VideoFilesAreFoundBySuffixCaseSensitivelyHiddenAndNestedOnesToo) {
  for (const char* name : {"m/a.mkv", "m/b.MP4", "m/c.mp4", "m/.hidden.avi", "m/sub/d.ts", "m/notes.txt"}) touch(name);
  QDir().mkpath(at("m/folder.mkv"));
  const QStringList files = OXRootList::getAllVideoFilesFromPath(at("m"));
  EXPECT_EQ(files, QStringList({at("m/.hidden.avi"), at("m/a.mkv"), at("m/c.mp4"), at("m/folder.mkv"),
                                at("m/sub/d.ts")}));
  EXPECT_EQ(OXRootList::getAllVideoFilesFromPath(at("m/")), files);
  EXPECT_TRUE(OXRootList::getAllVideoFilesFromPath(at("missing")).isEmpty());
}

TEST_F(RootList, FilesNotScannedLeaveOutKnownFilesAndListNestedFilesOnce) {
  for (const char* name : {"M/one.mkv", "M/two.mkv", "M/Inner/three.mkv", "M/four.avi", "S/s01e01.mkv"}) touch(name);
  list->addURLs({folder("M"), folder("M/Inner")}, 1);
  list->addURLs({folder("S")}, 3);
  library->addContent(libtest::movie("tt1", at("M/one.mkv")));
  library->addUnknown(libtest::file(OXFile::kTypeMovie, at("M/four.avi")));
  EXPECT_EQ(list->getMovieFilesNotScanned(), QStringList({at("M/Inner/three.mkv"), at("M/two.mkv")}));
  EXPECT_EQ(list->getEpisodeFilesNotScanned(), QStringList{at("S/s01e01.mkv")});

  library->addContent(libtest::movie("tt2", at("M/two.mkv")));
  library->addUnknown(libtest::file(OXFile::kTypeMovie, at("M/Inner/three.mkv")));
  library->addContent(libtest::episode(10, 5, at("S/s01e01.mkv")));
  EXPECT_TRUE(list->getMovieFilesNotScanned().isEmpty());
  EXPECT_TRUE(list->getEpisodeFilesNotScanned().isEmpty());
}

TEST_F(RootList, APathIsInAFolderOnlyWhenItLiesBelowIt) {
  list->addURLs({QUrl::fromLocalFile("/home/u/Movies/")}, 1);
  list->addURLs({QUrl::fromLocalFile("/home/u/Shows")}, 3);
  EXPECT_TRUE(list->isInRootPath("/home/u/Movies/a.mkv", 1));
  EXPECT_TRUE(list->isInRootPath("/home/u/Movies/x/../b.mkv", 4));
  EXPECT_FALSE(list->isInRootPath("/home/u/Movies2/x.mkv", 1));
  EXPECT_FALSE(list->isInRootPath("/mnt/home/u/Movies/x.mkv", 1));
  EXPECT_FALSE(list->isInRootPath("/home/u/Movies/a.mkv", 3));
  EXPECT_TRUE(list->isInRootPath("/home/u/Shows/s/e.mkv", 5));
  EXPECT_FALSE(list->isInRootPath("/home/u/Shows/s/e.mkv", 2));
}

TEST_F(RootList, PurgeDropsDeletedAndOutsideFilesButKeepsFilesOfAnUnpluggedDisk) {
  touch("M/kept.mkv");
  touch("Elsewhere/outside.mkv");
  touch("Disk/on-disk.mkv");
  list->addURLs({folder("M"), folder("Disk")}, 1);
  list->addURLs({folder("S")}, 3);
  touch("S/e1.mkv");
  const auto kept = libtest::movie("tt1", at("M/kept.mkv"));
  const auto deleted = libtest::movie("tt2", at("M/deleted.mkv"));
  const auto outside = libtest::movie("tt3", at("Elsewhere/outside.mkv"));
  const auto unplugged = libtest::movie("tt4", at("Disk/on-disk.mkv"));
  for (const auto& m : {kept, deleted, outside, unplugged}) library->addContent(m);
  const auto outsideUnknown = libtest::file(OXFile::kTypeMovie, at("Elsewhere/outside.mkv"));
  const auto goneUnknown = libtest::file(OXFile::kTypeEpisode, at("S/gone.mkv"));
  library->addUnknown(outsideUnknown);
  library->addUnknown(goneUnknown);
  library->addContent(libtest::show(5));
  library->addContent(libtest::show(6));
  const auto lastOfShow6 = libtest::episode(60, 6, at("S/deleted.mkv"));
  library->addContent(libtest::episode(50, 5, at("S/e1.mkv")));
  library->addContent(lastOfShow6);
  // The disk goes away: its folder is missing, its files with it.
  ASSERT_TRUE(QDir(at("Disk")).removeRecursively());

  QStringList posted;
  auto& centre = ox::NotificationCenter::defaultCenter();
  const auto t1 = centre.addObserver("reloadContentList", nullptr, [&](const ox::Notification& n) { posted << n.name; });
  const auto t2 = centre.addObserver("libraryChanged", nullptr, [&](const ox::Notification& n) { posted << n.name; });
  list->removeElementsOutsideFolderToScan();
  centre.removeObserver(t1);
  centre.removeObserver(t2);

  EXPECT_EQ(posted, QStringList({"reloadContentList", "libraryChanged"}));
  EXPECT_EQ(library->movieList(), OXLibrary::MovieList({kept, unplugged}));
  EXPECT_TRUE(library->unknownMovieList().isEmpty());
  EXPECT_TRUE(library->unknownEpisodeList().isEmpty());
  ASSERT_EQ(library->episodeList().size(), 1);
  ASSERT_EQ(library->showList().size(), 1);
  EXPECT_EQ(library->showList().first()->showID(), 5u);

  // Once its folder is no longer chosen, the absent disk's movie goes too.
  list->removeObjectAtIndex(1, 1);
  list->removeElementsOutsideFolderToScan();
  EXPECT_EQ(library->movieList(), OXLibrary::MovieList{kept});
}

TEST_F(RootList, ADiskMountedInsideAChosenFolderIsJudgedByItsOwnFolder) {
  touch("media/other.mkv");
  list->addURLs({folder("media"), folder("media/Disk")}, 1);
  const auto onDisk = libtest::movie("tt1", at("media/Disk/film.mkv"));
  const auto deleted = libtest::movie("tt2", at("media/gone.mkv"));
  library->addContent(onDisk);
  library->addContent(deleted);
  ASSERT_TRUE(QDir(at("media/Disk")).removeRecursively());
  list->removeElementsOutsideFolderToScan();
  EXPECT_EQ(library->movieList(), OXLibrary::MovieList{onDisk});
}

TEST_F(RootList, NamesAreWalkedInTextOrderAndLinkedFoldersAreNotFollowed) {
  for (const char* name : {"w/z.mkv", "w/\xc3\xa9.mkv", "w/\xf0\x9f\x98\x80.mkv", "w/\xef\xac\x80.mkv", "elsewhere/in.mkv"})
    touch(QString::fromUtf8(name));
  ASSERT_TRUE(QFile::link(at("elsewhere"), at("w/linked")));
  ASSERT_TRUE(QFile::link(at("elsewhere"), at("w/linked.mkv")));
  // UTF-16 order: the surrogate pair of U+1F600 comes before U+FB00.
  EXPECT_EQ(OXRootList::getAllVideoFilesFromPath(at("w")),
            QStringList({at("w/linked.mkv"), at("w/z.mkv"), at(QString::fromUtf8("w/\xc3\xa9.mkv")),
                         at(QString::fromUtf8("w/\xf0\x9f\x98\x80.mkv")), at(QString::fromUtf8("w/\xef\xac\x80.mkv"))}));
}

TEST_F(RootList, KnownFilesAreRecognisedWhateverFormTheirPathWasStoredIn) {
  for (const char* path : {"/a/b", "/a//b/", "a/./b/../c", "/", "//", "/a/..", ".", "", "/x/.hidden/..y", "/a/b/."})
    EXPECT_EQ(OXRootList::cleanedPath(path), QString(path).isEmpty() ? QString() : QDir::cleanPath(path)) << path;

  for (const char* name : {"M/one.mkv", "M/two.mkv", "M/three.mkv"}) touch(name);
  list->addURLs({folder("M")}, 1);
  const auto one = libtest::movie("tt1", root + "//M/./one.mkv");
  library->addContent(one);
  library->addUnknown(libtest::file(OXFile::kTypeMovie, at("M/sub/../two.mkv")));
  EXPECT_EQ(list->getMovieFilesNotScanned(), QStringList{at("M/three.mkv")});
  library->removeContent(one);
  EXPECT_EQ(list->getMovieFilesNotScanned(), QStringList({at("M/one.mkv"), at("M/three.mkv")}));
}

// A folder named in Latin-1 comes as the URL of its bytes ("%E9"), from a drop or a folder chooser: its files are
// found, and library.bin keeps it as that URL; a folder stored by earlier versions (a UTF-8 name) reads as it was.
TEST_F(RootList, ALatin1FolderIsKeptByItsBytesAndItsFilesAreFound) {
  const QByteArray latin1 = QFile::encodeName(root) + "/Caf\xe9";
  ASSERT_EQ(::mkdir(latin1.constData(), 0755), 0);
  std::FILE* f = std::fopen((latin1 + "/No\xebl.mkv").constData(), "wb");
  ASSERT_TRUE(f);
  std::fclose(f);
  touch("Caf\u00e9/utf8.mkv");
  const QString film = ox::decodeFileName(latin1 + "/No\xebl.mkv");
  const QUrl dropped = QUrl::fromEncoded("file://" + latin1.toPercentEncoding("/"));
  EXPECT_TRUE(list->addURLs({dropped}, 1));
  EXPECT_TRUE(list->addURLs({folder("Caf\u00e9")}, 1));
  EXPECT_FALSE(list->addURLs({QUrl::fromEncoded(dropped.toEncoded() + "/")}, 1));
  EXPECT_EQ(list->getMovieFilesNotScanned(), QStringList({film, at("Caf\u00e9/utf8.mkv")}));
  ASSERT_EQ(list->moviePaths().size(), 2);
  EXPECT_EQ(list->moviePaths()[0].toString(QUrl::FullyEncoded), dropped.toString(QUrl::FullyEncoded) + "/");
  EXPECT_EQ(list->moviePaths()[1], QUrl::fromLocalFile(at("Caf\u00e9/")));

  library->addContent(libtest::movie("tt1", film));
  ASSERT_TRUE(library->saveLibrary());
  const auto reloaded = OXLibrary::libraryWithSupportFolder(root + "/support");
  EXPECT_EQ(reloaded->rootList()->moviePaths(), list->moviePaths());
  reloaded->rootList()->removeElementsOutsideFolderToScan();
  EXPECT_EQ(reloaded->movieList().size(), 1);
  EXPECT_EQ(reloaded->rootList()->getMovieFilesNotScanned(), QStringList{at("Caf\u00e9/utf8.mkv")});
}

TEST_F(RootList, ADeepTreeIsWalkedWhenDescriptorsRunShort) {
  QString deep = "deep";
  for (int level = 0; level < 40; ++level) deep += QStringLiteral("/d%1").arg(level);
  touch(deep + "/film.mkv");
  touch("deep/d0/beside.mkv");
  const QStringList expected{at("deep/d0/beside.mkv"), at(deep + "/film.mkv")};
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
  rlimit tight = old;
  tight.rlim_cur = rlim_t(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size() + 8);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  const QStringList found = OXRootList::getAllVideoFilesFromPath(at("deep"));
  setrlimit(RLIMIT_NOFILE, &old);
  EXPECT_EQ(found, expected);
}

TEST_F(RootList, PurgeJudgesStoredPathsInTheirCleanedForm) {
  touch("M/kept.mkv");
  list->addURLs({folder("M")}, 1);
  const auto kept = libtest::movie("tt1", root + "//M/./kept.mkv");
  const auto gone = libtest::movie("tt2", at("M/sub/../gone.mkv"));
  library->addContent(kept);
  library->addContent(gone);
  library->addUnknown(libtest::file(OXFile::kTypeMovie, at("M/../Elsewhere/x.mkv")));
  list->removeElementsOutsideFolderToScan();
  EXPECT_EQ(library->movieList(), OXLibrary::MovieList{kept});
  EXPECT_TRUE(library->unknownMovieList().isEmpty());
}

}  // namespace
