#include "playback/OXSubtitleDownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <unzip.h>

#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Log.h"

namespace {

constexpr int kConnectTimeoutMs = 10000;
constexpr int kTotalTimeoutMs = 60000;

// The entry's path below the folder, or empty when the name could leave it.
QString safeEntryPath(const QByteArray& rawName) {
  QString name = QString::fromUtf8(rawName);
  name.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QChar(0))) return {};
  if (name.size() >= 2 && name.at(1) == QLatin1Char(':')) return {};  // "C:..."
  const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  if (parts.isEmpty()) return {};
  for (const QString& part : parts)
    if (part == QLatin1String("..") || part == QLatin1String(".")) return {};
  return parts.join(QLatin1Char('/'));
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
  if (!QDir().mkpath(folder)) return false;
  const QDir base(folder);
  qint64 total = 0;
  for (int status = unzGoToFirstFile(zip.file); status == UNZ_OK; status = unzGoToNextFile(zip.file)) {
    unz_file_info64 info;
    QByteArray name(1024, '\0');
    if (unzGetCurrentFileInfo64(zip.file, &info, name.data(), uLong(name.size()), nullptr, 0, nullptr, 0) != UNZ_OK)
      return false;
    name.truncate(qsizetype(qstrnlen(name.constData(), size_t(name.size()))));
    if (name.endsWith('/') || name.endsWith('\\')) continue;  // a folder: made with its files
    const QString relative = safeEntryPath(name);
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

bool OXSubtitleDownload::downloadAndUnpack(const QUrl& url, const QString& zipPath, const QString& folder) {
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
