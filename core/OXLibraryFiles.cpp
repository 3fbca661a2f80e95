// The files of OXLibrary: the store folder, "library.bin" read and saved, and damaged files moved aside.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/OXArchiveClasses.h"
#include "core/OXDetachedCopy.h"
#include "core/OXLibrary.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

namespace {

const QString kLibraryFile = QStringLiteral("library.bin");
constexpr int kDamagedCopiesKept = 5;

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
  const QVariantList values = d.decodeList(key);
  out.reserve(values.size());
  for (const QVariant& v : values)
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

}  // namespace

QString OXLibrary::pathWithFolder(const QString& folder, const QString& filename) const {
  QString path = storeFolder_;
  if (!folder.isEmpty()) path = QDir(path).filePath(folder);
  if (!QFileInfo(path).isDir() && !QDir().mkpath(path)) return {};
  return filename.isEmpty() ? path : QDir(path).filePath(filename);
}

void OXLibrary::moveAside(const QString& path) {
  const QFileInfo info(path);
  const QStringList copies = info.dir().entryList({info.fileName() + QStringLiteral(".corrupt*")},
                                                  QDir::AllEntries | QDir::Hidden | QDir::System);
  QString aside = path + QStringLiteral(".corrupt");
  if (QFileInfo::exists(aside) || QFileInfo(aside).isSymLink()) {
    // Whatever holds no data (a folder in the file's place) must go aside however many copies there are.
    if (copies.size() >= kDamagedCopiesKept && info.isFile()) {
      QFile::remove(path);
      ox::log(QStringLiteral("OXLibrary: %1 is damaged; %2 damaged copies are kept already, so this one is dropped; "
                             "going on with an empty store")
                  .arg(path)
                  .arg(copies.size()));
      return;
    }
    const QString stamped =
        path + QStringLiteral(".corrupt-") + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    aside = stamped;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
      aside = stamped + QLatin1Char('-') + QString::number(n);
  }
  // A rename never replaces what is there: an earlier copy is never lost to a later one.
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

std::unique_ptr<OXLibrary::Snapshot> OXLibrary::snapshot() {
  auto s = std::make_unique<Snapshot>();
  std::shared_ptr<OXRootList> rootList;
  {
    std::lock_guard hold(lock_);
    s->number = ++snapshots_;
    rootList = rootList_;
    s->unknownMovies = detachedCopy(unknownMovieList_.items);
    s->unknownEpisodes = detachedCopy(unknownEpisodeList_.items);
    s->movies = detachedCopy(movieList_.items);
    s->shows = detachedCopy(showList_);
    s->episodes = detachedCopy(episodeList_.items);
    s->languages = subtitleLanguages_;
    s->homeBackdrops = lastHomeBackdropUpdate_;
    s->trailers = lastTrailersUpdate_;
    s->cache = detachedCopy(cacheShow_);
    s->moviesStreamers = detachedCopy(moviesStreamers_);
    s->showsStreamers = detachedCopy(showsStreamers_);
    s->episodesStreamers = detachedCopy(episodesStreamers_);
    s->streamersDate = lastStreamersUpdate_;
    s->listen = listenSoundtracks_;
  }
  // The folders as they are now: the list itself may change on the main thread before the snapshot is encoded.
  s->rootList = std::make_shared<OXRootList>();
  s->rootList->setMoviePaths(rootList->moviePaths());
  s->rootList->setEpisodePaths(rootList->episodePaths());
  return s;
}

bool OXLibrary::writeSnapshot(const Snapshot& s) {
  ox::KeyedArchiver archiver;
  archiver.encodeObject(ox::wrapCoding(s.rootList), QStringLiteral("rootList"));
  archiver.encodeObject(recordVariants(s.unknownMovies), QStringLiteral("unknownMovieList"));
  archiver.encodeObject(recordVariants(s.unknownEpisodes), QStringLiteral("unknownEpisodeList"));
  archiver.encodeObject(recordVariants(s.movies), QStringLiteral("movieList"));
  archiver.encodeObject(recordVariants(s.shows), QStringLiteral("showList"));
  archiver.encodeObject(recordVariants(s.episodes), QStringLiteral("episodeList"));
  archiver.encodeObject(s.languages, QStringLiteral("subtitleLanguages"));
  archiver.encodeObject(s.homeBackdrops, QStringLiteral("lastHomeBackdropUpdate"));
  archiver.encodeObject(s.trailers, QStringLiteral("lastTrailersUpdate"));
  QVariantMap cached;
  for (auto it = s.cache.cbegin(); it != s.cache.cend(); ++it) cached.insert(it.key(), ox::wrapCoding(it.value()));
  archiver.encodeObject(cached, QStringLiteral("cacheShow"));
  archiver.encodeObject(recordVariants(s.moviesStreamers), QStringLiteral("moviesStreamers"));
  archiver.encodeObject(recordVariants(s.showsStreamers), QStringLiteral("showsStreamers"));
  archiver.encodeObject(recordVariants(s.episodesStreamers), QStringLiteral("episodesStreamers"));
  if (s.streamersDate.isValid()) archiver.encodeObject(s.streamersDate, QStringLiteral("lastStreamersUpdate"));
  archiver.encodeBool(s.listen, QStringLiteral("listenSoundtracks"));
  const QByteArray bytes = archiver.finish();

  const QString path = pathWithFolder({}, kLibraryFile);
  if (path.isEmpty() || bytes.isEmpty()) return false;
  std::lock_guard hold(saveLock_);
  if (s.number < written_) return true;  // a later snapshot is on disk already
  if (!ox::writeFileAtomically(path, bytes)) return false;
  written_ = s.number;
  return true;
}

bool OXLibrary::saveLibrary() { return writeSnapshot(*snapshot()); }

void OXLibrary::saveLibraryInBackground(std::function<void(bool)> done) {
  std::unique_ptr<Snapshot> s = snapshot();
  bool start = false;
  {
    std::lock_guard hold(pendingLock_);
    pendingSave_ = std::move(s);
    if (done) pendingDone_.push_back(std::move(done));
    start = !std::exchange(writing_, true);
  }
  if (start) saveQueue_.addOperationWithBlock([this] { writePendingSaves(); });
}

void OXLibrary::writePendingSaves() {
  for (;;) {
    std::unique_ptr<Snapshot> s;
    std::vector<std::function<void(bool)>> done;
    {
      std::lock_guard hold(pendingLock_);
      if (!pendingSave_) {
        writing_ = false;
        return;
      }
      s = std::move(pendingSave_);
      done.swap(pendingDone_);
    }
    const bool written = writeSnapshot(*s);
    s.reset();
    for (const auto& d : done) d(written);
  }
}

void OXLibrary::waitForSaves() { saveQueue_.waitUntilAllOperationsAreFinished(); }
