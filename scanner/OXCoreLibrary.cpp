#include "scanner/OXCoreLibrary.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTimer>
#include <algorithm>

#include "core/OXServiceHosts.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/PowerAssertion.h"

const QString OXCoreLibrary::kScanningState = QStringLiteral("StatusBarScanningState");
const QString OXCoreLibrary::kStopScanningState = QStringLiteral("StatusBarStopScanningState");

namespace {

const QString kRefreshTime = QStringLiteral("refreshTime");
const QString kLastHashScan = QStringLiteral("lastHashScanTimestamp");
const QString kTimeRefreshUpdated = QStringLiteral("timeRefreshUpdated");

void post(const QString& name) { ox::NotificationCenter::defaultCenter().post(name); }

}  // namespace

OXCoreLibrary* OXCoreLibrary::shareCoreLibrary() {
  static OXCoreLibrary* engine = [] {
    OXLibrary* shared = OXLibrary::shareLibrary();
    // The shared store lives for the process; the engine only borrows it.
    return new OXCoreLibrary(std::shared_ptr<OXLibrary>(shared, [](OXLibrary*) {}));
  }();
  return engine;
}

OXCoreLibrary::OXCoreLibrary(std::shared_ptr<OXLibrary> library, bool start, Identification identification)
    : library_(std::move(library)),
      identification_(std::move(identification)),
      cancel_(std::make_shared<ox::HttpCancel>()) {
  if (start) {
    timeRefreshUpdated();
    updateLibrary();
  }
  refreshObserver_ = ox::NotificationCenter::defaultCenter().addObserver(
      kTimeRefreshUpdated, nullptr, [this](const ox::Notification&) { timeRefreshUpdated(); });
}

OXCoreLibrary::~OXCoreLibrary() { shutdown(); }

// ---------------------------------------------------------------------------------------------------------------
// Timer and cycle

int OXCoreLibrary::refreshIntervalForIndex(qint64 index) {
  static const int table[] = {300, 300, 900, 3600, 21600, 86400};
  return index >= 0 && index <= 5 ? table[index] : 300;
}

int OXCoreLibrary::timerInterval() const {
  std::lock_guard hold(mutex_);
  return timerInterval_;
}

void OXCoreLibrary::timeRefreshUpdated() {
  if (!ox::isMainThread()) {
    std::weak_ptr<int> alive = life_;
    ox::dispatchMain([this, alive] {
      if (alive.lock()) timeRefreshUpdated();
    });
    return;
  }
  if (isShutDown()) return;
  const int seconds = refreshIntervalForIndex(ox::UserDefaults::value(kRefreshTime, 0).toLongLong());
  timer_ = std::make_unique<QTimer>();
  timer_->setInterval(seconds * 1000);
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { updateLibrary(); });
  timer_->start();
  std::lock_guard hold(mutex_);
  timerInterval_ = seconds;
}

void OXCoreLibrary::actionUpdateLibraryFromOutside() {
  timeRefreshUpdated();
  updateLibrary();
}

void OXCoreLibrary::updateLibrary() {
  {
    std::lock_guard hold(mutex_);
    if (shutDown_) return;
    if (cycleActive_) {
      followUp_ = true;
      return;
    }
    cycleActive_ = true;
  }
  scanQueue_.cancelAllOperations();
  auto ran = std::make_shared<std::atomic<bool>>(false);
  auto cycle = std::make_shared<ox::Operation>(guarded([this, ran] {
    *ran = true;
    runCycle();
  }));
  // A cycle cancelled before it started ends here, so the next one is not held back for ever.
  std::weak_ptr<int> alive = life_;
  cycle->setCompletionBlock([this, ran, alive] {
    if (*ran) return;
    ox::dispatchMain([this, alive] {
      if (alive.lock()) cycleEnded();
    });
  });
  scanQueue_.addOperation(cycle);
}

void OXCoreLibrary::shutdown() {
  ox::NotificationCenter::defaultCenter().removeObserver(std::exchange(refreshObserver_, 0));
  timer_.reset();
  {
    std::lock_guard hold(mutex_);
    shutDown_ = true;
    followUp_ = false;
  }
  cancel_->cancel();
  // Nothing waiting starts; what runs ends at its next request, or at once when it is in one.
  scanQueue_.cancelAllOperations();
  streamerRequestQueue_.cancelAllOperations();
  resourcesDownloadQueue_.cancelAllOperations();
  // The scan queue first: its blocks hand work to the other two.
  scanQueue_.close();
  streamerRequestQueue_.close();
  resourcesDownloadQueue_.close();
  std::lock_guard hold(mutex_);
  cycleActive_ = false;
}

bool OXCoreLibrary::isShutDown() const {
  std::lock_guard hold(mutex_);
  return shutDown_;
}

bool OXCoreLibrary::isUpdating() const {
  {
    std::lock_guard hold(mutex_);
    if (cycleActive_) return true;
  }
  return scanQueue_.operationCount() > 0;
}

void OXCoreLibrary::cycleEnded() {
  bool again = false;
  {
    std::lock_guard hold(mutex_);
    cycleActive_ = false;
    again = followUp_;
    followUp_ = false;
  }
  if (again) updateLibrary();
}

std::function<void()> OXCoreLibrary::guarded(std::function<void()> block) const {
  return [cancel = cancel_, block = std::move(block)] {
    if (cancel->isCancelled()) return;
    ox::HttpCancelScope scope(cancel);
    block();
  };
}

void OXCoreLibrary::runCycle() {
  ox::PowerAssertion assertion(QStringLiteral("Updating Ombrix Library"));
  if (auto roots = library_->rootList()) roots->removeElementsOutsideFolderToScan();
  // Each step may wait on the network; after shutdown the rest of the cycle is left out.
  for (auto step : {&OXCoreLibrary::updateTrailers, &OXCoreLibrary::updatePosters, &OXCoreLibrary::updateBackdrops,
                    &OXCoreLibrary::updateHomeBackdrops, &OXCoreLibrary::updateSoundtracks,
                    &OXCoreLibrary::scanNewFiles, &OXCoreLibrary::updateStreamers})
    if (!cancel_->isCancelled()) (this->*step)();
  assertion.release();
}

void OXCoreLibrary::scanNewFiles() {
  const auto roots = library_->rootList();
  scanMovieFiles(roots ? roots->getMovieFilesNotScanned() : QStringList{});
  scanEpisodeFiles(roots ? roots->getEpisodeFilesNotScanned() : QStringList{});
  scanUnknowns();
}

void OXCoreLibrary::scanMovieFiles(const QStringList& paths) {
  auto op = std::make_shared<ox::Operation>([] { post(kScanningState); });
  {
    std::lock_guard hold(mutex_);
    scanBlockOperation_ = op;
  }
  addScanBlocks(paths, OXFile::kTypeMovie);
}

void OXCoreLibrary::scanEpisodeFiles(const QStringList& paths) { addScanBlocks(paths, OXFile::kTypeEpisode); }

void OXCoreLibrary::addScanBlocks(const QStringList& paths, int type) {
  std::shared_ptr<ox::Operation> op;
  DelegatePtr delegate;
  {
    std::lock_guard hold(mutex_);
    op = scanBlockOperation_;
    delegate = delegate_;
  }
  if (!op || !identification_.scanPath) return;
  const auto scan = identification_.scanPath;
  const auto library = library_;
  for (const QString& path : paths)
    op->addExecutionBlock(guarded([scan, path, type, library, delegate] { scan(path, type, library, delegate); }));
}

void OXCoreLibrary::scanUnknowns() {
  std::shared_ptr<ox::Operation> op;
  DelegatePtr delegate;
  {
    std::lock_guard hold(mutex_);
    op = std::exchange(scanBlockOperation_, nullptr);
    delegate = delegate_;
  }
  if (!op) return;
  // After shutdown neither the passes nor the end-of-cycle save run: the program saves once on its way out.
  op->setCompletionBlock(guarded([this, delegate] { completeIdentification(delegate); }));
  scanQueue_.addOperation(op);
}

void OXCoreLibrary::completeIdentification(const DelegatePtr& delegate) {
  const QVariant last = ox::UserDefaults::value(kLastHashScan);
  const QDateTime lastDate = last.toDateTime();
  const QDateTime now = QDateTime::currentDateTimeUtc();
  if (!lastDate.isValid() || lastDate.msecsTo(now) > 86400LL * 1000) {
    ox::UserDefaults::setValue(kLastHashScan, now);
    ox::UserDefaults::synchronize();
    if (identification_.scanHash) {
      for (const auto& file : library_->unknownMovieList())
        identification_.scanHash(file, OXFile::kTypeMovie, library_, delegate);
      for (const auto& file : library_->unknownEpisodeList())
        identification_.scanHash(file, OXFile::kTypeEpisode, library_, delegate);
    }
  }
  if (identification_.findUnknownEpisodesBySameFolder) identification_.findUnknownEpisodesBySameFolder(library_, delegate);
  // After whatever the re-identification queued on the main queue, so the save includes it. The main thread only
  // takes the snapshot; the cycle ends, back on the main thread, once the file is written.
  std::weak_ptr<int> alive = life_;
  ox::dispatchMain([this, alive] {
    if (!alive.lock()) return;
    library_->saveLibraryInBackground([this, alive](bool) {
      ox::dispatchMain([this, alive] {
        if (!alive.lock()) return;
        OXLOG("library updated: %lld movies, %lld shows, %lld episodes, %lld unknown files",
              (long long)library_->movieList().size(), (long long)library_->showList().size(),
              (long long)library_->episodeList().size(),
              (long long)(library_->unknownMovieList().size() + library_->unknownEpisodeList().size()));
        post(kStopScanningState);
        cycleEnded();
      });
    });
  });
}

// ---------------------------------------------------------------------------------------------------------------
// Commands

void OXCoreLibrary::addURLsToRootList(const QList<QUrl>& urls, int type) {
  const auto roots = library_->rootList();
  const bool added = roots && roots->addURLs(urls, type);
  library_->saveLibraryInBackground();
  if (added) updateLibrary();
}

void OXCoreLibrary::removeFolderAtIndexes(const QList<qsizetype>& indexes, int type) {
  scanQueue_.cancelAllOperations();
  QList<qsizetype> sorted = indexes;
  std::sort(sorted.begin(), sorted.end(), std::greater<>());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  if (const auto roots = library_->rootList())
    for (qsizetype index : sorted)
      if (index >= 1) roots->removeObjectAtIndex(index - 1, type);
  updateLibrary();
}

namespace {

// Every entry named `name` takes "enable" = `enable`; the list is changed as a copy and put back whole.
void switchLanguage(OXLibrary* library, const QString& name, bool enable) {
  library->changeSubtitleLanguages([&](QVariantList& languages) {
    for (QVariant& entry : languages) {
      QVariantMap map = entry.toMap();
      if (map.value(QStringLiteral("LanguageName")).toString() != name) continue;
      map.insert(QStringLiteral("enable"), enable);
      entry = map;
    }
  });
  library->saveLibraryInBackground();
}

}  // namespace

void OXCoreLibrary::enableSubtitleLanguage(const QString& name) { switchLanguage(library_.get(), name, true); }
void OXCoreLibrary::disableSubtitleLanguage(const QString& name) { switchLanguage(library_.get(), name, false); }

bool OXCoreLibrary::saveLibrary() { return library_->saveLibrary(); }
bool OXCoreLibrary::saveRatios() { return library_->saveRatios(); }

void OXCoreLibrary::clearLibrary() {
  library_->clearLibrary();
  library_->saveLibraryInBackground();
  updatePosters();
  updateBackdrops();
  updateSoundtracks();
}

OXCoreLibrary::DelegatePtr OXCoreLibrary::delegate() const {
  std::lock_guard hold(mutex_);
  return delegate_;
}

void OXCoreLibrary::setDelegate(const DelegatePtr& delegate) {
  std::lock_guard hold(mutex_);
  delegate_ = delegate;
}
