// Resource downloads of the engine: the trailer list, the home backdrops, and a poster, a backdrop and a theme-music
// preview for every movie and show. Every download goes to a temporary file that replaces the target only after a
// complete 2xx answer, so an error page never stands in for an image or a list; each is bounded by what its kind can
// be, so a bucket that serves something else fills neither the disk nor the memory. Every file must also read as what
// it is (a captive portal answers 200 with a page of its own): one that does not changes nothing, and a missing file
// is fetched again at the next cycle.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <cstdio>
#include <mutex>

#include "core/OXMovie.h"
#include "core/OXServiceHosts.h"
#include "core/OXShow.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/ImageDecoder.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MappedFile.h"
#include "scanner/OXCoreLibrary.h"
#include "scanner/SoundtrackCheck.h"

#include "core/OXApplicationSupport.h"
#include "core/OXDownloadBounds.h"

namespace {

const QString kTrailersFolder = QStringLiteral("Trailers");
const QString kTrailersFile = QStringLiteral("trailers_en.ox");

bool fetchInto(const QUrl& source, const QString& target, qint64 maxBytes) {
  if (!source.isValid() || target.isEmpty()) return false;
  ox::HttpRequest request;
  request.url = source;
  request.downloadPath = target;
  request.maxBytes = maxBytes;
  return ox::httpPerform(request).isSuccess();
}

// fetchInto through a hidden file beside the target, which takes the target's place only when `reads` takes its
// bytes; otherwise the target stays as it was and the hidden file goes.
bool fetchChecked(const QUrl& source, const QString& target, qint64 maxBytes, bool (*reads)(const QByteArray&)) {
  const QFileInfo info(target);
  const QString partial = info.dir().filePath(QStringLiteral(".%1.%2").arg(info.fileName()).arg(
      QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
  if (!fetchInto(source, partial, maxBytes)) return false;  // leaves no file
  bool taken = false;
  {
    const ox::MappedFile fetched(partial);
    taken = fetched.status() == ox::MappedFile::Status::Mapped && reads(fetched.bytes());
    if (!taken)
      ox::log(QStringLiteral("%1 is not what it should be (%2 bytes): nothing changed")
                  .arg(source.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery))
                  .arg(fetched.size()));
  }
  taken = taken && std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) == 0;
  if (!taken) QFile::remove(partial);
  return taken;
}

// The trailer list the main application reads: a keyed archive whose "listS3" is a list of search hits.
bool readsAsTrailerList(const QByteArray& bytes) {
  const ox::KeyedUnarchiver archive(bytes);
  return archive.isValid() && archive.decodeObject(QStringLiteral("listS3")).typeId() == QMetaType::QVariantList;
}

// The images a home backdrop list names, in order and each once: absolute http(s) URLs separated by commas. Empty
// when the body is no such list (not UTF-8, or naming no image at all, as an empty answer or a web page).
QList<QUrl> homeBackdropImages(const QByteArray& body) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8.decode(body);
  if (utf8.hasError()) return {};
  QList<QUrl> images;
  QSet<QString> names;
  for (const QString& piece : text.split(QLatin1Char(','))) {
    const QUrl url = QUrl::fromEncoded(piece.trimmed().toUtf8(), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || (url.scheme() != u"http" && url.scheme() != u"https")) continue;
    const QString name = OXCoreLibrary::fileNameForURL(url);
    if (name.isEmpty() || names.contains(name)) continue;
    names.insert(name);
    images << url;
  }
  return images;
}

// A picture the main application can show: it decodes whole, as what its bytes say it is, whatever its name says, and
// within the bounds of the decoder (the size its header claims, a JPEG's scans). The downloads of a cycle decode one at
// a time, so memory holds one picture, not a folder of them; a bounded decode holds the others only briefly.
bool readsAsPicture(const QByteArray& bytes) {
  static std::mutex decoding;
  const std::lock_guard<std::mutex> lock(decoding);
  return !ox::ImageDecoder::decode(bytes).isNull();
}

QUrl sizeVariant(const QUrl& url, const QString& segment) {
  if (url.isEmpty()) return {};
  static const QRegularExpression original(QStringLiteral("/original/"),
                                           QRegularExpression::CaseInsensitiveOption);
  QString text = QString::fromLatin1(url.toEncoded());
  text.replace(original, segment);
  const QUrl result = QUrl::fromEncoded(text.toLatin1(), QUrl::StrictMode);
  return result.isValid() ? result : QUrl();
}

enum Wanted { kPoster, kBackdrop, kSoundtrack };

// A file, a link, or a folder with all it holds (errors ignored; gone already is fine).
void removeEntry(const QString& path) {
  const QFileInfo entry(path);
  if (entry.isDir() && !entry.isSymLink())
    QDir(path).removeRecursively();
  else
    QFile::remove(path);
}

}  // namespace

QString OXCoreLibrary::bucketURL(const QString& object) const {
  return OXServiceHosts::baseURL(OXService::Bucket) + QLatin1Char('/') + object;
}

QString OXCoreLibrary::fileNameForURL(const QUrl& url) { return OXApplicationSupport::cacheFileNameForURL(url); }

QUrl OXCoreLibrary::get75ModeFromURL(const QUrl& url) { return sizeVariant(url, QStringLiteral("/w75/")); }
QUrl OXCoreLibrary::get500ModeFromURL(const QUrl& url) { return sizeVariant(url, QStringLiteral("/w500/")); }
QUrl OXCoreLibrary::get1920ModeFromURL(const QUrl& url) { return sizeVariant(url, QStringLiteral("/w1920/")); }

void OXCoreLibrary::updateTrailers() {
  const QString path = library_->pathWithFolder(kTrailersFolder, kTrailersFile);
  if (path.isEmpty()) return;
  if (QFileInfo::exists(path) && library_->hoursFromLastUpdateTrailers() < 121) return;
  // Only a list that was stored is an update: anything else is fetched again at the next cycle. A fetch cut short
  // by shutdown stores nothing, so the next start fetches again.
  if (fetchChecked(QUrl(bucketURL(kTrailersFile)), path, OXDownloadBounds::kTrailerList, readsAsTrailerList))
    library_->trailersUpdated();
}

void OXCoreLibrary::updateHomeBackdrops() {
  if (library_->hoursFromLastUpdateHomeBackdrops() < 25) return;
  const bool movies = updateHomeBackdropsFromURL(QUrl(bucketURL(QStringLiteral("homeBackdropsMovies.txt"))),
                                                 QStringLiteral("homeMoviesBackdrops"));
  const bool shows = updateHomeBackdropsFromURL(QUrl(bucketURL(QStringLiteral("homeBackdropsShows.txt"))),
                                                QStringLiteral("homeShowsBackdrops"));
  // A list that did not come is asked for again at the next cycle; the images already kept are not fetched again.
  if (movies && shows && !cancel_->isCancelled()) library_->homeBackdropsUpdated();
}

bool OXCoreLibrary::updateHomeBackdropsFromURL(const QUrl& listURL, const QString& folderName) {
  const QString folder = library_->pathWithFolder(folderName, {});
  if (folder.isEmpty()) return false;
  ox::HttpRequest request;
  request.url = listURL;
  request.maxBytes = OXDownloadBounds::kBackdropList;
  const ox::HttpResponse response = ox::httpPerform(request);
  // No list, no comparison: the backdrops on disk stay what the home screen shows.
  if (!response.isSuccess()) return false;
  const QList<QUrl> images = homeBackdropImages(response.body);
  if (images.isEmpty()) {
    ox::log(QStringLiteral("%1 names no image (%2 bytes): the home backdrops are kept")
                .arg(listURL.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery))
                .arg(response.body.size()));
    return false;
  }

  QSet<QString> keep;
  std::vector<std::shared_ptr<ox::Operation>> operations;
  for (const QUrl& url : images) {
    const QString name = fileNameForURL(url);
    keep.insert(name);
    const QString target = QDir(folder).filePath(name);
    const QUrl source = get1920ModeFromURL(url);
    operations.push_back(std::make_shared<ox::Operation>(guarded([source, target] {
      if (!QFileInfo::exists(target)) fetchChecked(source, target, OXDownloadBounds::kBackdrop, readsAsPicture);
    })));
  }
  // The scan queue's thread waits on the download queue's own threads, never on its own.
  for (const auto& op : operations) resourcesDownloadQueue_.addOperation(op);
  for (const auto& op : operations) op->waitUntilFinished();

  // Every entry whose path below the folder the list does not name goes, at any depth (links are not followed).
  const QDir base(folder);
  QStringList stale;
  QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (!keep.contains(base.relativeFilePath(path))) stale << path;
  }
  for (const QString& path : stale) removeEntry(path);
  return true;
}

void OXCoreLibrary::queueDownload(const QUrl& source, const QString& target, qint64 maxBytes, ResourceCheck reads) {
  resourcesDownloadQueue_.addOperationWithBlock(guarded([source, target, maxBytes, reads] {
    if (!QFileInfo::exists(target)) fetchChecked(source, target, maxBytes, reads);
  }));
}

void OXCoreLibrary::downloadPoster(const QUrl& url, const QString& folderName) {
  const QString name = fileNameForURL(url);
  const QString folder = library_->pathWithFolder(folderName, {});
  if (name.isEmpty() || folder.isEmpty()) return;
  queueDownload(get500ModeFromURL(url), QDir(folder).filePath(name), OXDownloadBounds::kPoster, readsAsPicture);
}

void OXCoreLibrary::downloadBackdrop(const QUrl& url, const QString& folderName) {
  const QString name = fileNameForURL(url);
  const QString folder = library_->pathWithFolder(folderName, {});
  if (name.isEmpty() || folder.isEmpty()) return;
  queueDownload(get1920ModeFromURL(url), QDir(folder).filePath(name), OXDownloadBounds::kBackdrop, readsAsPicture);
}

void OXCoreLibrary::waitForDownloads() { resourcesDownloadQueue_.waitUntilAllOperationsAreFinished(); }

QList<ox::CodingPtr> OXCoreLibrary::allContents() const {
  QList<ox::CodingPtr> contents;
  for (const auto& movie : library_->movieList()) contents << movie;
  for (const auto& show : library_->showList()) contents << show;
  return contents;
}

QStringList OXCoreLibrary::wantedURLs(const QList<ox::CodingPtr>& contents, int which) {
  QStringList urls;
  const auto pick = [which](const auto& record) {
    return which == kPoster ? record->poster() : which == kBackdrop ? record->backdrops() : record->soundtrack();
  };
  for (const auto& content : contents) {
    QUrl url;
    if (const auto movie = std::dynamic_pointer_cast<OXMovie>(content))
      url = pick(movie);
    else if (const auto show = std::dynamic_pointer_cast<OXShow>(content))
      url = pick(show);
    if (!url.isEmpty()) urls << QString::fromUtf8(url.toEncoded());
  }
  return urls;
}

QStringList OXCoreLibrary::allPostersToDownload() const { return wantedURLs(allContents(), kPoster); }
QStringList OXCoreLibrary::allBackdropsToDownload() const { return wantedURLs(allContents(), kBackdrop); }
QStringList OXCoreLibrary::allSoundtracksToDownload() const { return wantedURLs(allContents(), kSoundtrack); }

void OXCoreLibrary::synchroniseFolder(const QString& folderName, const QStringList& wanted,
                                      QUrl (*source)(const QUrl&), qint64 maxBytes, ResourceCheck reads) {
  const QString folder = library_->pathWithFolder(folderName, {});
  if (folder.isEmpty()) return;
  const QStringList present =
      QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
  QSet<QString> wantedNames;
  for (const QString& text : wanted) wantedNames.insert(fileNameForURL(QUrl::fromEncoded(text.toUtf8())));
  for (const QString& name : present)
    if (!wantedNames.contains(name)) removeEntry(QDir(folder).filePath(name));
  const QSet<QString> presentNames(present.cbegin(), present.cend());
  QSet<QString> queued;  // two entries sharing one image fetch it once
  for (const QString& text : wanted) {
    const QUrl url = QUrl::fromEncoded(text.toUtf8());
    const QString name = fileNameForURL(url);
    if (name.isEmpty() || presentNames.contains(name) || queued.contains(name)) continue;
    const QUrl from = source ? source(url) : url;
    if (!from.isValid() || from.isEmpty()) continue;
    queued.insert(name);
    queueDownload(from, QDir(folder).filePath(name), maxBytes, reads);
  }
}

void OXCoreLibrary::updatePosters() {
  synchroniseFolder(QStringLiteral("posters"), allPostersToDownload(), &OXCoreLibrary::get500ModeFromURL,
                    OXDownloadBounds::kPoster, readsAsPicture);
}

void OXCoreLibrary::updateBackdrops() {
  synchroniseFolder(QStringLiteral("backdrops"), allBackdropsToDownload(), &OXCoreLibrary::get1920ModeFromURL,
                    OXDownloadBounds::kBackdrop, readsAsPicture);
}

void OXCoreLibrary::updateSoundtracks() {
  synchroniseFolder(QStringLiteral("soundtrack.preview"), allSoundtracksToDownload(), nullptr,
                    OXDownloadBounds::kSoundtrack, SoundtrackCheck::readsAsSoundtrack);
}
