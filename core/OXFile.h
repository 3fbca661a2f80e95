#pragma once
#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/foundation/KeyedArchiver.h"

class QFile;

// CRC-32 of ISO-HDLC (zlib, PNG): reflected polynomial 0xEDB88320, initial value and final complement 0xFFFFFFFF.
// `previous` is the CRC-32 of the bytes before these, so that a stream is checked as it comes (0 to start).
quint32 crc32IsoHdlc(const char* data, qsizetype length, quint32 previous = 0);
inline quint32 crc32IsoHdlc(const QByteArray& data) { return crc32IsoHdlc(data.constData(), data.size()); }

// A position and a length in UTF-16 units, as text ranges are given throughout.
struct OXTextRange {
  qsizetype location = 0;
  qsizetype length = 0;
  bool operator==(const OXTextRange&) const = default;
};

// One video file on disk: its path, its kind, the search title derived from its name, and the content keys
// by which the online services recognise it without reading it whole.
//
// The keys come from three 1 MiB samples read lazily at a quarter, a half and three quarters of the file,
// and from the 64-bit file hash of OSHashAlgorithm. The samples stay in the record (and in its archive), so
// the digests never read the file twice for the same path.
class OXFile final : public ox::Coding {
 public:
  static constexpr qint32 kTypeMovie = 1;
  static constexpr qint32 kTypeEpisode = 3;
  static constexpr quint64 kSampleLength = 1048576;

  OXFile();                      // plain construction: type 0, nothing else
  explicit OXFile(qint32 type);  // initWithType
  static std::shared_ptr<OXFile> initWithType(qint32 type);
  static std::shared_ptr<OXFile> initWithCoder(const ox::Decoder& coder);

  QString description() const;

  // Stores the path, derives the title text from it and invalidates the samples; reads nothing from disk.
  void setFilePath(const QString& path);
  QString filePath() const;
  QString fulltext() const;
  void setFulltext(const QString& text);
  QString sizeStr() const;
  void setSizeStr(const QString& text);
  qint32 type() const;
  void setType(qint32 type);
  bool isHashDataEnable() const;
  QByteArray partialDataMD5() const;
  QByteArray partialDataSHA1() const;
  QByteArray partialDataCRC32() const;

  // The sampling step. A file under 4 MiB (or one whose size cannot be read) is rejected: the record keeps its
  // path but isValidFilePath answers NO until a new path is set. A file whose samples cannot be read whole is
  // not sampled.
  void calculateHash();
  bool isValidFilePath() const;
  QString os();
  QString sha1();
  QString md5();
  QString crc32();
  quint64 calculateSize() const;
  QString calculateSizeStr() const;
  QByteArray subdataWithRange(quint64 offset, quint64 length) const;

  // Title cleaning and season/episode parsing.
  QString filterTextForFullText(const QString& path) const;
  static QString filterFilename(const QString& name, bool removeEnd);
  static QString cleanSpaces(const QString& text);
  static QString cleanSpacesAtTheEnd(const QString& text);
  // The text without its last n words; null when it has no more than n.
  static QString removeFromText(const QString& text, quint64 n);
  QString queryDeletingLastWords(quint64 n) const;
  // [whole match, season, episode]; empty when no pattern matches.
  static QStringList parseSeasonAndEpisode(const QString& text);
  // The marker's range; (length of text, 0) when there is none.
  static OXTextRange parseSeasonAndEpisodeRange(const QString& text);
  quint64 parseYear() const;
  // {"seasonNumber": text, "episodeNumber": text}; empty when absent.
  QVariantMap getSeasonEpisodeValues() const;
  quint64 parseSeasonNumber() const;
  quint64 parseEpisodeNumber() const;

  // The date the title rules take the current year from; an empty source restores the system clock.
  using DateSource = std::function<QDate()>;
  static void setDateSource(DateSource source);
  static int currentYear();

  QString archiveClassName() const override { return QStringLiteral("OXFile"); }
  void encodeWithCoder(ox::Coder& coder) const override;

 private:
  // Fields are read and written under the mutex: the sampling step runs on whichever thread first asks for a
  // key, possibly while the library encodes the record.
  mutable std::mutex mutex_;
  QByteArray partialDataMD5_;
  QByteArray partialDataSHA1_;
  QByteArray partialDataCRC32_;
  bool isHashDataEnable_ = false;
  qint32 type_ = 0;
  QString filePath_;
  QString fulltext_;
  QString sizeStr_;
  // The path was rejected by the sampling step (too small or no size); not archived.
  bool pathRejected_ = false;
  // Bumped by every new path, so a sampling that raced with setFilePath does not store stale samples.
  quint64 pathGeneration_ = 0;
};

// The 64-bit file hash indexed by the subtitle service: the size plus the little-endian 64-bit word sums of the
// first and the last 64 KiB, with wrap-around.
class OSHashAlgorithm {
 public:
  struct Result {
    quint64 fileHash = 0;
    quint64 fileSize = 0;
    bool operator==(const Result&) const = default;
  };
  static QString stringForHash(quint64 hash);
  static Result hashForPath(const QString& path);
  static Result hashForURL(const QUrl& url);
  // An open file, or nullptr for none.
  static Result hashForFile(QFile* file);
};
