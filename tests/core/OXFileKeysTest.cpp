#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <sys/fsuid.h>
#include <unistd.h>

#include "core/OXFile.h"
#include "tests/core/CorePrinters.h"
#include "tests/support/TestUtil.h"

namespace {

constexpr qint64 MiB = 1048576;
const QString kEmptyMd5 = "d41d8cd98f00b204e9800998ecf8427e";
const QString kEmptySha1 = "da39a3ee5e6b4b0d3255bfef95601890afd80709";

QByteArray randomBytes(qint64 n, quint32 seed) {
  QByteArray b(n, Qt::Uninitialized);
  QRandomGenerator rng(seed);
  rng.fillRange(reinterpret_cast<quint32*>(b.data()), n / 4);
  for (qint64 i = n / 4 * 4; i < n; ++i) b[i] = char(rng.bounded(256));
  return b;
}

bool writeFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// A file of `size` bytes that is zero but for the words given, each little-endian at its offset.
bool writeWords(const QString& path, qint64 size, const QList<QPair<qint64, quint64>>& words) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || !f.resize(size)) return false;
  for (const auto& [offset, value] : words) {
    uchar le[8];
    qToLittleEndian(value, le);
    if (!f.seek(offset) || f.write(reinterpret_cast<const char*>(le), 8) != 8) return false;
  }
  return true;
}

QByteArray bytesAt(const QString& path, qint64 offset, qint64 length) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly) || !f.seek(offset)) return {};
  return f.read(length);
}

// Bytes this process has read through system calls so far (reading the counter itself costs a few hundred).
qint64 bytesReadByProcess() {
  QFile io("/proc/self/io");
  if (!io.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : io.readAll().split('\n'))
    if (line.startsWith("rchar:")) return line.mid(6).trimmed().toLongLong();
  return -1;
}

std::shared_ptr<OXFile> fileAt(const QString& path, qint32 type = 1) {
  auto f = OXFile::initWithType(type);
  f->setFilePath(path);
  return f;
}

}  // namespace

TEST(OXFileKeys, AgreeWithIndependentReference) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QStringList paths;
  const QList<qint64> sizes = {65535, 65536, 4194304, 10000000};
  for (qint64 size : sizes) {
    paths << dir.filePath(QString("f%1.bin").arg(size));
    ASSERT_TRUE(writeFile(paths.last(), randomBytes(size, quint32(size))));
  }
  // A sparse file of a little over 5 GiB: real data only at the head, the tail and each sample.
  const qint64 bigSize = 5 * 1024 * MiB + 12345;
  paths << dir.filePath("sparse.bin");
  {
    QFile f(paths.last());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(bigSize));
    const QList<qint64> spots = {0, bigSize / 4 + 1000, bigSize / 2 + 77, qint64(0.75 * double(bigSize)) + MiB - 4096,
                                 bigSize - 65536};
    for (qint64 spot : spots) {
      ASSERT_TRUE(f.seek(spot));
      ASSERT_EQ(f.write(randomBytes(4096, quint32(spot))), 4096);
    }
  }

  QByteArray out, err;
  ASSERT_EQ(oxtest::runPython(oxtest::sourcePath("tests/core/fixtures/file_keys.py"), paths, &out, &err), 0) << err.constData();
  const QList<QByteArray> lines = out.trimmed().split('\n');
  ASSERT_EQ(lines.size(), paths.size());
  for (const QByteArray& line : lines) {
    const QJsonObject ref = QJsonDocument::fromJson(line).object();
    const QString path = ref["path"].toString();
    SCOPED_TRACE(path.toStdString());
    const auto hash = OSHashAlgorithm::hashForPath(path);
    EXPECT_EQ(QString("%1").arg(hash.fileHash, 16, 16, QChar('0')), ref["hash"].toString());
    EXPECT_EQ(qint64(hash.fileSize), ref["size"].toInteger());

    auto f = fileAt(path);
    if (ref["samples"].isNull()) {
      EXPECT_EQ(f->os(), "0000000000000000");  // below 4 MiB the keys describe no data
      EXPECT_FALSE(f->isValidFilePath());
      continue;
    }
    const QJsonObject s = ref["samples"].toObject();
    EXPECT_EQ(f->md5(), s["md5"].toString());
    EXPECT_EQ(f->sha1(), s["sha1"].toString());
    EXPECT_EQ(f->crc32(), s["crc32"].toString());
    EXPECT_EQ(f->os(), ref["hash"].toString());
    EXPECT_EQ(f->sizeStr(), QString::number(ref["size"].toInteger()));
    EXPECT_EQ(f->partialDataMD5(), bytesAt(path, s["md5Offset"].toInteger(), MiB));
    EXPECT_EQ(f->partialDataSHA1(), bytesAt(path, s["sha1Offset"].toInteger(), MiB));
    EXPECT_EQ(f->partialDataCRC32(), bytesAt(path, s["crc32Offset"].toInteger(), MiB));
  }
}

TEST(OXFileKeys, SampleOffsetsAndSizes) {
  QTemporaryDir dir;
  for (const auto& [size, offsets] : QList<QPair<qint64, QList<qint64>>>{
           {4194304, {1048576, 2097152, 3145728}}, {10000000, {2500000, 5000000, 7500000}}}) {
    const QString path = dir.filePath(QString::number(size));
    const QByteArray data = randomBytes(size, 7);
    ASSERT_TRUE(writeFile(path, data));
    auto f = fileAt(path);
    f->calculateHash();
    ASSERT_TRUE(f->isHashDataEnable());
    EXPECT_EQ(f->partialDataMD5(), data.mid(offsets[0], MiB));
    EXPECT_EQ(f->partialDataSHA1(), data.mid(offsets[1], MiB));
    EXPECT_EQ(f->partialDataCRC32(), data.mid(offsets[2], MiB));
    EXPECT_EQ(f->sizeStr(), QString::number(size));
    EXPECT_EQ(f->calculateSize(), quint64(size));
  }
  EXPECT_EQ(crc32IsoHdlc(QByteArray("123456789")), 0xCBF43926u);
  EXPECT_EQ(crc32IsoHdlc(QByteArray()), 0u);
  EXPECT_EQ(crc32IsoHdlc("56789", 5, crc32IsoHdlc("1234", 4)), 0xCBF43926u);  // a stream checked as it comes
}

TEST(OXFileKeys, SmallFileKeepsItsPathButIsNotHashed) {
  QTemporaryDir dir;
  const QString small = dir.filePath("small.avi"), big = dir.filePath("big.avi");
  ASSERT_TRUE(writeFile(small, randomBytes(4194303, 1)));
  ASSERT_TRUE(writeFile(big, randomBytes(4194304, 2)));

  auto f = fileAt(big);
  const QString bigMd5 = f->md5();
  EXPECT_NE(bigMd5, kEmptyMd5);
  f->setFilePath(small);
  EXPECT_FALSE(f->isHashDataEnable());
  EXPECT_TRUE(f->isValidFilePath());  // nothing is read before a key is asked for
  EXPECT_EQ(f->md5(), kEmptyMd5);     // not the previous file's digest
  EXPECT_FALSE(f->isValidFilePath());
  EXPECT_EQ(f->filePath(), small);  // the library still knows where the file is
  EXPECT_EQ(f->sha1(), kEmptySha1);
  EXPECT_EQ(f->crc32(), "0");
  EXPECT_EQ(f->os(), "0000000000000000");
  EXPECT_TRUE(f->sizeStr().isNull());
  EXPECT_FALSE(f->isHashDataEnable());

  f->setFilePath(big);  // a new path is judged afresh
  EXPECT_TRUE(f->isValidFilePath());
  EXPECT_EQ(f->md5(), bigMd5);

  auto missing = fileAt(dir.filePath("gone.avi"));
  EXPECT_EQ(missing->calculateSize(), 0u);
  EXPECT_EQ(missing->os(), "0000000000000000");
  EXPECT_FALSE(missing->isValidFilePath());
  EXPECT_EQ(missing->filePath(), dir.filePath("gone.avi"));
}

TEST(OXFileKeys, LinkedFileIsMeasuredByItsTarget) {
  QTemporaryDir dir;
  const QString target = dir.filePath("target.mkv"), link = dir.filePath("Linked.Movie.mkv");
  ASSERT_TRUE(writeFile(target, randomBytes(5000000, 3)));
  ASSERT_TRUE(QFile::link(target, link));
  auto viaLink = fileAt(link);
  auto direct = fileAt(target);
  EXPECT_EQ(viaLink->calculateSize(), 5000000u);
  EXPECT_EQ(viaLink->md5(), direct->md5());
  EXPECT_EQ(viaLink->os(), direct->os());
  EXPECT_TRUE(viaLink->isValidFilePath());
  EXPECT_EQ(viaLink->filePath(), link);
  EXPECT_EQ(viaLink->sizeStr(), "5000000");
}

TEST(OXFileKeys, UnreadableContentIsNotSampled) {
  QTemporaryDir dir;
  ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                                    QFileDevice::ExeOther));
  const QString path = dir.filePath("locked.mkv");
  ASSERT_TRUE(writeFile(path, randomBytes(4194304, 4)));
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
  // As root, permissions do not stop reading: check the file as an ordinary user on this thread only.
  const bool root = geteuid() == 0;
  if (root) setfsuid(65534);
  struct Restore {
    bool root;
    ~Restore() {
      if (root) setfsuid(0);
    }
  } restore{root};
  if (QFile probe(path); probe.open(QIODevice::ReadOnly)) GTEST_SKIP() << "cannot make a file unreadable here";

  auto f = fileAt(path);
  EXPECT_EQ(f->calculateSize(), 4194304u);
  EXPECT_EQ(f->md5(), kEmptyMd5);
  EXPECT_FALSE(f->isHashDataEnable());  // not reported as sampled
  EXPECT_TRUE(f->sizeStr().isNull());
  EXPECT_TRUE(f->partialDataMD5().isNull());
  EXPECT_EQ(f->crc32(), "0");
  EXPECT_TRUE(f->isValidFilePath());
  EXPECT_EQ(f->os(), "0000000000000000");
}

TEST(OXFileKeys, ReadsThreeSamplesOnceAndTwoBlocksPerHash) {
  QTemporaryDir dir;
  const QString path = dir.filePath("movie.mkv");
  ASSERT_TRUE(writeFile(path, randomBytes(10000000, 5)));
  auto f = fileAt(path);
  ASSERT_GE(bytesReadByProcess(), 0);
  qint64 before = bytesReadByProcess();
  const auto readSince = [&before] {
    const qint64 now = bytesReadByProcess();
    const qint64 n = now - before;
    before = bytesReadByProcess();
    return n;
  };
  const QString md5 = f->md5();
  EXPECT_NEAR(double(readSince()), double(3 * MiB), 512);
  f->sha1();
  f->crc32();
  EXPECT_EQ(f->md5(), md5);
  EXPECT_NEAR(double(readSince()), 0, 512);
  f->os();
  EXPECT_NEAR(double(readSince()), double(2 * 65536), 512);

  f->setFilePath(path);  // a new path samples again at the next request
  EXPECT_FALSE(f->isHashDataEnable());
  readSince();
  EXPECT_EQ(f->md5(), md5);
  EXPECT_NEAR(double(readSince()), double(3 * MiB), 512);
}

TEST(OXFileKeys, HashTextAndEdgeSizes) {
  QTemporaryDir dir;
  // 65,536 bytes: the one block counts as head and tail.
  const QString one = dir.filePath("one.bin");
  ASSERT_TRUE(writeWords(one, 65536, {{0, 5}, {65528, 7}}));
  EXPECT_EQ(OSHashAlgorithm::hashForPath(one), (OSHashAlgorithm::Result{65536 + 2 * 12, 65536}));
  const QString short_ = dir.filePath("short.bin");
  ASSERT_TRUE(writeWords(short_, 65535, {{0, 5}}));
  EXPECT_EQ(OSHashAlgorithm::hashForPath(short_), (OSHashAlgorithm::Result{}));
  EXPECT_EQ(OSHashAlgorithm::hashForPath(dir.filePath("none")), (OSHashAlgorithm::Result{}));
  EXPECT_EQ(OSHashAlgorithm::hashForFile(nullptr), (OSHashAlgorithm::Result{}));
  EXPECT_EQ(OSHashAlgorithm::hashForURL(QUrl::fromLocalFile(one)), OSHashAlgorithm::hashForPath(one));

  // Sums wrap around at 64 bits.
  const QString wrap = dir.filePath("wrap.bin");
  ASSERT_TRUE(writeWords(wrap, 65536, {{0, ~quint64(0)}}));
  EXPECT_EQ(OSHashAlgorithm::hashForPath(wrap).fileHash, quint64(65536 - 2));

  EXPECT_EQ(OSHashAlgorithm::stringForHash(0x1000000000000ull), "1000000000000");
  EXPECT_EQ(OSHashAlgorithm::stringForHash(0), "0");
  const qint64 size = 4194304;
  const QString thirteen = dir.filePath("thirteen.mkv");
  ASSERT_TRUE(writeWords(thirteen, size, {{0, 0x1000000000000ull - size}}));
  EXPECT_EQ(fileAt(thirteen)->os(), "0001000000000000");
  const QString zero = dir.filePath("zero.mkv");
  ASSERT_TRUE(writeWords(zero, size, {{8, quint64(0) - size}}));
  EXPECT_EQ(fileAt(zero)->os(), "0000000000000000");
}

TEST(OXFileKeys, DescriptionAndConstruction) {
  auto episode = OXFile::initWithType(3);
  episode->setFilePath("/TV/Harbour Lights/Season 2/Harbour.Lights.S02E05.mkv");
  EXPECT_EQ(episode->description(),
            "{\n\tfullPath:  /TV/Harbour Lights/Season 2/Harbour.Lights.S02E05.mkv\n\tfulltext:  harbour lights\n"
            "\ttype:  Episode\n}");
  EXPECT_TRUE(OXFile::initWithType(2)->description().endsWith("type:  Episode\n}"));
  auto movie = OXFile::initWithType(1);
  EXPECT_EQ(movie->description(), "{\n\tfullPath:  (null)\n\tfulltext:  (null)\n\ttype:  Movie\n}");
  OXFile plain;
  EXPECT_EQ(plain.type(), 0);
  EXPECT_FALSE(plain.isValidFilePath());
  EXPECT_FALSE(plain.isHashDataEnable());
  EXPECT_TRUE(plain.filePath().isNull());
}
