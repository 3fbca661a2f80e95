// Subtitle archives from the network: fetched whole, unpacked only inside their language folder.
#include "playback/OXSubtitleDownload.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include "tests/support/LoopbackServer.h"
#include "tests/support/TestUtil.h"

namespace {

// A zip archive of the given entries (name, content), written with minizip.
QByteArray zipOf(const QList<QPair<QByteArray, QByteArray>>& entries, const QString& scratch, int method = Z_DEFLATED) {
  const QString path = scratch + "/made.zip";
  zipFile z = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
  if (!z) return {};
  for (const auto& [name, content] : entries) {
    zip_fileinfo info{};
    if (zipOpenNewFileInZip64(z, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                              Z_DEFAULT_COMPRESSION, 0) != ZIP_OK)
      return {};
    zipWriteInFileInZip(z, content.constData(), unsigned(content.size()));
    zipCloseFileInZip(z);
  }
  zipClose(z, nullptr);
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  const QByteArray data = f.readAll();
  f.close();
  QFile::remove(path);
  return data;
}

QStringList filesBelow(const QString& root, QDir::Filters kinds = QDir::Files) {
  QStringList out;
  QDirIterator it(root, kinds | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) out << QDir(root).relativeFilePath(it.next());
  out.sort();
  return out;
}

const QByteArray kCue = "1\n00:00:00,000 --> 00:00:01,000\nHello\n";

}  // namespace

TEST(OXSubtitleDownload, HostileEntriesLeaveNothingOutsideTheFolder) {
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  // The language folder lies two levels down, so "../../x.srt" would land in the scratch folder itself.
  const QString subtitles = scratch.filePath("Player/Subtitles");
  ASSERT_TRUE(QDir().mkpath(subtitles));
  const QByteArray archive = zipOf({{"../../x.srt", kCue},
                                    {"/tmp/ombrix-absolute.srt", kCue},
                                    {"..\\..\\y.srt", kCue},
                                    {"sub/../../../z.srt", kCue},
                                    {"C:evil.srt", kCue},
                                    {"Movie/./dot.srt", kCue},
                                    {"Movie/Movie.en.srt", kCue},
                                    {"readme.nfo", "notes"}},
                                   scratch.path());
  ASSERT_FALSE(archive.isEmpty());

  oxtest::LoopbackServer server;
  server.setReply("/download/subtitle/1.zip", {200, archive, "application/zip", {}});
  const QString folder = subtitles + "/English";
  ASSERT_TRUE(OXSubtitleDownload::downloadAndUnpack(server.url("/download/subtitle/1.zip"),
                                                    subtitles + "/English.zip", folder));
  EXPECT_EQ(filesBelow(scratch.path()), QStringList({"Player/Subtitles/English.zip",
                                                     "Player/Subtitles/English/Movie/Movie.en.srt",
                                                     "Player/Subtitles/English/Movie/dot.srt",
                                                     "Player/Subtitles/English/readme.nfo"}));
  EXPECT_FALSE(QFile::exists("/tmp/ombrix-absolute.srt"));
  EXPECT_EQ(OXSubtitleDownload::firstSRTFile(folder), folder + "/Movie/Movie.en.srt");
}

TEST(OXSubtitleDownload, FailedFetchesAndBrokenArchivesLeaveNoLanguageFolder) {
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  oxtest::LoopbackServer server;
  server.setReply("/missing.zip", {404, "gone", "text/plain", {}});
  server.setReply("/broken.zip", {200, "PK\x03\x04 not really a zip", "application/zip", {}});
  // Archives that give no subtitle: one without any, one whose only subtitle is refused.
  server.setReply("/nfo.zip", {200, zipOf({{"readme.nfo", "notes"}}, scratch.path()), "application/zip", {}});
  server.setReply("/refused.zip", {200, zipOf({{"../Movie.srt", kCue}}, scratch.path()), "application/zip", {}});
  const QString folder = scratch.filePath("French");
  for (const char* path : {"/missing.zip", "/broken.zip", "/nfo.zip", "/refused.zip"})
    EXPECT_FALSE(OXSubtitleDownload::downloadAndUnpack(server.url(path), folder + ".zip", folder)) << path;
  // Only the fetched archive stays; no folder, so a later choice of the language fetches it again.
  EXPECT_EQ(filesBelow(scratch.path()), QStringList({"French.zip"}));
  EXPECT_TRUE(OXSubtitleDownload::firstSRTFile(folder).isEmpty());
}

TEST(OXSubtitleDownload, AnAnswerLargerThanAnyArchiveLeavesNoFile) {
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  oxtest::LoopbackServer server;
  server.setReply("/huge.zip", {200, QByteArray(OXSubtitleDownload::kEntryLimit + 1, 'P'), "application/zip", {}});
  const QString folder = scratch.filePath("German");
  EXPECT_FALSE(OXSubtitleDownload::downloadAndUnpack(server.url("/huge.zip"), folder + ".zip", folder));
  EXPECT_TRUE(filesBelow(scratch.path()).isEmpty());
}

class OXSubtitleArchive : public ::testing::Test {
 protected:
  QTemporaryDir scratch_;
  oxtest::LoopbackServer server_;
};

TEST_F(OXSubtitleArchive, AnArchiveOfThousandsOfFoldersIsRefusedWithNothingUnpacked) {
  ASSERT_TRUE(scratch_.isValid());
  // 60,000 empty files, each in folders of its own four deep, and the subtitle last: 300,001 entries on disk.
  QList<QPair<QByteArray, QByteArray>> entries;
  for (int i = 0; i < 60000; ++i) entries.append({QByteArray::number(i) + "/a/b/c/empty", {}});
  entries.append({"Movie.srt", kCue});
  const QByteArray archive = zipOf(entries, scratch_.path(), 0);
  ASSERT_FALSE(archive.isEmpty());
  server_.setReply("/many.zip", {200, archive, "application/zip", {}});

  const QString folder = scratch_.filePath("English");
  EXPECT_FALSE(OXSubtitleDownload::downloadAndUnpack(server_.url("/many.zip"), folder + ".zip", folder));
  EXPECT_EQ(filesBelow(scratch_.path(), QDir::AllEntries).size(), 1);  // the fetched archive alone
  // Unpacked straight into a folder: nothing is made, not even the folder.
  EXPECT_FALSE(OXSubtitleDownload::unzipFileTo(folder + ".zip", folder));
  EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST_F(OXSubtitleArchive, ANormalArchiveGivesItsSubtitleAndEntriesTooDeepAreLeftOut) {
  ASSERT_TRUE(scratch_.isValid());
  const QByteArray archive = zipOf({{"readme.nfo", "notes"},
                                    {"Movie/", {}},
                                    {"Movie/Movie.en.srt", kCue},
                                    {"a/b/c/d/four.txt", "kept"},
                                    {"a/b/c/d/e/five.srt", kCue},
                                    {"a/b/c/d/e/", {}}},
                                   scratch_.path());
  server_.setReply("/normal.zip", {200, archive, "application/zip", {}});
  const QString folder = scratch_.filePath("English");
  QString srt;
  ASSERT_TRUE(OXSubtitleDownload::downloadAndUnpack(server_.url("/normal.zip"), folder + ".zip", folder, &srt));
  EXPECT_EQ(srt, folder + "/Movie/Movie.en.srt");
  EXPECT_EQ(filesBelow(folder), QStringList({"Movie/Movie.en.srt", "a/b/c/d/four.txt", "readme.nfo"}));
}

// Archives as other tools write them (tests/playback/fixtures/subtitle_archives.py): Python's zipfile and Info-ZIP.
TEST_F(OXSubtitleArchive, ArchivesOfOtherToolsGiveEveryFileUnderItsOwnName) {
  QByteArray err;
  ASSERT_EQ(oxtest::runPython(oxtest::sourcePath("tests/playback/fixtures/subtitle_archives.py"), {scratch_.path()},
                              nullptr, &err), 0) << err.constData();
  using Files = QMap<QString, QByteArray>;
  const auto unpacked = [&](const QString& archive) {
    const QString folder = scratch_.filePath(archive + ".out");
    Files files;
    if (!OXSubtitleDownload::unzipFileTo(scratch_.filePath(archive), folder)) files.insert("refused", {});
    for (const QString& name : filesBelow(folder)) {
      QFile f(folder + "/" + name);
      files.insert(name, f.open(QIODevice::ReadOnly) ? f.readAll() : "unreadable");
    }
    return files;
  };
  // "./Movie.srt" is the folder's Movie.srt, and the archive's own Movie.srt beside it keeps a name of its own.
  EXPECT_EQ(unpacked("dot.zip"),
            Files({{"Movie.srt", "dot"}, {"Movie (2).srt", "plain"}, {"a/b.nfo", "notes"}, {"Ñu.srt", "N"}}));
  EXPECT_EQ(unpacked("names.zip"), Files({{"Ça.srt", "C"}, {"Éa.srt", "E"}, {"Ñu.srt", "N"}}));
  EXPECT_EQ(unpacked("zip64.zip"), Files({{"Movie.srt", "zip64"}}));
  // A zip64 size is checked as any other: its content's CRC, and no more inflated than it says.
  EXPECT_EQ(unpacked("damaged.zip"), Files({{"refused", {}}}));
  EXPECT_EQ(unpacked("lying.zip"), Files({{"refused", {}}}));
}
