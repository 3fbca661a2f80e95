#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <functional>
#include <memory>
#include <mutex>

#include "core/OXFile.h"
#include "core/OXLibrary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"

class QTimer;
class OXCoreLibraryDelegate;
namespace ox {
class HttpCancel;
}

// The helper's engine: keeps the library store up to date. At the refresh interval, at start, on "Update Library"
// and when the folders change it runs one update cycle: purge, resource downloads, one identification operation
// whose blocks run concurrently, the daily pass over the unknown files, re-identification of unknown episodes,
// save, and the streamer refresh.
//
// One cycle at a time: a cycle asked for while one runs (from its start to the end-of-cycle save) is kept as a
// single follow-up that starts when the running one has saved. Commands that change folders, languages or the
// whole store run on the main thread and replace whole lists in the store, never a list a cycle walks. Their saves
// and the end-of-cycle save hold the main thread only for the store's snapshot: the file is written in the
// background, and the cycle ends when it is.
class OXCoreLibrary {
 public:
  using DelegatePtr = std::weak_ptr<OXCoreLibraryDelegate>;

  // How files are identified; the identification front end fills it (see defaultIdentification). A hook left
  // empty passes its files over.
  struct Identification {
    using Library = std::shared_ptr<OXLibrary>;
    // One new file of `type` (1 movie, 3 episode) into `library`, on an identification thread.
    std::function<void(const QString& path, int type, const Library& library, const DelegatePtr& delegate)> scanPath;
    // One unknown file again, in hash mode (no request is sent), on the completion thread.
    std::function<void(const std::shared_ptr<OXFile>& file, int type, const Library& library,
                       const DelegatePtr& delegate)>
        scanHash;
    // Unknown episodes identified again from the shows of their folder, on the completion thread.
    std::function<void(const Library& library, const DelegatePtr& delegate)> findUnknownEpisodesBySameFolder;
  };
  static Identification defaultIdentification();

  static const QString kScanningState;      // "StatusBarScanningState"
  static const QString kStopScanningState;  // "StatusBarStopScanningState"

  // The process's engine over the shared store, created once; its creation starts the first cycle.
  static OXCoreLibrary* shareCoreLibrary();

  // An engine over `library` (kept alive by the engine). `start`: arm the timer and queue the first cycle, as the
  // shared engine does. Create and destroy on the main thread.
  explicit OXCoreLibrary(std::shared_ptr<OXLibrary> library, bool start = true,
                         Identification identification = defaultIdentification());
  ~OXCoreLibrary();
  OXCoreLibrary(const OXCoreLibrary&) = delete;
  OXCoreLibrary& operator=(const OXCoreLibrary&) = delete;

  // Re-reads "refreshTime" and replaces the timer (on the main thread; asked elsewhere, it goes there).
  void timeRefreshUpdated();
  void actionUpdateLibraryFromOutside();
  void addURLsToRootList(const QList<QUrl>& urls, int type);
  // 1-based positions; positions outside the folder list are ignored.
  void removeFolderAtIndexes(const QList<qsizetype>& indexes, int type);
  void updateLibrary();
  // From the start of a cycle (queued) until its end-of-cycle save, and while the scan queue holds work.
  bool isUpdating() const;

  // Before the process goes, on the main thread: the timer stops, no cycle, block or download starts any more, the
  // requests under way are cancelled, and every queue is drained before this returns, so no engine thread outlives
  // it and it takes well under a second whatever the services do. What was identified stays in the store; a file
  // whose search was cut short stays new. Reads and saves still work afterwards.
  void shutdown();
  bool isShutDown() const;

  void enableSubtitleLanguage(const QString& name);
  void disableSubtitleLanguage(const QString& name);
  // Written before it returns (at the helper's termination, say).
  bool saveLibrary();
  bool saveRatios();
  void clearLibrary();

  DelegatePtr delegate() const;
  void setDelegate(const DelegatePtr& delegate);

  // Seconds between timer cycles for a "refreshTime" index; 0 when no timer runs.
  static int refreshIntervalForIndex(qint64 index);
  int timerInterval() const;

  // Resource downloads.
  void updateTrailers();
  void updateHomeBackdrops();
  // Whether the list came and named at least one image: only then are the folder's other files deleted.
  bool updateHomeBackdropsFromURL(const QUrl& listURL, const QString& folderName);
  void downloadPoster(const QUrl& url, const QString& folderName);
  void downloadBackdrop(const QUrl& url, const QString& folderName);
  static QUrl get75ModeFromURL(const QUrl& url);
  static QUrl get500ModeFromURL(const QUrl& url);
  static QUrl get1920ModeFromURL(const QUrl& url);
  QList<ox::CodingPtr> allContents() const;
  QStringList allPostersToDownload() const;
  QStringList allBackdropsToDownload() const;
  QStringList allSoundtracksToDownload() const;
  void updatePosters();
  void updateBackdrops();
  void updateSoundtracks();
  // The file name a URL's image is kept under: the last component of its encoded path. Empty when that is empty,
  // "." or "..", or would name another folder once decoded.
  static QString fileNameForURL(const QUrl& url);
  // Blocks until every queued download has finished (tools and tests; not from a download).
  void waitForDownloads();

  // Streamer titles, every three days through the plug-ins.
  void updateStreamers();
  static bool checkFormat(const QVariant& value, int type);
  void callPlugin() {}
  QStringList getMovieList() const { return {}; }
  QStringList getShowList() const { return {}; }
  void terminate() {}

  OXLibrary* library() const { return library_.get(); }

 private:
  void runCycle();
  // The identification operation over the files the library does not know yet, queued.
  void scanNewFiles();
  void scanMovieFiles(const QStringList& paths);
  void scanEpisodeFiles(const QStringList& paths);
  void scanUnknowns();
  void completeIdentification(const DelegatePtr& delegate);
  // On the main thread after the end-of-cycle save: starts the follow-up when one was asked for.
  void cycleEnded();
  void addScanBlocks(const QStringList& paths, int type);
  // `block` as the engine queues it: passed over after shutdown, otherwise run with its requests under the engine's
  // cancel token.
  std::function<void()> guarded(std::function<void()> block) const;
  // Whether a download's bytes are what their kind must be; a download that is not leaves the target as it was.
  using ResourceCheck = bool (*)(const QByteArray& bytes);
  // Each download of the folder is bounded by `maxBytes`, what one file of its kind can be, and taken when `reads`.
  void synchroniseFolder(const QString& folderName, const QStringList& wanted, QUrl (*source)(const QUrl&),
                         qint64 maxBytes, ResourceCheck reads);
  void queueDownload(const QUrl& source, const QString& target, qint64 maxBytes, ResourceCheck reads);
  static QStringList wantedURLs(const QList<ox::CodingPtr>& contents, int which);
  QString bucketURL(const QString& object) const;

  std::shared_ptr<OXLibrary> library_;
  Identification identification_;
  // Destroyed first (declared last), so no queued work outlives what it uses.
  mutable std::mutex mutex_;
  DelegatePtr delegate_;
  bool cycleActive_ = false;
  bool shutDown_ = false;
  bool followUp_ = false;
  std::shared_ptr<ox::Operation> scanBlockOperation_;
  std::unique_ptr<QTimer> timer_;
  int timerInterval_ = 0;
  ox::NotificationCenter::Token refreshObserver_ = 0;
  std::shared_ptr<int> life_ = std::make_shared<int>(0);
  // Cancelled at shutdown: ends every request the engine's blocks make, wherever it is made.
  const std::shared_ptr<ox::HttpCancel> cancel_;
  ox::OperationQueue resourcesDownloadQueue_{2};
  ox::OperationQueue scanQueue_{4};
  ox::OperationQueue streamerRequestQueue_{3};
};
