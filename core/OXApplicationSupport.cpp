#include "core/OXApplicationSupport.h"

#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include "platform/foundation/PropertyList.h"
#include "core/OXServiceHosts.h"
#include "platform/foundation/Info.h"
#include "platform/foundation/KeyedArchiver.h"

namespace {

QString replaceOriginal(const QUrl& url, const QString& size) {
  if (url.isEmpty()) return {};
  QString text = url.toString(QUrl::FullyEncoded);
  return text.replace(QStringLiteral("/original/"), size, Qt::CaseInsensitive);
}

// An image URL's cache name: its last path component without the extension.
QString imageName(const QUrl& url) {
  const QString last = url.fileName(QUrl::FullyDecoded);
  const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? last.left(dot) : last;
}

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

bool OXApplicationSupport::isSafeName(const QString& name) {
  return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
         !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString OXApplicationSupport::safeName(const QString& name) {
  QString out = name;
  for (QChar& c : out)
    if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control) c = QLatin1Char('_');
  if (out.isEmpty() || out == QLatin1String(".") || out == QLatin1String("..")) out = QStringLiteral("_");
  return out;
}

QString OXApplicationSupport::cacheFileNameForURL(const QUrl& url) {
  if (!url.isValid()) return {};
  const QByteArray path = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveQuery |
                                        QUrl::RemoveFragment);
  const QString name = QString::fromLatin1(path.mid(path.lastIndexOf('/') + 1));
  const QString decoded = QUrl::fromPercentEncoding(name.toLatin1());
  if (name.isEmpty() || !isSafeName(decoded) || decoded.contains(QLatin1Char('\\'))) return {};
  return name;
}

std::unique_ptr<OXApplicationSupport> OXApplicationSupport::initWithFolderName(const QString& folderName) {
  QString base = ox::applicationSupportDirectory();
  if (base.isEmpty()) base = QDir::tempPath();
  const QString bundleName = ox::infoValue(QStringLiteral("CFBundleName")).toString();
  if (!isSafeName(bundleName) || !isSafeName(folderName)) return nullptr;
  const QString root = QDir(QDir(base).filePath(bundleName)).filePath(folderName);
  if (!QFileInfo::exists(root) && !QDir().mkpath(root)) return nullptr;
  auto support = std::make_unique<OXApplicationSupport>();
  support->folderBaseName_ = root;
  return support;
}

QString OXApplicationSupport::pathWithFilename(const QString& filename) const {
  if (folderBaseName_.isEmpty() || !isSafeName(filename)) return {};
  return QDir(folderBaseName_).filePath(filename);
}

QString OXApplicationSupport::createAndGetPathWithFilename(const QString& filename, const QString& subFolder) const {
  if (folderBaseName_.isEmpty() || !isSafeName(filename) || !isSafeName(subFolder)) return {};
  const QString folder = QDir(folderBaseName_).filePath(subFolder);
  if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) return {};
  return QDir(folder).filePath(filename);
}

bool OXApplicationSupport::saveImageAsJpeg(const QImage& image, const QString& path) {
  if (image.isNull() || path.isEmpty()) return false;
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(100);
  if (!writer.write(image)) return false;
  return ox::writeFileAtomically(path, bytes);
}

QString OXApplicationSupport::topMovieCachePath() const {
  const QString name = QStringLiteral("topMovieCache_") + QDate::currentDate().toString(QStringLiteral("dd'_'MM'_'yyyy"));
  return createAndGetPathWithFilename(name, QStringLiteral("DataCache"));
}

void OXApplicationSupport::saveTopMovieCache(const QVariantList& list) const {
  const QString path = topMovieCachePath();
  const QByteArray bytes = ox::propertyListData(list);
  if (!path.isEmpty() && !bytes.isEmpty()) ox::writeFileAtomically(path, bytes);
}

QVariantList OXApplicationSupport::getTopMovieTodayCache() const {
  const QString path = topMovieCachePath();
  return path.isEmpty() ? QVariantList() : ox::propertyListValue(readFile(path)).toList();
}

void OXApplicationSupport::saveImage(const QImage& image, const QUrl& url, const QString& subFolder) const {
  const QString path = createAndGetPathWithFilename(imageName(url), subFolder);
  if (!path.isEmpty()) saveImageAsJpeg(image, path);
}

QImage OXApplicationSupport::imageForURL(const QString& rewritten, const QString& subFolder) const {
  if (rewritten.isEmpty()) return {};
  const QString path = createAndGetPathWithFilename(imageName(QUrl(rewritten)), subFolder);
  return path.isEmpty() ? QImage() : QImage(path);
}

void OXApplicationSupport::saveMoviePoster500(const QImage& image, const QUrl& url) const {
  saveImage(image, url, QStringLiteral("Poster500"));
}
QImage OXApplicationSupport::moviePoster500ForURL(const QUrl& url) const {
  return imageForURL(get500ModeFromURL(url), QStringLiteral("Poster500"));
}
void OXApplicationSupport::saveMoviePoster780(const QImage& image, const QUrl& url) const {
  saveImage(image, url, QStringLiteral("Poster780"));
}
QImage OXApplicationSupport::moviePoster780ForURL(const QUrl& url) const {
  return imageForURL(get780ModeFromURL(url), QStringLiteral("Poster780"));
}
void OXApplicationSupport::saveBackdropImage(const QImage& image, const QUrl& url) const {
  saveImage(image, url, QStringLiteral("Backdrops1920"));
}
QImage OXApplicationSupport::movieBackdropImageForURL(const QUrl& url) const {
  return imageForURL(get1920ModeFromURL(url), QStringLiteral("Backdrops1920"));
}

void OXApplicationSupport::saveLibrary(const QVariantList& list) const {
  if (folderBaseName_.isEmpty()) return;
  const QString path =
      createAndGetPathWithFilename(QFileInfo(folderBaseName_).fileName() + QStringLiteral("Library"),
                                   QStringLiteral("Library"));
  const QByteArray bytes = ox::propertyListData(list);
  if (!path.isEmpty() && !bytes.isEmpty()) ox::writeFileAtomically(path, bytes);
}

QVariantList OXApplicationSupport::loadLibrary() const {
  if (folderBaseName_.isEmpty()) return {};
  const QString path =
      createAndGetPathWithFilename(QFileInfo(folderBaseName_).fileName() + QStringLiteral("Library"),
                                   QStringLiteral("Library"));
  return path.isEmpty() ? QVariantList() : ox::propertyListValue(readFile(path)).toList();
}

QString OXApplicationSupport::get500ModeFromURL(const QUrl& url) { return replaceOriginal(url, QStringLiteral("/w500/")); }
QString OXApplicationSupport::get780ModeFromURL(const QUrl& url) { return replaceOriginal(url, QStringLiteral("/w780/")); }

QString OXApplicationSupport::get1920ModeFromURL(const QUrl& url) {
  if (url.isEmpty()) return {};
  const QString text = url.toString(QUrl::FullyEncoded);
  // The unencrypted site address, as the TheTVDB client forms it.
  if (text.contains(OXServiceHosts::baseURL(OXService::TVDb), Qt::CaseSensitive)) return text;
  return replaceOriginal(url, QStringLiteral("/w1920/"));
}

QString OXApplicationSupport::subtitleFolder() const {
  if (folderBaseName_.isEmpty()) return {};
  const QString folder = QDir(folderBaseName_).filePath(QStringLiteral("Subtitles"));
  if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) return {};
  return folder;
}

void OXApplicationSupport::cleanSubtitleFolder() const {
  // Without a root there is nothing of ours to delete.
  if (folderBaseName_.isEmpty()) return;
  QDir(QDir(folderBaseName_).filePath(QStringLiteral("Subtitles"))).removeRecursively();
}

bool OXApplicationSupport::existFileForLanguage(const QString& name) const {
  const QString folder = subtitleFolder();
  if (folder.isEmpty() || !isSafeName(name)) return false;
  return QFileInfo::exists(QDir(folder).filePath(name));
}

QString OXApplicationSupport::pathForSubtitleLanguageName(const QString& name) const {
  if (!isSafeName(name)) return {};
  const QString folder = subtitleFolder();
  return folder.isEmpty() ? QString() : QDir(folder).filePath(name);
}

QString OXApplicationSupport::pathForSubtitleLanguageNameZIP(const QString& name) const {
  if (!isSafeName(name)) return {};
  const QString folder = subtitleFolder();
  return folder.isEmpty() ? QString() : QDir(folder).filePath(name + QStringLiteral(".zip"));
}

QString OXApplicationSupport::pathForSubtitleLanguageName(const QString& name, const QString& srtFile) const {
  if (folderBaseName_.isEmpty() || !isSafeName(name) || !isSafeName(srtFile)) return {};
  return QDir(QDir(QDir(folderBaseName_).filePath(QStringLiteral("Subtitles"))).filePath(name)).filePath(srtFile);
}
