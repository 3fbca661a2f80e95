#include "core/OXLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cmath>

#include "core/OXArchiveClasses.h"
#include "core/OXDetachedCopy.h"
#include "core/OXFolderWalk.h"
#include "platform/foundation/Info.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

namespace {

QString filePathOf(const std::shared_ptr<OXFile>& file) { return file ? file->filePath() : QString(); }
QString filePathOf(const std::shared_ptr<OXMovie>& movie) { return filePathOf(movie->file()); }
QString filePathOf(const std::shared_ptr<OXEpisode>& episode) { return filePathOf(episode->file()); }

// What makes two streamer titles one.
QString streamKeyOf(const std::shared_ptr<OXMovie>& movie) { return movie->imdb(); }
quint64 streamKeyOf(const std::shared_ptr<OXShow>& show) { return show->showID(); }
quint64 streamKeyOf(const std::shared_ptr<OXEpisode>& episode) { return episode->episodeID(); }

// Keys of one record, written and read back in memory: rebuilds a record with a changed key.
class RecordKeys final : public ox::Coder, public ox::Decoder {
 public:
  QVariantMap values;
  void encodeObject(const QVariant& value, const QString& key) override { values.insert(key, value); }
  void encodeInt64(qint64 value, const QString& key) override { values.insert(key, value); }
  void encodeDouble(double value, const QString& key) override { values.insert(key, value); }
  void encodeFloat(float value, const QString& key) override { values.insert(key, value); }
  void encodeBool(bool value, const QString& key) override { values.insert(key, value); }
  bool containsValue(const QString& key) const override { return values.contains(key); }
  QVariant decodeObject(const QString& key) const override { return values.value(key); }
  qint64 decodeInt64(const QString& key) const override { return values.value(key).toLongLong(); }
  double decodeDouble(const QString& key) const override { return values.value(key).toDouble(); }
  float decodeFloat(const QString& key) const override { return values.value(key).toFloat(); }
  bool decodeBool(const QString& key) const override { return values.value(key).toBool(); }
};

// The record with `more` appended to its links, duplicates included. The listed record is replaced rather than
// changed, so a reader that holds the earlier list sees the earlier record whole.
template <class T>
std::shared_ptr<T> withLinksAppended(const std::shared_ptr<T>& record, const QStringList& more) {
  RecordKeys keys;
  record->encodeWithCoder(keys);
  QVariantList links = keys.values.value(QStringLiteral("links")).toList();
  for (const QString& link : more) links << link;
  keys.values.insert(QStringLiteral("links"), links);
  auto rebuilt = T::initWithCoder(keys);
  return rebuilt ? rebuilt : record;
}

template <class T>
qsizetype removeEvery(QList<std::shared_ptr<T>>& list, const std::shared_ptr<T>& record) {
  return list.removeIf([&](const std::shared_ptr<T>& item) { return item == record; });
}

}  // namespace

template <class T>
void OXLibrary::PathIndexed<T>::count(const QString& path, qsizetype by) const {
  const auto bump = [by](PathCounts& counts, const QString& key) {
    const auto it = counts.find(key);
    if (it == counts.end()) {
      if (by > 0) counts.emplace(key, by);
    } else if ((it->second += by) <= 0) {
      counts.erase(it);
    }
  };
  bump(paths, path);
  const QString cleaned = OXRootList::cleanedPath(path);
  if (cleaned != path) bump(cleanedAliases, cleaned);
}

template <class T>
void OXLibrary::PathIndexed<T>::countAll() const {
  if (counted) return;
  counted = true;
  paths.reserve(size_t(items.size()));
  for (const auto& item : items) count(filePathOf(item), 1);
}

template <class T>
void OXLibrary::PathIndexed<T>::append(const std::shared_ptr<T>& item, const QString& path) {
  countAll();
  items << item;
  count(path, 1);
}

template <class T>
void OXLibrary::PathIndexed<T>::removeEvery(const std::shared_ptr<T>& item) {
  countAll();
  const qsizetype removed = items.removeIf([&](const std::shared_ptr<T>& listed) { return listed == item; });
  if (removed > 0) count(filePathOf(item), -removed);
}

template <class T>
void OXLibrary::PathIndexed<T>::reset(QList<std::shared_ptr<T>> list) {
  items = std::move(list);
  paths.clear();
  cleanedAliases.clear();
  counted = items.isEmpty();
}

template <class T, class Key, class Hash>
std::shared_ptr<T>* OXLibrary::KeyIndexed<T, Key, Hash>::listedOrAppend(const std::shared_ptr<T>& item) {
  if (!indexed) {
    indexed = true;
    first.reserve(size_t(items.size()));
    // Of records listed under one key, the first is the one found, as a scan of the list would find it.
    for (qsizetype i = 0; i < items.size(); ++i) first.emplace(streamKeyOf(items.at(i)), i);
  }
  const auto [at, added] = first.emplace(streamKeyOf(item), items.size());
  if (!added) return &items[at->second];
  items << item;
  return nullptr;
}

template <class T, class Key, class Hash>
void OXLibrary::KeyIndexed<T, Key, Hash>::reset(QList<std::shared_ptr<T>> list) {
  items = std::move(list);
  first.clear();
  indexed = items.isEmpty();
}

// The store's files (OXLibraryFiles.cpp) fill the lists too.
template struct OXLibrary::PathIndexed<OXMovie>;
template struct OXLibrary::PathIndexed<OXEpisode>;
template struct OXLibrary::PathIndexed<OXFile>;
template struct OXLibrary::KeyIndexed<OXMovie, QString, OXLibrary::PathHash>;
template struct OXLibrary::KeyIndexed<OXShow, quint64>;
template struct OXLibrary::KeyIndexed<OXEpisode, quint64>;

// ---------------------------------------------------------------------------------------------------------------------
// Creation and files

OXLibrary::OXLibrary(const QString& supportFolder) {
  QString base = supportFolder.isEmpty() ? ox::applicationSupportDirectory() : supportFolder;
  if (base.isEmpty()) base = QDir::tempPath();
  storeFolder_ = QDir(base).filePath(QStringLiteral("Ombrix"));
}

std::shared_ptr<OXLibrary> OXLibrary::create(const QString& supportFolder, bool announce) {
  std::shared_ptr<OXLibrary> library(new OXLibrary(supportFolder));
  library->init(announce);
  return library;
}

void OXLibrary::init(bool announce) {
  readLibraryFile();
  if (announce) ox::NotificationCenter::defaultCenter().post(QStringLiteral("libraryChanged"));
  loadRatios();
  loadStreamers();
}

OXLibrary* OXLibrary::shareLibrary() {
  static std::once_flag once;
  static std::shared_ptr<OXLibrary>* shared = nullptr;  // never destroyed: late users during exit stay safe
  bool created = false;
  std::call_once(once, [&] {
    shared = new std::shared_ptr<OXLibrary>(create(QString(), false));
    created = true;
  });
  // Posted once the store is published, so an observer that asks for the store gets it.
  if (created) ox::NotificationCenter::defaultCenter().post(QStringLiteral("libraryChanged"));
  return shared->get();
}

std::shared_ptr<OXLibrary> OXLibrary::libraryWithSupportFolder(const QString& supportFolder) {
  return create(supportFolder, true);
}

QDateTime OXLibrary::referenceDate() { return QDateTime::fromSecsSinceEpoch(0, Qt::UTC); }

void OXLibrary::adopt(const std::shared_ptr<OXRootList>& rootList) { rootList->setLibrary(weak_from_this()); }

void OXLibrary::clearLibrary() {
  auto rootList = std::make_shared<OXRootList>();
  adopt(rootList);
  {
    std::lock_guard hold(lock_);
    rootList_ = rootList;
    unknownMovieList_.reset({});
    unknownEpisodeList_.reset({});
    movieList_.reset({});
    showList_.clear();
    episodeList_.reset({});
    lastHomeBackdropUpdate_ = referenceDate();
    lastTrailersUpdate_ = referenceDate();
  }
  std::lock_guard hold(ratioLock_);
  ratioList_.clear();
}

OXLibrary::~OXLibrary() {
  // Waiting saves are written, not dropped, before the store goes.
  saveQueue_.waitUntilAllOperationsAreFinished();
}

QStringList OXLibrary::unlistedPaths(const QStringList& paths, int type) const {
  QStringList out;
  std::lock_guard hold(lock_);
  const bool movies = type == OXFile::kTypeMovie;
  for (const QString& path : paths) {
    const bool listed = movies ? movieList_.holdsCleaned(path) || unknownMovieList_.holdsCleaned(path)
                               : episodeList_.holdsCleaned(path) || unknownEpisodeList_.holdsCleaned(path);
    if (!listed) out << path;
  }
  return out;
}

bool OXLibrary::isLibraryEmpty() const {
  std::lock_guard hold(lock_);
  return movieList_.items.isEmpty() && episodeList_.items.isEmpty();
}

// ---------------------------------------------------------------------------------------------------------------------
// Lists

OXLibrary::MovieList OXLibrary::movieList() const {
  std::lock_guard hold(lock_);
  return detachedCopy(movieList_.items);
}
OXLibrary::ShowList OXLibrary::showList() const {
  std::lock_guard hold(lock_);
  return detachedCopy(showList_);
}
OXLibrary::EpisodeList OXLibrary::episodeList() const {
  std::lock_guard hold(lock_);
  return detachedCopy(episodeList_.items);
}
OXLibrary::FileList OXLibrary::unknownMovieList() const {
  std::lock_guard hold(lock_);
  return detachedCopy(unknownMovieList_.items);
}
OXLibrary::FileList OXLibrary::unknownEpisodeList() const {
  std::lock_guard hold(lock_);
  return detachedCopy(unknownEpisodeList_.items);
}
OXLibrary::FileList OXLibrary::unknownEpisodeToReSearch() const {
  std::lock_guard hold(lock_);
  return detachedCopy(unknownEpisodeToReSearch_.items);
}

bool OXLibrary::showAlreadyExistInList(const std::shared_ptr<OXShow>& show) const {
  if (!show) return false;
  std::lock_guard hold(lock_);
  for (const auto& s : showList_)
    if (s->showID() == show->showID()) return true;
  return false;
}

bool OXLibrary::addContent(const ox::CodingPtr& record) {
  if (auto movie = std::dynamic_pointer_cast<OXMovie>(record)) {
    const QString path = filePathOf(movie);
    std::lock_guard hold(lock_);
    if (movieList_.holds(path)) return false;
    movieList_.append(movie, path);
    return true;
  }
  if (auto episode = std::dynamic_pointer_cast<OXEpisode>(record)) {
    const QString path = filePathOf(episode);
    std::lock_guard hold(lock_);
    if (episodeList_.holds(path)) return false;
    episodeList_.append(episode, path);
    return true;
  }
  if (auto show = std::dynamic_pointer_cast<OXShow>(record)) {
    std::lock_guard hold(lock_);
    for (const auto& s : showList_)
      if (s->showID() == show->showID()) return false;
    showList_ << show;
    return true;
  }
  return false;
}

void OXLibrary::removeContent(const ox::CodingPtr& record) {
  std::lock_guard hold(lock_);
  if (auto movie = std::dynamic_pointer_cast<OXMovie>(record))
    movieList_.removeEvery(movie);
  else if (auto show = std::dynamic_pointer_cast<OXShow>(record))
    removeEvery(showList_, show);
  else if (auto episode = std::dynamic_pointer_cast<OXEpisode>(record))
    episodeList_.removeEvery(episode);
  else if (auto file = std::dynamic_pointer_cast<OXFile>(record)) {
    unknownMovieList_.removeEvery(file);
    unknownEpisodeList_.removeEvery(file);
  }
}

void OXLibrary::removeShowsWithoutEpisodes() {
  std::lock_guard hold(lock_);
  QSet<quint64> withEpisodes;
  for (const auto& episode : episodeList_.items) withEpisodes.insert(episode->showID());
  showList_.removeIf([&](const std::shared_ptr<OXShow>& show) { return !withEpisodes.contains(show->showID()); });
}

void OXLibrary::addUnknown(const std::shared_ptr<OXFile>& file) {
  if (!file) return;
  const qint32 type = file->type();
  if (type != OXFile::kTypeMovie && type != OXFile::kTypeEpisode) return;
  const QString path = file->filePath();
  std::lock_guard hold(lock_);
  PathIndexed<OXFile>& list = type == OXFile::kTypeMovie ? unknownMovieList_ : unknownEpisodeList_;
  if (!list.holds(path)) list.append(file, path);
}

void OXLibrary::removeUnknown(const std::shared_ptr<OXFile>& file) {
  if (!file) return;
  const qint32 type = file->type();
  if (type != OXFile::kTypeMovie && type != OXFile::kTypeEpisode) return;
  std::lock_guard hold(lock_);
  (type == OXFile::kTypeMovie ? unknownMovieList_ : unknownEpisodeList_).removeEvery(file);
}

void OXLibrary::addUnknownEpisodeToReSearch(const std::shared_ptr<OXFile>& file) {
  if (!file) return;
  const QString path = file->filePath();
  std::lock_guard hold(lock_);
  if (!unknownEpisodeToReSearch_.holds(path)) unknownEpisodeToReSearch_.append(file, path);
}

void OXLibrary::removeUnknownEpisodeToReSearch(const std::shared_ptr<OXFile>& file) {
  std::lock_guard hold(lock_);
  unknownEpisodeToReSearch_.removeEvery(file);
}

void OXLibrary::clearUnknownEpisodeToReSearch() {
  std::lock_guard hold(lock_);
  unknownEpisodeToReSearch_.reset({});
}

// ---------------------------------------------------------------------------------------------------------------------
// Streamers

QStringList OXLibrary::getAllStreamerFilesFromPath(const QString& path) {
  return pathsBelowFolder(path, {QStringLiteral(".bundle")});
}

void OXLibrary::loadStreamers() {
  StreamerList loaded;
  const QString folder = pathWithFolder(QStringLiteral("streamers"), {});
  if (!folder.isEmpty()) {
    for (const QString& bundle : getAllStreamerFilesFromPath(folder)) {
      const auto plugin = OXStreamerPlugin::bundleWithPath(bundle);
      if (plugin && plugin->initializeClass(bundle)) loaded << plugin;
    }
  }
  std::lock_guard hold(lock_);
  streamers_ = loaded;
}

void OXLibrary::updateStreamers() { loadStreamers(); }

OXLibrary::MovieList OXLibrary::moviesToStreams() const {
  std::lock_guard hold(lock_);
  return detachedCopy(moviesStreamers_.items);
}
OXLibrary::ShowList OXLibrary::showsToStreams() const {
  std::lock_guard hold(lock_);
  return detachedCopy(showsStreamers_.items);
}
OXLibrary::EpisodeList OXLibrary::episodesToStreams() const {
  std::lock_guard hold(lock_);
  return detachedCopy(episodesStreamers_.items);
}

void OXLibrary::addStreamContent(const ox::CodingPtr& record) {
  if (auto movie = std::dynamic_pointer_cast<OXMovie>(record)) {
    std::lock_guard hold(lock_);
    if (auto* listed = moviesStreamers_.listedOrAppend(movie)) *listed = withLinksAppended(*listed, movie->links());
  } else if (auto show = std::dynamic_pointer_cast<OXShow>(record)) {
    std::lock_guard hold(lock_);
    showsStreamers_.listedOrAppend(show);
  } else if (auto episode = std::dynamic_pointer_cast<OXEpisode>(record)) {
    std::lock_guard hold(lock_);
    if (auto* listed = episodesStreamers_.listedOrAppend(episode))
      *listed = withLinksAppended(*listed, episode->links());
  }
}

void OXLibrary::clearStreamsData() {
  std::lock_guard hold(lock_);
  moviesStreamers_.reset({});
  showsStreamers_.reset({});
  episodesStreamers_.reset({});
}

// ---------------------------------------------------------------------------------------------------------------------
// Dates, images and the movie list as JSON

quint64 OXLibrary::hoursSince(const QDateTime& date) {
  const double ms = std::fabs(double(QDateTime::currentDateTimeUtc().toMSecsSinceEpoch() - date.toMSecsSinceEpoch()));
  return quint64(std::llround(ms / 3600000.0));
}

quint64 OXLibrary::hoursFromLastUpdateHomeBackdrops() const {
  std::lock_guard hold(lock_);
  return hoursSince(lastHomeBackdropUpdate_);
}

QDateTime OXLibrary::lastHomeBackdropUpdate() const {
  std::lock_guard hold(lock_);
  return lastHomeBackdropUpdate_;
}

void OXLibrary::setLastHomeBackdropUpdate(const QDateTime& date) {
  std::lock_guard hold(lock_);
  lastHomeBackdropUpdate_ = date;
}

QDateTime OXLibrary::lastTrailersUpdate() const {
  std::lock_guard hold(lock_);
  return lastTrailersUpdate_;
}

void OXLibrary::setLastTrailersUpdate(const QDateTime& date) {
  std::lock_guard hold(lock_);
  lastTrailersUpdate_ = date;
}

void OXLibrary::homeBackdropsUpdated() {
  std::lock_guard hold(lock_);
  lastHomeBackdropUpdate_ = QDateTime::currentDateTimeUtc();
}

quint64 OXLibrary::hoursFromLastUpdateTrailers() const {
  std::lock_guard hold(lock_);
  return hoursSince(lastTrailersUpdate_);
}

void OXLibrary::trailersUpdated() {
  std::lock_guard hold(lock_);
  lastTrailersUpdate_ = QDateTime::currentDateTimeUtc();
}

QStringList OXLibrary::getAllImageFilesFromPath(const QString& path) {
  return pathsBelowFolder(path, {QStringLiteral(".jpg")});
}

QStringList OXLibrary::getHomeMovieImagesPath() const {
  return getAllImageFilesFromPath(pathWithFolder(QStringLiteral("homeMoviesBackdrops"), {}));
}

QStringList OXLibrary::getHomeShowImagesPath() const {
  return getAllImageFilesFromPath(pathWithFolder(QStringLiteral("homeShowsBackdrops"), {}));
}

QVariant OXLibrary::posterContent(const QVariantMap& movie) {
  if (movie.contains(QStringLiteral("poster"))) return movie.value(QStringLiteral("poster"));
  const QVariant posters = movie.value(QStringLiteral("posters"));
  if (posters.typeId() == QMetaType::QString) return posters;
  if (posters.typeId() == QMetaType::QVariantList && !posters.toList().isEmpty()) return posters.toList().first();
  return {};
}

QVariant OXLibrary::backdropsContent(const QVariantMap& movie) {
  if (movie.contains(QStringLiteral("backdrops_Mac"))) return movie.value(QStringLiteral("backdrops_Mac"));
  const QVariant backdrops = movie.value(QStringLiteral("backdrops"));
  if (backdrops.typeId() == QMetaType::QVariantList && !backdrops.toList().isEmpty())
    return backdrops.toList().mid(0, 3);
  return {};
}

QVariantList OXLibrary::getMovieListJSON() const {
  QVariantList out;
  for (const auto& movie : movieList()) {
    QVariantMap entry;
    const auto text = [&](const char* key, const QString& value) {
      if (!value.isNull()) entry.insert(QLatin1String(key), value);
    };
    const auto url = [&](const char* key, const QUrl& value) {
      if (!value.isEmpty()) entry.insert(QLatin1String(key), value.toString(QUrl::FullyEncoded));
    };
    text("imdb", movie->imdb());
    text("title", movie->title());
    entry.insert(QStringLiteral("year"), movie->year());
    entry.insert(QStringLiteral("runtime"), movie->runtime());
    if (!movie->genres().isEmpty()) entry.insert(QStringLiteral("genre"), movie->genres());
    entry.insert(QStringLiteral("rating"), movie->rating());
    url("soundtrack", movie->soundtrack());
    url("poster", movie->poster());
    url("backdrops", movie->backdrops());
    entry.insert(QStringLiteral("popularity"), movie->popularity());
    entry.insert(QStringLiteral("score"), movie->score());
    if (const auto file = movie->file()) {
      text("filePath", file->filePath());
      text("fulltext", file->fulltext());
    }
    out << entry;
  }
  return out;
}

// ---------------------------------------------------------------------------------------------------------------------
// Subtitle languages and properties

QVariantList OXLibrary::defaultLanguagesDictionary() {
  static const char* const kNames[] = {
      "Arabic",    "Bosnian",  "Brazilian", "Bulgarian",  "Chinese", "Croatian",  "Czech",      "Danish", "Dutch",
      "English",   "Estonian", "Finnish",   "French",     "German",  "Greek",     "Hebrew",     "Hungarian",
      "Indonesian", "Italian", "Japanese",  "Korean",     "Norwegian", "Polish",  "Portuguese", "Romanian",
      "Russian",   "Serbian",  "Slovak",    "Slovenian",  "Spanish", "Swedish",   "Thai",       "Turkish"};
  static const char* const kEnabled[] = {"English", "French", "German", "Italian", "Portuguese", "Spanish"};
  const auto localized = [](const char* name) { return QCoreApplication::translate("OXLibrary", name); };
  QStringList enabled;
  for (const char* name : kEnabled) enabled << localized(name);
  QVariantList out;
  for (const char* name : kNames) {
    const QString shown = localized(name);
    out << QVariantMap{{QStringLiteral("LanguageName"), shown}, {QStringLiteral("enable"), enabled.contains(shown)}};
  }
  return out;
}

std::shared_ptr<OXRootList> OXLibrary::rootList() const {
  std::lock_guard hold(lock_);
  return rootList_;
}

void OXLibrary::setRootList(std::shared_ptr<OXRootList> rootList) {
  if (!rootList) rootList = std::make_shared<OXRootList>();
  adopt(rootList);
  std::lock_guard hold(lock_);
  rootList_ = rootList;
}

OXLibrary::ShowCache OXLibrary::cacheShow() const {
  std::lock_guard hold(lock_);
  return detachedCopy(cacheShow_);
}

void OXLibrary::setCacheShow(const ShowCache& cache) {
  ShowCache copy = detachedCopy(cache);
  std::lock_guard hold(lock_);
  cacheShow_.swap(copy);
}

std::shared_ptr<OXShow> OXLibrary::cachedShow(const QString& fulltext) const {
  std::lock_guard hold(lock_);
  return cacheShow_.value(fulltext);
}

void OXLibrary::setCachedShow(const QString& fulltext, const std::shared_ptr<OXShow>& show) {
  std::lock_guard hold(lock_);
  if (show)
    cacheShow_.insert(fulltext, show);
  else
    cacheShow_.remove(fulltext);
}

QVariantList OXLibrary::subtitleLanguages() const {
  std::lock_guard hold(lock_);
  return subtitleLanguages_;
}

void OXLibrary::changeSubtitleLanguages(const std::function<void(QVariantList&)>& change) {
  std::lock_guard hold(lock_);
  QVariantList languages = subtitleLanguages_;
  change(languages);
  subtitleLanguages_ = languages;
}

void OXLibrary::setSubtitleLanguages(const QVariantList& languages) {
  std::lock_guard hold(lock_);
  subtitleLanguages_ = languages;
}

OXLibrary::StreamerList OXLibrary::streamers() const {
  std::lock_guard hold(lock_);
  return streamers_;
}

void OXLibrary::setStreamers(const StreamerList& streamers) {
  std::lock_guard hold(lock_);
  streamers_ = streamers;
}

QDateTime OXLibrary::lastStreamersUpdate() const {
  std::lock_guard hold(lock_);
  return lastStreamersUpdate_;
}

void OXLibrary::setLastStreamersUpdate(const QDateTime& date) {
  std::lock_guard hold(lock_);
  lastStreamersUpdate_ = date;
}

bool OXLibrary::listenSoundtracks() const {
  std::lock_guard hold(lock_);
  return listenSoundtracks_;
}

void OXLibrary::setListenSoundtracks(bool listen) {
  std::lock_guard hold(lock_);
  listenSoundtracks_ = listen;
}
