// The fuzz target's entry with the library's own classes registered, run on deterministic mutations of a real
// "library.bin": the record decoders meet damaged records, not only the archive frame. Any failure is a crash, a
// sanitizer report or a hang.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <random>

#define OX_FUZZ_LIBRARY_CLASSES
#include "tests/fuzz/fuzz_unarchiver.cpp"

#include "core/OXLibrary.h"
#include "tests/core/LibraryTestUtil.h"

namespace {

QByteArray libraryArchive() {
  QTemporaryDir tmp;
  const auto library = OXLibrary::libraryWithSupportFolder(tmp.path());
  QDir().mkpath(tmp.filePath("Movies"));
  library->rootList()->addURLs({QUrl::fromLocalFile(tmp.filePath("Movies"))}, 1);
  for (int i = 0; i < 3; ++i) {
    auto m = libtest::movie(QStringLiteral("tt%1").arg(i), QStringLiteral("/m/Film.%1.mkv").arg(i));
    m->addLinks({"magnet:?xt=urn:btih:a"});
    library->addContent(m);
    library->addContent(libtest::show(quint64(i)));
    library->addContent(libtest::episode(quint64(10 + i), quint64(i), QStringLiteral("/s/Show.S01E0%1.mkv").arg(i)));
  }
  library->addUnknown(libtest::file(OXFile::kTypeEpisode, "/s/Unknown.S02E01.mkv"));
  library->setCachedShow("salt roads", libtest::show(1));
  EXPECT_TRUE(library->saveLibrary());
  return libtest::readFile(library->pathWithFolder({}, "library.bin"));
}

TEST(LibraryArchiveMutation, RecordDecodersSurviveDamagedRecords) {
  const QByteArray seed = libraryArchive();
  registerCoreArchiveClasses();
  ASSERT_EQ(ox::KeyedUnarchiver(seed).decodeList("movieList").size(), 3);
  std::mt19937 rng(20251209);
  int recordsRead = 0;
  ::testing::internal::CaptureStderr();  // one log line per damaged input
  for (int i = 0; i < 3000; ++i) {
    QByteArray bytes = seed;
    for (int edit = 1 + int(rng() % 3); edit > 0; --edit) {
      const qsizetype at = qsizetype(rng() % quint32(bytes.size()));
      if (rng() % 4 == 0)
        bytes[at] = char(rng());
      else
        bytes[at] = char(bytes[at] ^ (1 << (rng() % 8)));
    }
    oxfuzz_unarchiver(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    const ox::KeyedUnarchiver archive(bytes);
    for (const QVariant& v : archive.decodeList("episodeList")) recordsRead += oxfuzz::walkLibraryRecord(v);
  }
  ::testing::internal::GetCapturedStderr();
  // Many mutations leave records to read, with damaged fields among them.
  EXPECT_GT(recordsRead, 1000);
}

}  // namespace
