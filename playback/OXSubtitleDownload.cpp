#include "playback/OXSubtitleDownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtEndian>
#include <unzip.h>

#include "core/OXFile.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Log.h"

namespace {

constexpr int kConnectTimeoutMs = 10000;
constexpr int kTotalTimeoutMs = 60000;
// General purpose bit 11: the entry's name is UTF-8.
constexpr uLong kUtf8NameFlag = 1u << 11;
constexpr quint64 kZip64Placeholder = 0xFFFFFFFFu;

// Code page 437 above ASCII, which the zip format gives a name without the UTF-8 flag.
constexpr char16_t kCodePage437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC,
    0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2,
    0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310,
    0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C,
    0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF,
    0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2,
    0x25A0, 0x00A0};

// Without the flag a name is code page 437 by the format, as Windows tools write it; but Info-ZIP on Linux stores a
// name's own bytes, UTF-8, without the flag too. Code page 437 names are hardly ever valid UTF-8, so that decides.
QString entryName(const QByteArray& raw, uLong flag) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
  const QString decoded = utf8(raw);
  if ((flag & kUtf8NameFlag) || !utf8.hasError()) return decoded;
  QString name(raw.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < raw.size(); ++i) {
    const uchar byte = uchar(raw.at(i));
    name[i] = QChar(byte < 0x80 ? char16_t(byte) : kCodePage437[byte - 0x80]);
  }
  return name;
}

// The entry's path below the folder as its parts, or empty when the name could leave it or lies deeper than an
// archive may reach (a folder entry's parts are all folders; a file's last part is the file). A "." part names the
// folder it stands in, as in "./Movie.srt", and is dropped.
QStringList safeEntryParts(QString name) {
  name.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QChar(0))) return {};
  const bool isFolder = name.endsWith(QLatin1Char('/'));
  QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  if (!isFolder && !parts.isEmpty() && parts.last() == QLatin1String(".")) return {};  // a file needs a name
  parts.removeAll(QStringLiteral("."));
  if (parts.isEmpty() || parts.contains(QStringLiteral("..")) ||
      parts.size() - (isFolder ? 0 : 1) > OXSubtitleDownload::kFolderDepthLimit)
    return {};
  if (parts.first().size() >= 2 && parts.first().at(1) == QLatin1Char(':')) return {};  // "C:..."
  return parts;
}

bool isFolderName(const QString& name) { return name.endsWith(QLatin1Char('/')) || name.endsWith(QLatin1Char('\\')); }

struct Entry {
  QString name;  // as stored, either slash
  quint64 size = 0;
  quint32 crc = 0;
};

// Where the directory leaves 0xFFFFFFFF for the size, the real one is in the entry's zip64 extra field, which
// Debian's minizip does not read.
quint64 zip64Size(unzFile file, const unz_file_info64& info) {
  QByteArray extra(qsizetype(info.size_file_extra), '\0');
  if (extra.isEmpty() ||
      unzGetCurrentFileInfo64(file, nullptr, nullptr, 0, extra.data(), uLong(extra.size()), nullptr, 0) != UNZ_OK)
    return info.uncompressed_size;
  const auto* bytes = reinterpret_cast<const uchar*>(extra.constData());
  for (qsizetype at = 0; at + 4 <= extra.size();) {
    const quint16 id = qFromLittleEndian<quint16>(bytes + at);
    const quint16 length = qFromLittleEndian<quint16>(bytes + at + 2);
    if (at + 4 + length > extra.size()) break;
    // The uncompressed size comes first in the field when the directory defers it.
    if (id == 0x0001 && length >= 8) return qFromLittleEndian<quint64>(bytes + at + 4);
    at += 4 + length;
  }
  return info.uncompressed_size;
}

// The current entry's name and size; false when the archive cannot be read there.
bool readEntry(unzFile file, Entry* entry) {
  unz_file_info64 info;
  QByteArray name(1024, '\0');
  if (unzGetCurrentFileInfo64(file, &info, name.data(), uLong(name.size()), nullptr, 0, nullptr, 0) != UNZ_OK)
    return false;
  name.truncate(qsizetype(qstrnlen(name.constData(), size_t(name.size()))));
  entry->name = entryName(name, info.flag);
  entry->size = info.uncompressed_size == kZip64Placeholder ? zip64Size(file, info) : info.uncompressed_size;
  entry->crc = quint32(info.crc);
  return true;
}

// Whether the archive's file entries and the folders its paths make stay within the count limit. Only the
// archive's directory is read, and no further than one entry past the limit, so a huge archive is refused as
// quickly as a small one is accepted, and before anything is written.
bool withinEntryCount(unzFile file) {
  QSet<QString> folders;
  qsizetype files = 0;
  Entry entry;
  for (int status = unzGoToFirstFile(file); status == UNZ_OK; status = unzGoToNextFile(file)) {
    if (!readEntry(file, &entry)) return true;  // the unpacking stops at the same entry
    const bool isFolder = isFolderName(entry.name);
    QStringList parts = safeEntryParts(entry.name);
    if (!isFolder || parts.isEmpty()) ++files;  // a refused entry costs its step too
    if (!isFolder && !parts.isEmpty()) parts.removeLast();
    for (qsizetype i = 1; i <= parts.size(); ++i) folders.insert(parts.first(i).join(QLatin1Char('/')));
    if (files + folders.size() > OXSubtitleDownload::kEntryCountLimit) return false;
  }
  return true;
}

// Two entries may name one file ("./a.srt" and "a.srt", a name stored twice): the later one gets a name of its own,
// "a (2).srt", so that both subtitles are there.
QString distinctPath(const QString& relative, QSet<QString>* taken) {
  const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
  qsizetype dot = relative.lastIndexOf(QLatin1Char('.'));
  if (dot <= slash + 1) dot = relative.size();
  QString path = relative;
  for (int n = 2; taken->contains(path); ++n)
    path = relative.left(dot) + QStringLiteral(" (%1)").arg(n) + relative.mid(dot);
  taken->insert(path);
  return path;
}

struct Archive {
  unzFile file = nullptr;
  explicit Archive(const QString& path) : file(unzOpen64(QFile::encodeName(path).constData())) {}
  ~Archive() {
    if (file) unzClose(file);
  }
};

}  // namespace

bool OXSubtitleDownload::unzipFileTo(const QString& zipPath, const QString& folder) {
  Archive zip(zipPath);
  if (!zip.file) {
    ox::log(QStringLiteral("No se pudo abrir fichero zip"));
    return false;
  }
  ox::log(QStringLiteral("Fichero zip abierto"));
  if (!withinEntryCount(zip.file)) {
    ox::log(QStringLiteral("Subtitle archive: more than %1 entries, refused").arg(kEntryCountLimit));
    return false;
  }
  if (!QDir().mkpath(folder)) return false;
  const QDir base(folder);
  quint64 total = 0;
  QSet<QString> taken;
  Entry entry;
  for (int status = unzGoToFirstFile(zip.file); status == UNZ_OK; status = unzGoToNextFile(zip.file)) {
    if (!readEntry(zip.file, &entry)) return false;
    if (isFolderName(entry.name)) continue;  // a folder: made with its files
    const QString relative = safeEntryParts(entry.name).join(QLatin1Char('/'));
    if (relative.isEmpty()) {
      ox::log(QStringLiteral("Subtitle archive: refused entry %1").arg(entry.name));
      continue;
    }
    const auto limit = quint64(kEntryLimit);
    if (entry.size > limit || total + entry.size > 4 * limit) {
      ox::log(QStringLiteral("Subtitle archive: entry too large %1").arg(relative));
      continue;
    }
    const QString target = base.filePath(distinctPath(relative, &taken));
    if (!QDir().mkpath(QFileInfo(target).path())) return false;
    if (unzOpenCurrentFile(zip.file) != UNZ_OK) return false;
    QSaveFile out(target);
    bool ok = out.open(QIODevice::WriteOnly);
    QByteArray buffer(64 * 1024, '\0');
    quint64 written = 0;
    quint32 crc = 0;
    for (;;) {
      const int n = unzReadCurrentFile(zip.file, buffer.data(), unsigned(buffer.size()));
      if (n < 0) ok = false;
      if (n <= 0) break;
      written += unsigned(n);
      // The stored size may lie; no more comes out than it says, and it is within the limit.
      if (written > entry.size) {
        ok = false;
        break;
      }
      crc = crc32IsoHdlc(buffer.constData(), n, crc);
      if (ok && out.write(buffer.constData(), n) != n) ok = false;
    }
    // minizip checks the CRC only where its own idea of the size ran out, which a zip64 size never does.
    const bool whole = written == entry.size && crc == entry.crc;
    const bool crcOk = unzCloseCurrentFile(zip.file) == UNZ_OK;
    if (!ok || !whole || !crcOk || !out.commit()) {
      ox::log(QStringLiteral("Subtitle archive: could not unpack %1").arg(relative));
      return false;
    }
    total += written;
  }
  return true;
}

bool OXSubtitleDownload::downloadAndUnpack(const QUrl& url, const QString& zipPath, const QString& folder,
                                           QString* srtFile) {
  if (zipPath.isEmpty() || folder.isEmpty() || !url.isValid()) return false;
  ox::HttpRequest request;
  request.url = url;
  request.downloadPath = zipPath;
  request.maxBytes = kEntryLimit;  // an archive is no larger than one subtitle in it may be
  request.connectTimeoutMs = kConnectTimeoutMs;
  request.totalTimeoutMs = kTotalTimeoutMs;
  const ox::HttpResponse response = ox::httpPerform(request);
  if (!response.isSuccess()) {
    ox::log(QStringLiteral("Error al descargar subtitulo: %1")
                .arg(response.transportOk ? QStringLiteral("HTTP %1").arg(response.status) : response.error));
    return false;
  }
  // Unpacked beside the language folder and renamed into place, so a half-unpacked folder is never seen.
  const QFileInfo where(folder);
  QTemporaryDir scratch(where.path() + QStringLiteral("/.") + where.fileName() + QStringLiteral("-XXXXXX"));
  if (!scratch.isValid() || !unzipFileTo(zipPath, scratch.path())) {
    ox::log(QStringLiteral("No se pudo hacer unzip"));
    return false;
  }
  // Looked for here, off the main thread, in a folder as small as the unpacking allows. An archive without a subtitle
  // is a failed download: its folder would pass for one and keep later choices of the language from fetching.
  const QString found = firstSRTFile(scratch.path());
  if (found.isEmpty()) {
    ox::log(QStringLiteral("Subtitle archive: no .srt in it"));
    return false;
  }
  const QString relative = QDir(scratch.path()).relativeFilePath(found);
  if (QFileInfo::exists(folder)) QDir(folder).removeRecursively();
  if (!QDir().rename(scratch.path(), folder)) {
    ox::log(QStringLiteral("No se pudo hacer unzip"));
    return false;
  }
  scratch.setAutoRemove(false);
  ox::log(QStringLiteral("Fichero unzip"));
  if (srtFile) *srtFile = QDir(folder).filePath(relative);
  return true;
}

QString OXSubtitleDownload::firstSRTFile(const QString& folder) {
  const QDir dir(folder);
  const QFileInfoList entries =
      dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::DirsLast);
  for (const QFileInfo& e : entries) {
    if (e.isSymLink()) continue;
    if (e.isFile() && e.suffix().compare(QLatin1String("srt"), Qt::CaseInsensitive) == 0) return e.filePath();
  }
  for (const QFileInfo& e : entries) {
    if (e.isSymLink() || !e.isDir()) continue;
    const QString found = firstSRTFile(e.filePath());
    if (!found.isEmpty()) return found;
  }
  return {};
}
