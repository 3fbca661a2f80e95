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

const QString kLibraryFile = QStringLiteral("library.bin");

void registerLibraryArchiveClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    registerCoreArchiveClasses();
    ox::registerArchiveClass(QStringLiteral("OXRootList"),
                             [](const ox::Decoder& d) { return OXRootList::initWithCoder(d); });
  });
}

template <class T>
QList<std::shared_ptr<T>> decodeRecords(const ox::Decoder& d, const QString& key) {
  QList<std::shared_ptr<T>> out;
  for (const QVariant& v : d.decodeList(key))
    if (auto record = ox::codingAs<T>(v)) out << record;
  return out;
}

template <class T>
QVariantList recordVariants(const QList<std::shared_ptr<T>>& list) {
  QVariantList out;
  out.reserve(list.size());
  for (const auto& record : list) out << ox::wrapCoding(record);
  return out;
}

QString filePathOf(const std::shared_ptr<OXFile>& file) { return file ? file->filePath() : QString(); }
QString filePathOf(const std::shared_ptr<OXMovie>& movie) { return filePathOf(movie->file()); }
QString filePathOf(const std::shared_ptr<OXEpisode>& episode) { return filePathOf(episode->file()); }

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
void OXLibrary::PathIndexed<T>::append(const std::shared_ptr<T>& item, const QString& path) {
  items << item;
  ++paths[path];
}

template <class T>
void OXLibrary::PathIndexed<T>::removeEvery(const std::shared_ptr<T>& item) {
  const qsizetype removed = items.removeIf([&](const std::shared_ptr<T>& listed) { return listed == item; });
  if (removed == 0) return;
  const auto it = paths.find(filePathOf(item));
  if (it == paths.end()) return;
  *it -= removed;
  if (*it <= 0) paths.erase(it);
}

template <class T>
void OXLibrary::PathIndexed<T>::reset(QList<std::shared_ptr<T>> list) {
  items = std::move(list);
  paths.clear();
  for (const auto& item : items) ++paths[filePathOf(item)];
}

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

QString OXLibrary::pathWithFolder(const QString& folder, const QString& filename) const {
  QString path = storeFolder_;
  if (!folder.isEmpty()) path = QDir(path).filePath(folder);
  if (!QFileInfo(path).isDir() && !QDir().mkpath(path)) return {};
  return filename.isEmpty() ? path : QDir(path).filePath(filename);
}

void OXLibrary::moveAside(const QString& path) {
  const QString aside = path + QStringLiteral(".corrupt");
  QFile::remove(aside);
  if (QFile::rename(path, aside))
    ox::log(QStringLiteral("OXLibrary: %1 is damaged; moved to %2, going on with an empty store").arg(path, aside));
  else
    ox::log(QStringLiteral("OXLibrary: %1 is damaged and cannot be moved aside; going on with an empty store")
                .arg(path));
}

QByteArray OXLibrary::readStoreFile(const QString& path) {
  if (path.isEmpty()) return {};
  const QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) return {};
  QFile file(path);
  // Something there that cannot be read would otherwise stay, and a later save would replace it or fail on it.
  if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
    moveAside(path);
    return {};
  }
  return file.readAll();
}

QDateTime OXLibrary::referenceDate() { return QDateTime::fromSecsSinceEpoch(0, Qt::UTC); }

void OXLibrary::adopt(const std::shared_ptr<OXRootList>& rootList) { rootList->setLibrary(weak_from_this()); }

void OXLibrary::readLibraryFile() {
  registerLibraryArchiveClasses();
  const QString path = pathWithFolder({}, kLibraryFile);

  auto rootList = std::make_shared<OXRootList>();
  MovieList movies, moviesStreamers;
  ShowList shows, showsStreamers;
  EpisodeList episodes, episodesStreamers;
  FileList unknownMovies, unknownEpisodes;
  QVariantList languages = defaultLanguagesDictionary();
  ShowCache cache;
  QDateTime homeBackdrops = referenceDate();
  QDateTime trailers = referenceDate();
  QDateTime streamersDate;
  bool listen = true;

  const QByteArray data = readStoreFile(path);
  if (!data.isEmpty()) {
    const ox::KeyedUnarchiver archive(data);
    if (!archive.isValid()) {
      moveAside(path);
    } else {
      if (auto decoded = archive.decodeCoding<OXRootList>(QStringLiteral("rootList"))) rootList = decoded;
      unknownMovies = decodeRecords<OXFile>(archive, QStringLiteral("unknownMovieList"));
      unknownEpisodes = decodeRecords<OXFile>(archive, QStringLiteral("unknownEpisodeList"));
      movies = decodeRecords<OXMovie>(archive, QStringLiteral("movieList"));
      shows = decodeRecords<OXShow>(archive, QStringLiteral("showList"));
      episodes = decodeRecords<OXEpisode>(archive, QStringLiteral("episodeList"));
      if (archive.containsValue(QStringLiteral("subtitleLanguages"))) {
        languages.clear();
        for (const QVariant& v : archive.decodeList(QStringLiteral("subtitleLanguages")))
          if (v.typeId() == QMetaType::QVariantMap) languages << v;
      }
      const auto date = [&](const QString& key, QDateTime fallback) {
        const QVariant v = archive.decodeObject(key);
        return v.typeId() == QMetaType::QDateTime && v.toDateTime().isValid() ? v.toDateTime() : fallback;
      };
      homeBackdrops = date(QStringLiteral("lastHomeBackdropUpdate"), homeBackdrops);
      trailers = date(QStringLiteral("lastTrailersUpdate"), trailers);
      streamersDate = date(QStringLiteral("lastStreamersUpdate"), QDateTime());
      const QVariantMap cached = archive.decodeMap(QStringLiteral("cacheShow"));
      for (auto it = cached.cbegin(); it != cached.cend(); ++it)
        if (auto show = ox::codingAs<OXShow>(it.value())) cache.insert(it.key(), show);
      moviesStreamers = decodeRecords<OXMovie>(archive, QStringLiteral("moviesStreamers"));
      showsStreamers = decodeRecords<OXShow>(archive, QStringLiteral("showsStreamers"));
      episodesStreamers = decodeRecords<OXEpisode>(archive, QStringLiteral("episodesStreamers"));
      if (archive.containsValue(QStringLiteral("listenSoundtracks")))
        listen = archive.decodeBool(QStringLiteral("listenSoundtracks"));
    }
  }

  adopt(rootList);
  std::lock_guard hold(lock_);
  rootList_ = rootList;
  movieList_.reset(std::move(movies));
  showList_ = std::move(shows);
  episodeList_.reset(std::move(episodes));
  unknownMovieList_.reset(std::move(unknownMovies));
  unknownEpisodeList_.reset(std::move(unknownEpisodes));
  unknownEpisodeToReSearch_.reset({});
  subtitleLanguages_ = languages;
  cacheShow_ = std::move(cache);
  lastHomeBackdropUpdate_ = homeBackdrops;
  lastTrailersUpdate_ = trailers;
  moviesStreamers_ = std::move(moviesStreamers);
  showsStreamers_ = std::move(showsStreamers);
  episodesStreamers_ = std::move(episodesStreamers);
  lastStreamersUpdate_ = streamersDate;
  listenSoundtracks_ = listen;
}

void OXLibrary::loadLibrary() {
  readLibraryFile();
  ox::NotificationCenter::defaultCenter().post(QStringLiteral("libraryChanged"));
}

bool OXLibrary::saveLibrary() {
  std::lock_guard saving(saveLock_);
  std::shared_ptr<OXRootList> rootList;
  MovieList movies, moviesStreamers;
  ShowList shows, showsStreamers;
  EpisodeList episodes, episodesStreamers;
  FileList unknownMovies, unknownEpisodes;
  QVariantList languages;
  ShowCache cache;
  QDateTime homeBackdrops, trailers, streamersDate;
  bool listen = true;
  {
    std::lock_guard hold(lock_);
    rootList = rootList_;
    unknownMovies = detachedCopy(unknownMovieList_.items);
    unknownEpisodes = detachedCopy(unknownEpisodeList_.items);
    movies = detachedCopy(movieList_.items);
    shows = detachedCopy(showList_);
    episodes = detachedCopy(episodeList_.items);
    languages = subtitleLanguages_;
    homeBackdrops = lastHomeBackdropUpdate_;
    trailers = lastTrailersUpdate_;
    cache = detachedCopy(cacheShow_);
    moviesStreamers = detachedCopy(moviesStreamers_);
    showsStreamers = detachedCopy(showsStreamers_);
    episodesStreamers = detachedCopy(episodesStreamers_);
    streamersDate = lastStreamersUpdate_;
    listen = listenSoundtracks_;
  }

  ox::KeyedArchiver archiver;
  archiver.encodeObject(ox::wrapCoding(rootList), QStringLiteral("rootList"));
  archiver.encodeObject(recordVariants(unknownMovies), QStringLiteral("unknownMovieList"));
  archiver.encodeObject(recordVariants(unknownEpisodes), QStringLiteral("unknownEpisodeList"));
  archiver.encodeObject(recordVariants(movies), QStringLiteral("movieList"));
  archiver.encodeObject(recordVariants(shows), QStringLiteral("showList"));
  archiver.encodeObject(recordVariants(episodes), QStringLiteral("episodeList"));
  archiver.encodeObject(languages, QStringLiteral("subtitleLanguages"));
  archiver.encodeObject(homeBackdrops, QStringLiteral("lastHomeBackdropUpdate"));
  archiver.encodeObject(trailers, QStringLiteral("lastTrailersUpdate"));
  QVariantMap cached;
  for (auto it = cache.cbegin(); it != cache.cend(); ++it) cached.insert(it.key(), ox::wrapCoding(it.value()));
  archiver.encodeObject(cached, QStringLiteral("cacheShow"));
  archiver.encodeObject(recordVariants(moviesStreamers), QStringLiteral("moviesStreamers"));
  archiver.encodeObject(recordVariants(showsStreamers), QStringLiteral("showsStreamers"));
  archiver.encodeObject(recordVariants(episodesStreamers), QStringLiteral("episodesStreamers"));
  if (streamersDate.isValid()) archiver.encodeObject(streamersDate, QStringLiteral("lastStreamersUpdate"));
  archiver.encodeBool(listen, QStringLiteral("listenSoundtracks"));
  const QByteArray bytes = archiver.finish();

  const QString path = pathWithFolder({}, kLibraryFile);
  if (path.isEmpty() || bytes.isEmpty()) return false;
  return ox::writeFileAtomically(path, bytes);
}

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
  return detachedCopy(moviesStreamers_);
}
OXLibrary::ShowList OXLibrary::showsToStreams() const {
  std::lock_guard hold(lock_);
  return detachedCopy(showsStreamers_);
}
OXLibrary::EpisodeList OXLibrary::episodesToStreams() const {
  std::lock_guard hold(lock_);
  return detachedCopy(episodesStreamers_);
}

void OXLibrary::addStreamContent(const ox::CodingPtr& record) {
  if (auto movie = std::dynamic_pointer_cast<OXMovie>(record)) {
    std::lock_guard hold(lock_);
    for (auto& m : moviesStreamers_) {
      if (m->imdb() == movie->imdb()) {
        m = withLinksAppended(m, movie->links());
        return;
      }
    }
    moviesStreamers_ << movie;
  } else if (auto show = std::dynamic_pointer_cast<OXShow>(record)) {
    std::lock_guard hold(lock_);
    for (const auto& s : showsStreamers_)
      if (s->showID() == show->showID()) return;
    showsStreamers_ << show;
  } else if (auto episode = std::dynamic_pointer_cast<OXEpisode>(record)) {
    std::lock_guard hold(lock_);
    for (auto& e : episodesStreamers_) {
      if (e->episodeID() == episode->episodeID()) {
        e = withLinksAppended(e, episode->links());
        return;
      }
    }
    episodesStreamers_ << episode;
  }
}

void OXLibrary::clearStreamsData() {
  std::lock_guard hold(lock_);
  moviesStreamers_.clear();
  showsStreamers_.clear();
  episodesStreamers_.clear();
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
