// Keys of one video file (MD5, SHA-1 and CRC-32 of the three samples, and the 64-bit file hash) for files of
// very different sizes: the time per file must not grow with the size, since only three 1 MiB samples and two
// 64 KiB blocks are read. "bytesRead" is what the process read per file, from the kernel's own count. Beside them,
// the yardstick: the same reads with the digests of OpenSSL's libcrypto and zlib's crc32.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>
#include <zlib.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <vector>

#include "core/OXFile.h"

namespace {

constexpr qint64 MiB = 1048576;

QTemporaryDir& scratch() {
  static QTemporaryDir dir;
  return dir;
}

qint64 bytesReadByProcess() {
  QFile io("/proc/self/io");
  if (!io.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : io.readAll().split('\n'))
    if (line.startsWith("rchar:")) return line.mid(6).trimmed().toLongLong();
  return 0;
}

// Real random data up to `dataBytes`, the rest (if any) a hole.
QString makeFile(qint64 size, qint64 dataBytes) {
  const QString path = scratch().filePath(QString("video-%1.mkv").arg(size));
  if (QFile::exists(path)) return path;
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return {};
  QRandomGenerator rng{quint32(size)};
  QByteArray chunk(8 * MiB, Qt::Uninitialized);
  for (qint64 written = 0; written < dataBytes;) {
    rng.fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
    const qint64 n = std::min<qint64>(chunk.size(), dataBytes - written);
    f.write(chunk.constData(), n);
    written += n;
  }
  f.resize(size);
  return path;
}

void dropFromCache(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
  if (fd < 0) return;
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

void keysOf(benchmark::State& state, qint64 size, qint64 dataBytes, bool cold) {
  const QString path = makeFile(size, dataBytes);
  if (path.isEmpty()) {
    state.SkipWithError("cannot create the file");
    return;
  }
  // Reading the counter is itself a read; take its cost out.
  const qint64 probe = bytesReadByProcess();
  const qint64 counterCost = bytesReadByProcess() - probe;
  qint64 read = 0;
  for (auto _ : state) {
    // Only the keys are timed: the title that setting a path derives is not part of them.
    state.PauseTiming();
    if (cold) dropFromCache(path);
    OXFile f(1);
    f.setFilePath(path);
    const qint64 before = bytesReadByProcess();
    state.ResumeTiming();
    benchmark::DoNotOptimize(f.md5());
    benchmark::DoNotOptimize(f.sha1());
    benchmark::DoNotOptimize(f.crc32());
    benchmark::DoNotOptimize(f.os());
    state.PauseTiming();
    read += bytesReadByProcess() - before - counterCost;
    state.ResumeTiming();
  }
  state.counters["bytesRead"] = benchmark::Counter(double(read), benchmark::Counter::kAvgIterations);
  state.counters["fileMiB"] = double(size) / double(MiB);
}

void BM_Keys_8MiB(benchmark::State& s) { keysOf(s, 8 * MiB, 8 * MiB, false); }
void BM_Keys_256MiB(benchmark::State& s) { keysOf(s, 256 * MiB, 256 * MiB, false); }
void BM_Keys_8GiB_sparse(benchmark::State& s) { keysOf(s, 8192 * MiB, 0, false); }
void BM_Keys_8MiB_cold(benchmark::State& s) { keysOf(s, 8 * MiB, 8 * MiB, true); }
void BM_Keys_256MiB_cold(benchmark::State& s) { keysOf(s, 256 * MiB, 256 * MiB, true); }

BENCHMARK(BM_Keys_8MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Keys_256MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Keys_8GiB_sparse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Keys_8MiB_cold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Keys_256MiB_cold)->Unit(benchmark::kMillisecond);

// What the keys cost at the least: pread of the three samples and the two hash blocks, MD5 and SHA-1 by libcrypto,
// CRC-32 by zlib, and the word sums of the file hash.
void referenceKeysOf(benchmark::State& state, qint64 size) {
  const QString path = makeFile(size, size);
  const int fd = path.isEmpty() ? -1 : ::open(QFile::encodeName(path).constData(), O_RDONLY);
  if (fd < 0) {
    state.SkipWithError("cannot open the file");
    return;
  }
  std::vector<unsigned char> sample(MiB), block(65536);
  const auto words = [&] {
    quint64 sum = 0;
    for (size_t i = 0; i < block.size(); i += 8) sum += qFromLittleEndian<quint64>(block.data() + i);
    return sum;
  };
  for (auto _ : state) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    benchmark::DoNotOptimize(::pread(fd, sample.data(), MiB, size / 4));
    EVP_Digest(sample.data(), MiB, digest, &length, EVP_md5(), nullptr);
    benchmark::DoNotOptimize(::pread(fd, sample.data(), MiB, size / 2));
    EVP_Digest(sample.data(), MiB, digest, &length, EVP_sha1(), nullptr);
    benchmark::DoNotOptimize(::pread(fd, sample.data(), MiB, size / 4 * 3));
    const uLong crc = ::crc32(0L, sample.data(), uInt(MiB));
    if (crc != crc32IsoHdlc(reinterpret_cast<const char*>(sample.data()), MiB)) state.SkipWithError("CRC-32s differ");
    benchmark::DoNotOptimize(::pread(fd, block.data(), block.size(), 0));
    quint64 hash = quint64(size) + words();
    benchmark::DoNotOptimize(::pread(fd, block.data(), block.size(), size - qint64(block.size())));
    hash += words();
    benchmark::DoNotOptimize(hash);
    benchmark::DoNotOptimize(digest);
  }
  ::close(fd);
}

void BM_ReferenceKeys_8MiB(benchmark::State& s) { referenceKeysOf(s, 8 * MiB); }
void BM_ReferenceKeys_256MiB(benchmark::State& s) { referenceKeysOf(s, 256 * MiB); }
BENCHMARK(BM_ReferenceKeys_8MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceKeys_256MiB)->Unit(benchmark::kMillisecond);

// The CRC-32 alone over one sample, the part of the keys that is our own code.
void BM_Crc32OfSample(benchmark::State& state) {
  QByteArray sample(MiB, Qt::Uninitialized);
  QRandomGenerator(1).fillRange(reinterpret_cast<quint32*>(sample.data()), sample.size() / 4);
  for (auto _ : state) benchmark::DoNotOptimize(crc32IsoHdlc(sample));
  state.SetBytesProcessed(state.iterations() * sample.size());
}
BENCHMARK(BM_Crc32OfSample)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
