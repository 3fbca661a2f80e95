#include "core/OXRootList.h"

#include <QDir>
#include <QSet>
#include <vector>

#include "core/OXDetachedCopy.h"
#include "core/OXFolderWalk.h"
#include "core/OXLibrary.h"
#include "platform/foundation/FileName.h"
#include "platform/foundation/NotificationCenter.h"

namespace {

constexpr int kMovie = 1;
constexpr int kEpisode = 3;
constexpr int kUnknownMovie = 4;
constexpr int kUnknownEpisode = 5;

// No empty, "." or ".." component and no "/" at the end: what QDir::cleanPath leaves as it is.
bool isClean(const QString& path) {
  const QChar* c = path.constData();
  const qsizetype n = path.size();
  for (qsizetype start = 0, i = 0; i <= n; ++i) {
    if (i < n && c[i] != QLatin1Char('/')) continue;
    const qsizetype length = i - start;
    if ((length == 0 && start != 0) || (length == 1 && c[start] == QLatin1Char('.')) ||
        (length == 2 && c[start] == QLatin1Char('.') && c[start + 1] == QLatin1Char('.')))
      return false;
    start = i + 1;
  }
  return true;
}

QString cleanPath(const QString& path) { return OXRootList::cleanedPath(path); }

bool existsOnDisk(const QString& path, bool asFolder) {
  return asFolder ? ox::isFolderAtPath(path) : ox::existsAtPath(path);
}

// A folder as stored: a directory URL of its cleaned path, ending in "/", its name's bytes as the disk has them.
QUrl directoryUrl(const QString& canonical) {
  return ox::fileURLOfPath(canonical.endsWith(QLatin1Char('/')) ? canonical : canonical + QLatin1Char('/'));
}

QString pathOfEntry(const ox::CodingPtr& entry) {
  std::shared_ptr<OXFile> file;
  if (auto movie = std::dynamic_pointer_cast<OXMovie>(entry))
    file = movie->file();
  else if (auto episode = std::dynamic_pointer_cast<OXEpisode>(entry))
    file = episode->file();
  else
    file = std::dynamic_pointer_cast<OXFile>(entry);
  return file ? cleanPath(file->filePath()) : QString();
}

template <class List>
QList<ox::CodingPtr> codings(const List& list) {
  QList<ox::CodingPtr> out;
  out.reserve(list.size());
  for (const auto& item : list) out << item;
  return out;
}

}  // namespace

OXRootList::OXRootList() = default;

QString OXRootList::cleanedPath(const QString& path) {
  if (path.isEmpty()) return {};
  return isClean(path) ? path : QDir::cleanPath(path);
}

QString OXRootList::canonicalFolderPath(const QUrl& url) {
  return cleanPath(ox::pathOfFileURL(url));
}

bool OXRootList::pathLiesInFolder(const QString& path, const QString& folder) {
  if (folder.isEmpty() || path.size() <= folder.size()) return false;
  if (folder == QLatin1String("/")) return path.startsWith(folder);
  return path.startsWith(folder) && path.at(folder.size()) == QLatin1Char('/');
}

void OXRootList::setLibrary(const std::weak_ptr<OXLibrary>& library) {
  std::lock_guard hold(mutex_);
  library_ = library;
  hasLibrary_ = true;
}

std::shared_ptr<OXLibrary> OXRootList::library() const {
  {
    std::lock_guard hold(mutex_);
    if (hasLibrary_) return library_.lock();
  }
  return OXLibrary::shareLibrary()->shared_from_this();
}

QList<QUrl> OXRootList::moviePaths() const {
  std::lock_guard hold(mutex_);
  return detachedCopy(moviePaths_);
}

void OXRootList::setMoviePaths(const QList<QUrl>& paths) {
  QList<QUrl> copy = detachedCopy(paths);
  std::lock_guard hold(mutex_);
  moviePaths_.swap(copy);
}

QList<QUrl> OXRootList::episodePaths() const {
  std::lock_guard hold(mutex_);
  return detachedCopy(episodePaths_);
}

void OXRootList::setEpisodePaths(const QList<QUrl>& paths) {
  QList<QUrl> copy = detachedCopy(paths);
  std::lock_guard hold(mutex_);
  episodePaths_.swap(copy);
}

quint64 OXRootList::numberOfMovieRootPaths() const { return quint64(moviePaths().size()); }
quint64 OXRootList::numberOfEpisodesRootPaths() const { return quint64(episodePaths().size()); }

QList<QUrl> OXRootList::pathsOfKind(int type) const { return type == kMovie ? moviePaths() : episodePaths(); }

QList<QUrl> OXRootList::folderToScanType(int type) const {
  const QList<QUrl> folders = pathsOfKind(type);
  QStringList canonical;
  for (const QUrl& url : folders) canonical << canonicalFolderPath(url);
  QList<QUrl> out;
  for (qsizetype i = 0; i < folders.size(); ++i) {
    bool nested = false;
    for (qsizetype j = 0; j < folders.size() && !nested; ++j)
      nested = canonical[j] != canonical[i] && pathLiesInFolder(canonical[i], canonical[j]);
    if (!nested) out << folders[i];
  }
  return out;
}

bool OXRootList::addURLs(const QList<QUrl>& urls, int type) {
  QSet<QString> before;
  for (const QUrl& url : folderToScanType(type)) before.insert(canonicalFolderPath(url));
  {
    std::lock_guard hold(mutex_);
    QList<QUrl>& list = type == kMovie ? moviePaths_ : episodePaths_;
    QSet<QString> held;
    for (const QUrl& url : list) held.insert(canonicalFolderPath(url));
    for (const QUrl& url : urls) {
      const QString canonical = canonicalFolderPath(url);
      if (canonical.isEmpty() || held.contains(canonical)) continue;  // not a folder on disk, or held already
      held.insert(canonical);
      list << directoryUrl(canonical);
    }
  }
  for (const QUrl& url : folderToScanType(type))
    if (!before.contains(canonicalFolderPath(url))) return true;
  return false;
}

QStringList OXRootList::getAllVideoFilesFromPath(const QString& path) {
  static const QStringList kVideoSuffixes = {
      QStringLiteral(".mkv"), QStringLiteral(".mp4"), QStringLiteral(".mov"), QStringLiteral(".mpg"),
      QStringLiteral(".m4v"), QStringLiteral(".avi"), QStringLiteral(".ts")};
  return pathsBelowFolder(path, kVideoSuffixes);
}

QStringList OXRootList::filesNotScanned(const QList<QUrl>& folders, int type) const {
  const auto lib = library();
  QSet<QString> listed;
  QStringList out;
  // The walk gives paths in cleaned form (a cleaned folder and plain names), so they are looked up as they are. A
  // file under two chosen folders (one inside the other) is listed once.
  for (const QUrl& folder : folders) {
    const QStringList found = getAllVideoFilesFromPath(canonicalFolderPath(folder));
    for (const QString& path : lib ? lib->unlistedPaths(found, type) : found) {
      if (folders.size() > 1) {
        if (listed.contains(path)) continue;
        listed.insert(path);
      }
      out << path;
    }
  }
  return out;
}

QStringList OXRootList::getMovieFilesNotScanned() const { return filesNotScanned(moviePaths(), kMovie); }

QStringList OXRootList::getEpisodeFilesNotScanned() const { return filesNotScanned(episodePaths(), kEpisode); }

bool OXRootList::isInRootPath(const QString& path, int contentType) const {
  QList<QUrl> folders;
  if (contentType == kMovie || contentType == kUnknownMovie)
    folders = moviePaths();
  else if (contentType == kEpisode || contentType == kUnknownEpisode)
    folders = episodePaths();
  const QString canonical = cleanPath(path);
  for (const QUrl& folder : folders)
    if (pathLiesInFolder(canonical, canonicalFolderPath(folder))) return true;
  return false;
}

void OXRootList::removeDeprecatedFilesFromList(const QList<ox::CodingPtr>& list, int contentType) {
  const auto lib = library();
  if (!lib) return;
  QStringList folders;
  for (const QUrl& url : (contentType == kMovie || contentType == kUnknownMovie)       ? moviePaths()
                         : (contentType == kEpisode || contentType == kUnknownEpisode) ? episodePaths()
                                                                                        : QList<QUrl>())
    folders << canonicalFolderPath(url);
  std::vector<int> present(size_t(folders.size()), -1);  // whether a chosen folder is there, asked once
  for (const ox::CodingPtr& entry : list) {
    const QString path = pathOfEntry(entry);
    if (path.isEmpty()) continue;  // nothing to test a record without a file against

    // A file that is gone from a folder that is there was deleted. When the chosen folder itself is missing, its
    // disk is only unplugged (or not yet mounted) and the entry stays. The deepest chosen folder decides: a disk
    // mounted inside another chosen folder is absent when its own folder is.
    qsizetype root = -1;
    for (qsizetype i = 0; i < folders.size(); ++i)
      if (pathLiesInFolder(path, folders[i]) && (root < 0 || folders[i].size() > folders[root].size())) root = i;
    if (root < 0) {  // in no chosen folder
      if (const auto file = std::dynamic_pointer_cast<OXFile>(entry))
        lib->removeUnknown(file);
      else
        lib->removeContent(entry);
      continue;
    }
    int& there = present[size_t(root)];
    if (there < 0) there = existsOnDisk(folders[root], true);
    if (there && !existsOnDisk(path, false)) lib->removeContent(entry);
  }
}

void OXRootList::cleanShowsWithOutEpisodes() {
  if (const auto lib = library()) lib->removeShowsWithoutEpisodes();
}

void OXRootList::removeElementsOutsideFolderToScan() {
  if (const auto lib = library()) {
    removeDeprecatedFilesFromList(codings(lib->movieList()), kMovie);
    removeDeprecatedFilesFromList(codings(lib->episodeList()), kEpisode);
    removeDeprecatedFilesFromList(codings(lib->unknownMovieList()), kUnknownMovie);
    removeDeprecatedFilesFromList(codings(lib->unknownEpisodeList()), kUnknownEpisode);
    cleanShowsWithOutEpisodes();
  }
  ox::NotificationCenter::defaultCenter().post(QStringLiteral("reloadContentList"));
  ox::NotificationCenter::defaultCenter().post(QStringLiteral("libraryChanged"));
}

void OXRootList::removeObjectAtIndex(qsizetype index, int type) {
  if (type != kMovie && type != kEpisode) return;
  std::lock_guard hold(mutex_);
  QList<QUrl>& list = type == kMovie ? moviePaths_ : episodePaths_;
  if (index >= 0 && index < list.size()) list.removeAt(index);
}

void OXRootList::encodeWithCoder(ox::Coder& coder) const {
  QVariantList movies;
  QVariantList episodes;
  for (const QUrl& url : moviePaths()) movies << url;
  for (const QUrl& url : episodePaths()) episodes << url;
  coder.encodeObject(movies, QStringLiteral("moviePaths"));
  coder.encodeObject(episodes, QStringLiteral("episodePaths"));
}

std::shared_ptr<OXRootList> OXRootList::initWithCoder(const ox::Decoder& coder) {
  auto list = std::make_shared<OXRootList>();
  const auto urls = [&](const QString& key) {
    QList<QUrl> out;
    for (const QVariant& v : coder.decodeList(key)) {
      if (v.typeId() == QMetaType::QUrl && !v.toUrl().isEmpty())
        out << v.toUrl();
      else if (v.isValid() && v.typeId() != QMetaType::QUrl)
        coder.noteMismatch(key);
    }
    return out;
  };
  list->moviePaths_ = urls(QStringLiteral("moviePaths"));
  list->episodePaths_ = urls(QStringLiteral("episodePaths"));
  return list;
}
