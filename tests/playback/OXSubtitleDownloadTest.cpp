// Subtitle archives from the network: fetched whole, unpacked only inside their language folder.
#include "playback/OXSubtitleDownload.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include "tests/support/LoopbackServer.h"

namespace {

// A zip archive of the given entries (name, content), written with minizip.
QByteArray zipOf(const QList<QPair<QByteArray, QByteArray>>& entries, const QString& scratch) {
  const QString path = scratch + "/made.zip";
  zipFile z = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
  if (!z) return {};
  for (const auto& [name, content] : entries) {
    zip_fileinfo info{};
    if (zipOpenNewFileInZip64(z, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
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

QStringList filesBelow(const QString& root) {
  QStringList out;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
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
  const QString folder = scratch.filePath("French");
  EXPECT_FALSE(OXSubtitleDownload::downloadAndUnpack(server.url("/missing.zip"), folder + ".zip", folder));
  EXPECT_FALSE(OXSubtitleDownload::downloadAndUnpack(server.url("/broken.zip"), folder + ".zip", folder));
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
