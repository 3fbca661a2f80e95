#include "core/OXFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QtEndian>
#include <array>
#include <cmath>
#include <cerrno>
#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/FileName.h"

namespace {

// Slicing-by-8 tables: table[0] is the classic byte table, table[k] advances a byte k positions further.
using CrcTables = std::array<std::array<quint32, 256>, 8>;

constexpr CrcTables makeCrcTables() {
  CrcTables t{};
  for (quint32 i = 0; i < 256; ++i) {
    quint32 c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
    t[0][i] = c;
  }
  for (quint32 i = 0; i < 256; ++i)
    for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  return t;
}

constexpr CrcTables kCrcTables = makeCrcTables();

constexpr qint64 kHashBlock = 65536;

QString nullText(const QString& s) { return s.isNull() ? QStringLiteral("(null)") : s; }

// stat, not lstat: a linked video is measured by its target. 0 when the attributes cannot be read.
quint64 sizeOfPath(const QString& path) {
  if (path.isEmpty()) return 0;
  struct stat st {};
  if (::stat(ox::encodeFileName(path).constData(), &st) != 0) return 0;
  return st.st_size < 0 ? 0 : quint64(st.st_size);
}

// The three samples through one descriptor; each whole, or the sampling fails (a shorter one is a read failure).
bool readSamples(const QString& path, const quint64 (&offsets)[3], QByteArray (&samples)[3]) {
  const int fd = ::open(ox::encodeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool whole = true;
  for (int i = 0; i < 3 && whole; ++i) {
    QByteArray sample(qsizetype(OXFile::kSampleLength), Qt::Uninitialized);
    quint64 done = 0;
    while (done < OXFile::kSampleLength) {
      const ssize_t n = ::pread(fd, sample.data() + done, size_t(OXFile::kSampleLength - done), off_t(offsets[i] + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += quint64(n);
    }
    whole = done == OXFile::kSampleLength;
    samples[i] = whole ? sample : QByteArray();
  }
  ::close(fd);
  return whole;
}

// libcrypto reads its configuration on first use: at start, rather than in the middle of the first file's keys.
const bool kCryptoReady = OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CONFIG, nullptr) == 1;

// MD5 and SHA-1 by libcrypto, the fastest at hand (SHA-1 by the processor's own instructions where it has them);
// Qt's own where libcrypto refuses one.
QString hexDigest(const QByteArray& data, const EVP_MD* md, QCryptographicHash::Algorithm fallback) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (kCryptoReady && md && EVP_Digest(data.constData(), size_t(data.size()), digest, &length, md, nullptr) == 1)
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex());
  return QString::fromLatin1(QCryptographicHash::hash(data, fallback).toHex());
}

QByteArray readRange(const QString& path, quint64 offset, quint64 length) {
  QFile file;
  if (!ox::openFileAtPath(file, path, QIODevice::Unbuffered)) return {};
  const qint64 size = file.size();
  if (size <= 0 || offset >= quint64(size) || length == 0) return {};
  const qint64 want = qint64(std::min(length, quint64(size) - offset));
  if (!file.seek(qint64(offset))) return {};
  return file.read(want);
}

}  // namespace

quint32 crc32IsoHdlc(const char* data, qsizetype length, quint32 previous) {
  const auto* p = reinterpret_cast<const uchar*>(data);
  quint32 c = previous ^ 0xFFFFFFFFu;
  while (length >= 8) {
    const quint32 lo = qFromLittleEndian<quint32>(p) ^ c;
    const quint32 hi = qFromLittleEndian<quint32>(p + 4);
    c = kCrcTables[7][lo & 0xFF] ^ kCrcTables[6][(lo >> 8) & 0xFF] ^ kCrcTables[5][(lo >> 16) & 0xFF] ^
        kCrcTables[4][lo >> 24] ^ kCrcTables[3][hi & 0xFF] ^ kCrcTables[2][(hi >> 8) & 0xFF] ^
        kCrcTables[1][(hi >> 16) & 0xFF] ^ kCrcTables[0][hi >> 24];
    p += 8;
    length -= 8;
  }
  while (length-- > 0) c = kCrcTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// ---- OXFile -----------------------------------------------------------------------------------------------

OXFile::OXFile() = default;

OXFile::OXFile(qint32 type) : type_(type) {}

std::shared_ptr<OXFile> OXFile::initWithType(qint32 type) { return std::make_shared<OXFile>(type); }

QString OXFile::description() const {
  std::lock_guard lock(mutex_);
  return QStringLiteral("{\n\tfullPath:  %1\n\tfulltext:  %2\n\ttype:  %3\n}")
      .arg(nullText(filePath_), nullText(fulltext_),
           type_ == kTypeMovie ? QStringLiteral("Movie") : QStringLiteral("Episode"));
}

void OXFile::setFilePath(const QString& path) {
  const qint32 kind = type();
  // The title needs only the type, so derive it before taking the lock.
  const QString title = filterTextForFullText(path);
  QString text = title;
  if (kind == kTypeEpisode) {
    const OXTextRange marker = parseSeasonAndEpisodeRange(title);
    text = cleanSpacesAtTheEnd(title.left(marker.location));
  }
  std::lock_guard lock(mutex_);
  filePath_ = path;
  fulltext_ = text;
  isHashDataEnable_ = false;
  pathRejected_ = false;
  ++pathGeneration_;
}

QString OXFile::filePath() const {
  std::lock_guard lock(mutex_);
  return filePath_;
}

QString OXFile::fulltext() const {
  std::lock_guard lock(mutex_);
  return fulltext_;
}

void OXFile::setFulltext(const QString& text) {
  std::lock_guard lock(mutex_);
  fulltext_ = text;
}

QString OXFile::sizeStr() const {
  std::lock_guard lock(mutex_);
  return sizeStr_;
}

void OXFile::setSizeStr(const QString& text) {
  std::lock_guard lock(mutex_);
  sizeStr_ = text;
}

qint32 OXFile::type() const {
  std::lock_guard lock(mutex_);
  return type_;
}

void OXFile::setType(qint32 type) {
  std::lock_guard lock(mutex_);
  type_ = type;
}

bool OXFile::isHashDataEnable() const {
  std::lock_guard lock(mutex_);
  return isHashDataEnable_;
}

QByteArray OXFile::partialDataMD5() const {
  std::lock_guard lock(mutex_);
  return partialDataMD5_;
}

QByteArray OXFile::partialDataSHA1() const {
  std::lock_guard lock(mutex_);
  return partialDataSHA1_;
}

QByteArray OXFile::partialDataCRC32() const {
  std::lock_guard lock(mutex_);
  return partialDataCRC32_;
}

void OXFile::calculateHash() {
  QString path;
  quint64 generation;
  {
    std::lock_guard lock(mutex_);
    path = filePath_;
    generation = pathGeneration_;
  }
  const quint64 size = sizeOfPath(path);
  const double fsize = double(size);
  const bool tooSmall = 0.25 * fsize < double(kSampleLength);

  QByteArray md5Sample, sha1Sample, crcSample;
  bool complete = false;
  if (!tooSmall) {
    // Every sample lies wholly inside a file of at least 4 MiB, so anything shorter is a read failure.
    const quint64 offsets[3] = {quint64(std::trunc(0.25 * fsize)), quint64(std::trunc(0.5 * fsize)),
                                quint64(std::trunc(0.75 * fsize))};
    QByteArray samples[3];
    complete = readSamples(path, offsets, samples);
    md5Sample = samples[0];
    sha1Sample = samples[1];
    crcSample = samples[2];
  }

  std::lock_guard lock(mutex_);
  if (generation != pathGeneration_) return;  // a new path arrived meanwhile; its own request samples it
  if (complete) {
    partialDataMD5_ = md5Sample;
    partialDataSHA1_ = sha1Sample;
    partialDataCRC32_ = crcSample;
    sizeStr_ = QString::number(size);
    isHashDataEnable_ = true;
    return;
  }
  // No usable samples for this path: the keys must describe no data rather than an earlier file's.
  partialDataMD5_.clear();
  partialDataSHA1_.clear();
  partialDataCRC32_.clear();
  sizeStr_.clear();
  isHashDataEnable_ = false;
  if (tooSmall) pathRejected_ = true;
}

bool OXFile::isValidFilePath() const {
  std::lock_guard lock(mutex_);
  return !filePath_.isEmpty() && !pathRejected_;
}

QString OXFile::os() {
  if (!isHashDataEnable()) calculateHash();
  const quint64 hash = isValidFilePath() ? OSHashAlgorithm::hashForPath(filePath()).fileHash : 0;
  QString text = OSHashAlgorithm::stringForHash(hash);
  if (text.size() < 16) text.prepend(QString(16 - text.size(), u'0'));
  return text;
}

QString OXFile::sha1() {
  if (!isHashDataEnable()) calculateHash();
  return hexDigest(partialDataSHA1(), EVP_sha1(), QCryptographicHash::Sha1);
}

QString OXFile::md5() {
  if (!isHashDataEnable()) calculateHash();
  return hexDigest(partialDataMD5(), EVP_md5(), QCryptographicHash::Md5);
}

QString OXFile::crc32() {
  if (!isHashDataEnable()) calculateHash();
  const QByteArray sample = partialDataCRC32();
  return sample.isEmpty() ? QStringLiteral("0") : QString::number(crc32IsoHdlc(sample));
}

quint64 OXFile::calculateSize() const { return sizeOfPath(filePath()); }

QString OXFile::calculateSizeStr() const { return QString::number(calculateSize()); }

QByteArray OXFile::subdataWithRange(quint64 offset, quint64 length) const {
  return readRange(filePath(), offset, length);
}

// ---- OSHashAlgorithm --------------------------------------------------------------------------------------

QString OSHashAlgorithm::stringForHash(quint64 hash) { return QString::number(hash, 16); }

OSHashAlgorithm::Result OSHashAlgorithm::hashForPath(const QString& path) {
  QFile file;
  if (!ox::openFileAtPath(file, path, QIODevice::Unbuffered)) return hashForFile(nullptr);
  const Result result = hashForFile(&file);
  file.close();
  return result;
}

OSHashAlgorithm::Result OSHashAlgorithm::hashForURL(const QUrl& url) {
  return hashForPath(ox::pathOfFileURL(url));
}

OSHashAlgorithm::Result OSHashAlgorithm::hashForFile(QFile* file) {
  if (!file || !file->isOpen()) return {};
  const auto sumWords = [](const QByteArray& block) {
    quint64 sum = 0;
    const auto* p = reinterpret_cast<const uchar*>(block.constData());
    for (qsizetype i = 0; i + 8 <= block.size(); i += 8) sum += qFromLittleEndian<quint64>(p + i);
    return sum;
  };
  if (!file->seek(0)) return {};
  const QByteArray head = file->read(kHashBlock);
  const qint64 size = file->size();
  if (size < kHashBlock || head.size() != kHashBlock) return {};
  if (!file->seek(size - kHashBlock)) return {};
  const QByteArray tail = file->read(kHashBlock);
  if (tail.size() != kHashBlock) return {};
  const quint64 hash = quint64(size) + sumWords(head) + sumWords(tail);
  return {hash, quint64(size)};
}
