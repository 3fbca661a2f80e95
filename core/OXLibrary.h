#pragma once
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "core/OXEpisode.h"
#include "core/OXFile.h"
#include "core/OXMovie.h"
#include "core/OXRootList.h"
#include "core/OXShow.h"
#include "core/OXStreamerPlugin.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/TextIds.h"

namespace ox {
class MappedFile;
}

// The process-wide library store: recognised movies, shows and episodes, the files that could not be recognised,
// the chosen folders, subtitle languages, the theme-music setting, download dates, the show cache of
// identification, the streamer titles and plug-ins, and the watched ratios. Its files live in the "Ombrix" folder
// of Application Support: "library.bin" (written by the helper) and "ratios.bin" (written by Ombrix).
//
// Every piece of state is guarded, so any thread may use any operation. List getters hand out fixed copies; a
// change copies the list, changes it and swaps it in under the lock, so readers keep what they were given. A save
// takes a snapshot under the lock, then encodes and writes it without: saves land in the order their snapshots were
// taken (an older snapshot never replaces a newer one on disk), and files are replaced atomically.
//
// A "library.bin" or "ratios.bin" that cannot be read whole (damaged, or an archive of another kind) is moved aside
// before anything can replace it, first with the suffix ".corrupt", later ones with ".corrupt-" and the time; the
// newest few copies are kept. The store then goes on empty. A file that is there but cannot be read now (no
// permission, an I/O error) is left as it is, and the store saves nothing over it.
class OXLibrary : public std::enable_shared_from_this<OXLibrary> {
 public:
  using MovieList = QList<std::shared_ptr<OXMovie>>;
  using ShowList = QList<std::shared_ptr<OXShow>>;
  using EpisodeList = QList<std::shared_ptr<OXEpisode>>;
  using FileList = QList<std::shared_ptr<OXFile>>;
  using ShowCache = QMap<QString, std::shared_ptr<OXShow>>;
  using StreamerList = QList<std::shared_ptr<OXStreamerPlugin>>;

  // The process's store, created (and loaded) once on first use, whichever threads ask at the same time. Its
  // "libraryChanged" is posted after it is published, so an observer may ask for it.
  static OXLibrary* shareLibrary();
  // A store of its own whose "Ombrix" folder lies in `supportFolder` (Application Support when empty), loaded as
  // the shared one is. For tools and tests.
  static std::shared_ptr<OXLibrary> libraryWithSupportFolder(const QString& supportFolder);

  OXLibrary(const OXLibrary&) = delete;
  OXLibrary& operator=(const OXLibrary&) = delete;

  ~OXLibrary();

  // Reads "library.bin" (defaults for what it lacks), then posts "libraryChanged".
  void loadLibrary();
  bool saveLibrary();
  // Takes the snapshot now, on the calling thread, and encodes and writes it on the store's own save thread, so the
  // caller waits for the snapshot only. `done`, when given, runs on that thread with the result once the file holds
  // this snapshot or a newer one. Snapshots asked for while one is written are coalesced: the newest is written.
  void saveLibraryInBackground(std::function<void(bool written)> done = {});
  // Blocks until every save asked for so far has ended.
  void waitForSaves();
  void loadRatios();
  bool saveRatios();
  // Empties the library in memory (lists, folders, ratios, dates); languages, show cache, streamer titles, the
  // theme-music setting and the re-search list stay. Saves and posts nothing.
  void clearLibrary();
  // No movie and no episode (shows and unknown files do not count).
  bool isLibraryEmpty() const;

  MovieList movieList() const;
  ShowList showList() const;
  EpisodeList episodeList() const;
  FileList unknownMovieList() const;
  FileList unknownEpisodeList() const;
  FileList unknownEpisodeToReSearch() const;

  // Streamer plug-ins: (re)loads the bundles of the "streamers" folder whose initializeClass answers YES.
  void updateStreamers();
  void loadStreamers();
  static QStringList getAllStreamerFilesFromPath(const QString& path);
  MovieList moviesToStreams() const;
  ShowList showsToStreams() const;
  EpisodeList episodesToStreams() const;
  // Merges a streamer title: a movie or episode already listed (same imdb / episodeID) gets the new links
  // appended; a show already listed (same showID) stays as it is.
  void addStreamContent(const ox::CodingPtr& record);
  void clearStreamsData();

  quint64 hoursFromLastUpdateHomeBackdrops() const;
  void homeBackdropsUpdated();
  quint64 hoursFromLastUpdateTrailers() const;
  void trailersUpdated();
  // The two stamps as they are (the epoch when never set), and set to a given time.
  QDateTime lastHomeBackdropUpdate() const;
  void setLastHomeBackdropUpdate(const QDateTime& date);
  QDateTime lastTrailersUpdate() const;
  void setLastTrailersUpdate(const QDateTime& date);

  static QVariant posterContent(const QVariantMap& movie);
  static QVariant backdropsContent(const QVariantMap& movie);
  QVariantList getMovieListJSON() const;

  bool showAlreadyExistInList(const std::shared_ptr<OXShow>& show) const;
  // A movie or episode whose file path is listed already, or a show whose showID is, is not added. Answers whether
  // the record was added.
  bool addContent(const ox::CodingPtr& record);
  // Removes that very object (every occurrence); a file record goes from both unknown lists.
  void removeContent(const ox::CodingPtr& record);
  // The duplicate test (equal file path) and the append are one step.
  void addUnknownEpisodeToReSearch(const std::shared_ptr<OXFile>& file);
  void removeUnknownEpisodeToReSearch(const std::shared_ptr<OXFile>& file);
  void clearUnknownEpisodeToReSearch();
  // Kind 1 to the unknown movies, kind 3 to the unknown episodes, unless a file of equal path is there.
  void addUnknown(const std::shared_ptr<OXFile>& file);
  void removeUnknown(const std::shared_ptr<OXFile>& file);

  // Watched ratios, keyed "imdbCode|<code>" and "episodeID|<id>"; a store writes "ratios.bin" at once.
  float ratioForIMDB(const QString& imdb) const;
  void setRatioForIMDB(float ratio, const QString& imdb);
  float ratioForEpisodeID(quint64 episodeID) const;
  void setRatioEpisodeID(float ratio, quint64 episodeID);

  // The 33 subtitle languages {"LanguageName", "enable"}, six of them enabled.
  static QVariantList defaultLanguagesDictionary();
  QStringList getHomeMovieImagesPath() const;
  QStringList getHomeShowImagesPath() const;
  static QStringList getAllImageFilesFromPath(const QString& path);
  // The store folder, then the sub-folder (left out when empty), created when missing, then the file name (left
  // out when empty). Empty when the folder cannot be created.
  QString pathWithFolder(const QString& folder, const QString& filename) const;

  std::shared_ptr<OXRootList> rootList() const;
  void setRootList(std::shared_ptr<OXRootList> rootList);
  ShowCache cacheShow() const;
  void setCacheShow(const ShowCache& cache);
  // One entry of the show cache, read or set under the lock (the cache is keyed by a file's title text).
  std::shared_ptr<OXShow> cachedShow(const QString& fulltext) const;
  void setCachedShow(const QString& fulltext, const std::shared_ptr<OXShow>& show);
  QVariantList subtitleLanguages() const;
  void setSubtitleLanguages(const QVariantList& languages);
  // Copies the list, changes the copy and puts it in place as one step under the lock.
  void changeSubtitleLanguages(const std::function<void(QVariantList&)>& change);
  QVariantMap ratioList() const;
  void setRatioList(const QVariantMap& ratios);
  StreamerList streamers() const;
  void setStreamers(const StreamerList& streamers);
  // Invalid when the streamer titles were never refreshed.
  QDateTime lastStreamersUpdate() const;
  void setLastStreamersUpdate(const QDateTime& date);
  bool listenSoundtracks() const;
  void setListenSoundtracks(bool listen);

 private:
  friend class OXRootList;

  // What "library.bin" holds, copied under the lock, or read from the file.
  struct Snapshot {
    quint64 number = 0;
    std::shared_ptr<OXRootList> rootList;
    FileList unknownMovies, unknownEpisodes;
    MovieList movies, moviesStreamers;
    ShowList shows, showsStreamers;
    EpisodeList episodes, episodesStreamers;
    QVariantList languages;
    ShowCache cache;
    QDateTime homeBackdrops, trailers, streamersDate;
    bool listen = true;
  };

  explicit OXLibrary(const QString& supportFolder);
  static std::shared_ptr<OXLibrary> create(const QString& supportFolder, bool announce);
  void init(bool announce);
  void readLibraryFile();
  // What the store holds with no file: defaults.
  static Snapshot emptyContent();
  std::unique_ptr<Snapshot> snapshot();
  // Encodes the snapshot and writes it unless a newer one is on disk already (which answers YES too).
  bool writeSnapshot(const Snapshot& snapshot);
  void writePendingSaves();
  // The paths of `paths` (each in cleaned form) that no record of the kind's lists has: the movie and unknown movie
  // lists for type 1, the episode and unknown episode lists otherwise.
  QStringList unlistedPaths(const QStringList& paths, int type) const;
  // Drops the shows no episode refers to, deciding and removing under one hold.
  void removeShowsWithoutEpisodes();
  void adopt(const std::shared_ptr<OXRootList>& rootList);
  // The first step of loading a store file: answers whether there are bytes to decode. What is there but cannot be
  // read now stays, and `kept` says why nothing may be saved over it; what cannot hold data goes aside.
  static bool readable(const QString& path, const ox::MappedFile& file, QString& kept);
  // Keeps a damaged store file beside it (see the class comment), with a log line saying why; when it cannot be
  // moved, `kept` says so.
  static void moveAside(const QString& path, const QString& why, QString& kept);
  static QDateTime referenceDate();
  static quint64 hoursSince(const QDateTime& date);

  // A list with the count of its records per file path, so the duplicate test of an addition and the question
  // whether a file is listed need no scan. Paths are taken when a record is added; listed records are not re-filed
  // (their file is set before). A path whose cleaned form differs from it is counted under that form too. The
  // counts are made when first asked for: a program that only reads its library never needs them.
  struct PathHash {
    size_t operator()(const QString& path) const { return size_t(ox::TextIds::hash(path)); }
  };
  using PathCounts = std::unordered_map<QString, qsizetype, PathHash>;
  template <class T>
  struct PathIndexed {
    QList<std::shared_ptr<T>> items;
    mutable PathCounts paths;
    mutable PathCounts cleanedAliases;
    mutable bool counted = true;
    bool holds(const QString& path) const {
      countAll();
      return paths.count(path) != 0;
    }
    bool holdsCleaned(const QString& cleaned) const {
      countAll();
      return paths.count(cleaned) != 0 || (!cleanedAliases.empty() && cleanedAliases.count(cleaned) != 0);
    }
    void append(const std::shared_ptr<T>& item, const QString& path);
    void removeEvery(const std::shared_ptr<T>& item);
    void reset(QList<std::shared_ptr<T>> list);
    void count(const QString& path, qsizetype by) const;
    void countAll() const;
  };

  // A streamer list with the position of the first record of each key (imdb, showID or episodeID), so that merging
  // a catalogue needs no scan of the list. Records are only appended, or replaced in place by one of the same key, so
  // positions hold until the list is reset. Like the path counts, the positions are made when first asked for.
  template <class T, class Key, class Hash = std::hash<Key>>
  struct KeyIndexed {
    QList<std::shared_ptr<T>> items;
    std::unordered_map<Key, qsizetype, Hash> first;
    bool indexed = true;
    // The listed record of the item's key, to be merged into; none when there was none and the item was appended.
    std::shared_ptr<T>* listedOrAppend(const std::shared_ptr<T>& item);
    void reset(QList<std::shared_ptr<T>> list);
  };

  QString storeFolder_;  // ".../Ombrix"

  // Content, folders, languages, show cache, dates and streamer titles.
  mutable std::mutex lock_;
  std::shared_ptr<OXRootList> rootList_;
  PathIndexed<OXMovie> movieList_;
  ShowList showList_;
  PathIndexed<OXEpisode> episodeList_;
  PathIndexed<OXFile> unknownMovieList_;
  PathIndexed<OXFile> unknownEpisodeList_;
  PathIndexed<OXFile> unknownEpisodeToReSearch_;
  QVariantList subtitleLanguages_;
  ShowCache cacheShow_;
  QDateTime lastHomeBackdropUpdate_;
  QDateTime lastTrailersUpdate_;
  KeyIndexed<OXMovie, QString, PathHash> moviesStreamers_;
  KeyIndexed<OXShow, quint64> showsStreamers_;
  KeyIndexed<OXEpisode, quint64> episodesStreamers_;
  QDateTime lastStreamersUpdate_;
  bool listenSoundtracks_ = true;
  StreamerList streamers_;

  mutable std::mutex ratioLock_;
  QVariantMap ratioList_;

  quint64 snapshots_ = 0;  // snapshots taken, under lock_: the number of each orders the saves

  // Held while a file is written, with the number of the snapshot on disk, and why "library.bin" must not be
  // written (empty when it may be).
  std::mutex saveLock_;
  quint64 written_ = 0;
  QString libraryKept_;
  std::mutex ratioSaveLock_;
  QString ratiosKept_;  // the same for "ratios.bin", under ratioSaveLock_

  // The background saves: the newest snapshot waiting and who waits for it.
  std::mutex pendingLock_;
  std::unique_ptr<Snapshot> pendingSave_;
  std::vector<std::function<void(bool)>> pendingDone_;
  bool writing_ = false;
  // Declared last, so it is destroyed first: a store's saves end before its state goes.
  ox::OperationQueue saveQueue_{1};
};
