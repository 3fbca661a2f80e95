#include "playback/OXSubtitleDownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>
#include <unzip.h>

#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Log.h"

namespace {

constexpr int kConnectTimeoutMs = 10000;
constexpr int kTotalTimeoutMs = 60000;

// The entry's path below the folder as its parts, or empty when the name could leave it or lies deeper than an
// archive may reach (a folder entry's parts are all folders; a file's last part is the file).
QStringList safeEntryParts(const QByteArray& rawName) {
  QString name = QString::fromUtf8(rawName);
  name.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QChar(0))) return {};
  if (name.size() >= 2 && name.at(1) == QLatin1Char(':')) return {};  // "C:..."
  const bool isFolder = name.endsWith(QLatin1Char('/'));
  const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  if (parts.isEmpty() || parts.size() - (isFolder ? 0 : 1) > OXSubtitleDownload::kFolderDepthLimit) return {};
  for (const QString& part : parts)
    if (part == QLatin1String("..") || part == QLatin1String(".")) return {};
  return parts;
}

bool isFolderName(const QByteArray& name) { return name.endsWith('/') || name.endsWith('\\'); }

// The current entry's name and sizes; false when the archive cannot be read there.
bool readEntry(unzFile file, unz_file_info64* info, QByteArray* name) {
  name->fill('\0', 1024);
  if (unzGetCurrentFileInfo64(file, info, name->data(), uLong(name->size()), nullptr, 0, nullptr, 0) != UNZ_OK)
    return false;
  name->truncate(qsizetype(qstrnlen(name->constData(), size_t(name->size()))));
  return true;
}

// Whether the archive's file entries and the folders its paths make stay within the count limit. Only the
// archive's directory is read, and no further than one entry past the limit, so a huge archive is refused as
// quickly as a small one is accepted, and before anything is written.
bool withinEntryCount(unzFile file) {
  QSet<QString> folders;
  qsizetype files = 0;
  unz_file_info64 info;
  QByteArray name;
  for (int status = unzGoToFirstFile(file); status == UNZ_OK; status = unzGoToNextFile(file)) {
    if (!readEntry(file, &info, &name)) return true;  // the unpacking stops at the same entry
    const bool isFolder = isFolderName(name);
    QStringList parts = safeEntryParts(name);
    if (!isFolder || parts.isEmpty()) ++files;  // a refused entry costs its step too
    if (!isFolder && !parts.isEmpty()) parts.removeLast();
    for (qsizetype i = 1; i <= parts.size(); ++i) folders.insert(parts.first(i).join(QLatin1Char('/')));
    if (files + folders.size() > OXSubtitleDownload::kEntryCountLimit) return false;
  }
  return true;
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
  qint64 total = 0;
  unz_file_info64 info;
  QByteArray name;
  for (int status = unzGoToFirstFile(zip.file); status == UNZ_OK; status = unzGoToNextFile(zip.file)) {
    if (!readEntry(zip.file, &info, &name)) return false;
    if (isFolderName(name)) continue;  // a folder: made with its files
    const QString relative = safeEntryParts(name).join(QLatin1Char('/'));
    if (relative.isEmpty()) {
      ox::log(QStringLiteral("Subtitle archive: refused entry %1").arg(QString::fromUtf8(name)));
      continue;
    }
    if (qint64(info.uncompressed_size) > kEntryLimit || total + qint64(info.uncompressed_size) > 4 * kEntryLimit) {
      ox::log(QStringLiteral("Subtitle archive: entry too large %1").arg(relative));
      continue;
    }
    const QString target = base.filePath(relative);
    if (!QDir().mkpath(QFileInfo(target).path())) return false;
    if (unzOpenCurrentFile(zip.file) != UNZ_OK) return false;
    QSaveFile out(target);
    bool ok = out.open(QIODevice::WriteOnly);
    QByteArray buffer(64 * 1024, '\0');
    qint64 written = 0;
    for (;;) {
      const int n = unzReadCurrentFile(zip.file, buffer.data(), unsigned(buffer.size()));
      if (n < 0) ok = false;
      if (n <= 0) break;
      written += n;
      // The stored size may lie; the limit holds for what actually comes out.
      if (written > kEntryLimit) {
        ok = false;
        break;
      }
      if (ok && out.write(buffer.constData(), n) != n) ok = false;
    }
    const bool crcOk = unzCloseCurrentFile(zip.file) == UNZ_OK;
    if (!ok || !crcOk || !out.commit()) {
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
  if (QFileInfo::exists(folder)) QDir(folder).removeRecursively();
  if (!QDir().rename(scratch.path(), folder)) {
    ox::log(QStringLiteral("No se pudo hacer unzip"));
    return false;
  }
  scratch.setAutoRemove(false);
  ox::log(QStringLiteral("Fichero unzip"));
  // Looked for here, off the main thread, in a folder as small as the unpacking allows.
  if (srtFile) *srtFile = firstSRTFile(folder);
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
