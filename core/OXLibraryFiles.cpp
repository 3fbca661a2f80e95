// The files of OXLibrary: the store folder, "library.bin" read and saved, and damaged files moved aside.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "core/OXArchiveClasses.h"
#include "core/OXDetachedCopy.h"
#include "core/OXLibrary.h"
#include "core/OXStoreArchive.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MappedFile.h"
#include "platform/foundation/NotificationCenter.h"

namespace {

const QString kLibraryFile = QStringLiteral("library.bin");
constexpr int kDamagedCopiesKept = 5;

// The root keys "library.bin" may hold; any other means an archive of another kind, or a damaged key.
const QStringList& libraryKeys() {
  static const QStringList keys = {
      QStringLiteral("rootList"),          QStringLiteral("unknownMovieList"),  QStringLiteral("unknownEpisodeList"),
      QStringLiteral("movieList"),         QStringLiteral("showList"),          QStringLiteral("episodeList"),
      QStringLiteral("subtitleLanguages"), QStringLiteral("lastHomeBackdropUpdate"),
      QStringLiteral("lastTrailersUpdate"), QStringLiteral("cacheShow"),        QStringLiteral("moviesStreamers"),
      QStringLiteral("showsStreamers"),    QStringLiteral("episodesStreamers"), QStringLiteral("lastStreamersUpdate"),
      QStringLiteral("listenSoundtracks")};
  return keys;
}

void registerLibraryArchiveClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    registerCoreArchiveClasses();
    ox::registerArchiveClass(QStringLiteral("OXRootList"),
                             [](const ox::Decoder& d) { return OXRootList::initWithCoder(d); });
  });
}

// A yes or no as the store writes it, or as an integer 0 or 1.
bool isYesOrNo(const QVariant& v) {
  return v.typeId() == QMetaType::Bool || (v.typeId() == QMetaType::LongLong && (v == 0 || v == 1));
}

// A subtitle language as the store writes it: its name and whether it is on, nothing else. The settings and the
// player read "enable" as a yes or no, so another value there would be saved back as it is and read as something else.
bool isLanguageEntry(const QVariant& v) {
  if (v.typeId() != QMetaType::QVariantMap) return false;
  const QVariantMap entry = v.toMap();
  return entry.size() == 2 && entry.value(QStringLiteral("LanguageName")).typeId() == QMetaType::QString &&
         isYesOrNo(entry.value(QStringLiteral("enable")));
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

namespace {

// Damaged copies, oldest first: the plain ".corrupt" is only ever made when no other copy is there, and the others
// carry the time and, within one second, a count.
QStringList damagedCopiesOldestFirst(const QFileInfo& file) {
  QStringList copies = file.dir().entryList({file.fileName() + QStringLiteral(".corrupt*")},
                                            QDir::AllEntries | QDir::Hidden | QDir::System);
  const QString plain = file.fileName() + QStringLiteral(".corrupt");
  const auto key = [&](const QString& name) {
    if (name == plain) return std::make_pair(QString(), 0);
    const QString stamp = name.mid(plain.size() + 1);
    const qsizetype dash = stamp.indexOf(QLatin1Char('-'));
    return dash < 0 ? std::make_pair(stamp, 0) : std::make_pair(stamp.left(dash), stamp.mid(dash + 1).toInt());
  };
  std::sort(copies.begin(), copies.end(), [&](const QString& a, const QString& b) { return key(a) < key(b); });
  return copies;
}

}  // namespace

void OXLibrary::moveAside(const QString& path, const QString& why, QString& kept) {
  const QFileInfo info(path);
  QStringList copies = damagedCopiesOldestFirst(info);
  // Room for this one: the oldest copies go, folders aside (they hold what nobody here made).
  for (qsizetype i = 0; copies.size() - i >= kDamagedCopiesKept; ++i) {
    const QString oldest = info.dir().filePath(copies[i]);
    if (!QFileInfo(oldest).isDir() && QFile::remove(oldest))
      ox::log(QStringLiteral("OXLibrary: dropped the oldest damaged copy %1").arg(oldest));
  }
  copies = damagedCopiesOldestFirst(info);
  QString aside = path + QStringLiteral(".corrupt");
  if (!copies.isEmpty() || QFileInfo(aside).isSymLink()) {
    const QString stamped = path + QStringLiteral(".corrupt-") +
                            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    aside = stamped;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
      aside = stamped + QLatin1Char('-') + QString::number(n);
  }
  // A rename never replaces what is there: an earlier copy is never lost to a later one.
  if (QFile::rename(path, aside)) {
    ox::log(QStringLiteral("OXLibrary: %1 is damaged (%2); moved to %3, going on with an empty store")
                .arg(path, why, aside));
    return;
  }
  ox::log(QStringLiteral("OXLibrary: %1 is damaged (%2) and cannot be moved aside; it stays, and nothing is saved "
                         "over it")
              .arg(path, why));
  kept = QStringLiteral("%1 is damaged and could not be moved aside").arg(path);
}

bool OXLibrary::readable(const QString& path, const ox::MappedFile& file, QString& kept) {
  switch (file.status()) {
    case ox::MappedFile::Status::Missing:
      return false;
    case ox::MappedFile::Status::Unreadable:
      ox::log(QStringLiteral("OXLibrary: %1 cannot be read (%2); it stays as it is, and nothing is saved over it "
                             "until the program starts again and can read it")
                  .arg(path, file.error()));
      kept = QStringLiteral("%1 could not be read (%2)").arg(path, file.error());
      return false;
    case ox::MappedFile::Status::NotAFile:
      moveAside(path, file.error(), kept);
      return false;
    case ox::MappedFile::Status::Mapped:
      break;
  }
  return file.size() > 0;
}

OXLibrary::Snapshot OXLibrary::emptyContent() {
  Snapshot empty;
  empty.rootList = std::make_shared<OXRootList>();
  empty.languages = defaultLanguagesDictionary();
  empty.homeBackdrops = empty.trailers = referenceDate();
  return empty;
}

void OXLibrary::readLibraryFile() {
  registerLibraryArchiveClasses();
  const QString path = pathWithFolder({}, kLibraryFile);
  if (!path.isEmpty()) ox::removeStaleTemporaries(path);

  Snapshot c = emptyContent();
  QString kept;
  ox::MappedFile file(path);
  if (readable(path, file, kept)) {
    OXStoreArchive archive(file.bytes(), libraryKeys());
    if (auto decoded = archive.record<OXRootList>(QStringLiteral("rootList"))) c.rootList = decoded;
    c.unknownMovies = archive.records<OXFile>(QStringLiteral("unknownMovieList"));
    c.unknownEpisodes = archive.records<OXFile>(QStringLiteral("unknownEpisodeList"));
    c.movies = archive.records<OXMovie>(QStringLiteral("movieList"));
    c.shows = archive.records<OXShow>(QStringLiteral("showList"));
    c.episodes = archive.records<OXEpisode>(QStringLiteral("episodeList"));
    const QVariant languages = archive.value(QStringLiteral("subtitleLanguages"), [](const QVariant& v) {
      if (v.typeId() != QMetaType::QVariantList) return false;
      const QVariantList list = v.toList();
      return std::all_of(list.cbegin(), list.cend(), isLanguageEntry);
    });
    if (languages.isValid()) c.languages = languages.toList();
    c.homeBackdrops = archive.date(QStringLiteral("lastHomeBackdropUpdate"), c.homeBackdrops);
    c.trailers = archive.date(QStringLiteral("lastTrailersUpdate"), c.trailers);
    c.streamersDate = archive.date(QStringLiteral("lastStreamersUpdate"), QDateTime());
    const QVariantMap cached = archive.value(QStringLiteral("cacheShow"), [](const QVariant& v) {
      if (v.typeId() != QMetaType::QVariantMap) return false;
      for (const QVariant& show : v.toMap())
        if (!ox::codingAs<OXShow>(show)) return false;
      return true;
    }).toMap();
    for (auto it = cached.cbegin(); it != cached.cend(); ++it) c.cache.insert(it.key(), ox::codingAs<OXShow>(*it));
    c.moviesStreamers = archive.records<OXMovie>(QStringLiteral("moviesStreamers"));
    c.showsStreamers = archive.records<OXShow>(QStringLiteral("showsStreamers"));
    c.episodesStreamers = archive.records<OXEpisode>(QStringLiteral("episodesStreamers"));
    const QVariant listen = archive.value(QStringLiteral("listenSoundtracks"), isYesOrNo);
    if (listen.isValid()) c.listen = listen.toDouble() != 0.0;

    if (const QString damage = archive.damage(); !damage.isEmpty()) {
      file.close();
      moveAside(path, damage, kept);
      c = emptyContent();
    }
  }

  {
    std::lock_guard saving(saveLock_);
    libraryKept_ = kept;
  }
  adopt(c.rootList);
  std::lock_guard hold(lock_);
  rootList_ = c.rootList;
  movieList_.reset(std::move(c.movies));
  showList_ = std::move(c.shows);
  episodeList_.reset(std::move(c.episodes));
  unknownMovieList_.reset(std::move(c.unknownMovies));
  unknownEpisodeList_.reset(std::move(c.unknownEpisodes));
  unknownEpisodeToReSearch_.reset({});
  subtitleLanguages_ = c.languages;
  cacheShow_ = std::move(c.cache);
  lastHomeBackdropUpdate_ = c.homeBackdrops;
  lastTrailersUpdate_ = c.trailers;
  moviesStreamers_.reset(std::move(c.moviesStreamers));
  showsStreamers_.reset(std::move(c.showsStreamers));
  episodesStreamers_.reset(std::move(c.episodesStreamers));
  lastStreamersUpdate_ = c.streamersDate;
  listenSoundtracks_ = c.listen;
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
    s->moviesStreamers = detachedCopy(moviesStreamers_.items);
    s->showsStreamers = detachedCopy(showsStreamers_.items);
    s->episodesStreamers = detachedCopy(episodesStreamers_.items);
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
  if (!libraryKept_.isEmpty()) {
    ox::log(QStringLiteral("OXLibrary: library not saved, so as not to replace what was never loaded: %1")
                .arg(libraryKept_));
    return false;
  }
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
