#include "scanner/OXScanRoot.h"

#include <algorithm>
#include <mutex>

#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Log.h"

namespace {

// Held while an item is added and announced, so that a show found by two files at once is announced once, and
// before any episode of it, whichever thread announces the episode.
std::mutex& announceMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

OXScanRoot::OXScanRoot(std::shared_ptr<OXFile> file, qint32 type) : file_(std::move(file)), contentType_(type) {}

bool OXScanRoot::isInsideBundle(const QString& path) { return path.contains(QStringLiteral(".ite/")); }

std::unique_ptr<OXScanRoot> OXScanRoot::initWithPath(const QString& path, qint32 type) {
  if (path.isEmpty() || isInsideBundle(path)) return nullptr;
  auto file = OXFile::initWithType(type);
  file->setFilePath(path);
  return std::unique_ptr<OXScanRoot>(new OXScanRoot(std::move(file), type));
}

std::unique_ptr<OXScanRoot> OXScanRoot::initWithFile(const std::shared_ptr<OXFile>& file, qint32 type) {
  if (!file) return nullptr;
  const QString path = file->filePath();
  if (path.isEmpty() || isInsideBundle(path)) return nullptr;
  return std::unique_ptr<OXScanRoot>(new OXScanRoot(file, type));
}

std::shared_ptr<OXLibrary> OXScanRoot::library() const {
  return library_ ? library_ : OXLibrary::shareLibrary()->shared_from_this();
}

void OXScanRoot::runScan() {
  if (!hashMode_ && searchFullText()) return;
  if (unanswered_) {
    ox::log(QStringLiteral("OXScanRoot: %1 not identified, the search went unanswered; it is tried again at the next "
                           "cycle")
                .arg(file_->filePath()));
    return;
  }
  if (searchHash()) return;
  // Searches cut short by the helper's shutdown decided nothing: the file stays new for its next start.
  if (ox::HttpCancelScope::isCancelled()) return;
  addToUnknownList();
}

bool OXScanRoot::searchHash() { return false; }

bool OXScanRoot::searchFullText() {
  for (quint64 dropped = 0; dropped <= 1; ++dropped) {
    const QString query = file_->queryDeletingLastWords(dropped);
    // A title with nothing a search can match (empty, marks alone, or too short to lose a word) is not searched: the
    // service would only refuse it, and the file is simply not recognised.
    if (!std::any_of(query.cbegin(), query.cend(), [](QChar c) { return c.isLetterOrNumber(); })) return false;
    ox::CodingPtr hit;
    if (contentType_ == OXFile::kTypeEpisode)
      hit = searchEpisodeAndShowFullText(query);
    else if (contentType_ == OXFile::kTypeMovie)
      hit = ombrixAPI_.searchMovieFullTextAndYear(query, file_->parseYear(), &unanswered_);
    if (hit) {
      addToList(hit);
      return true;
    }
    if (unanswered_) return false;  // a shorter title would meet the same silence
  }
  return false;
}

std::shared_ptr<OXEpisode> OXScanRoot::searchEpisodeAndShowFullText(const QString& query) {
  const auto lib = library();
  OXOmbrixOSXAPI::ShowList candidates;
  if (const auto cached = lib->cachedShow(query))
    candidates << cached;
  else
    // The show search always takes the whole title; only the cache look-up uses the shortened one.
    candidates = ombrixAPI_.searchShowFullText(file_->fulltext(), 0, &unanswered_);
  const quint64 season = file_->parseSeasonNumber();
  const quint64 episode = file_->parseEpisodeNumber();
  for (const auto& show : candidates) {
    bool silent = false;
    if (auto found = ombrixAPI_.episodeForShow(show, season, episode, &silent)) {
      lib->setCachedShow(file_->fulltext(), show);
      addToList(show);
      return found;
    }
    unanswered_ = unanswered_ || silent;
  }
  return nullptr;
}

void OXScanRoot::addToList(const ox::CodingPtr& item) {
  if (!item) return;
  if (const auto movie = std::dynamic_pointer_cast<OXMovie>(item)) movie->setFile(file_);
  if (const auto episode = std::dynamic_pointer_cast<OXEpisode>(item)) episode->setFile(file_);
  const auto lib = library();
  std::lock_guard hold(announceMutex());
  if (const auto show = std::dynamic_pointer_cast<OXShow>(item); show && lib->showAlreadyExistInList(show)) return;
  // Only what the library really took is announced.
  if (!lib->addContent(item)) return;
  if (const auto delegate = delegate_.lock()) delegate->contentAdded(item);
}

void OXScanRoot::addToUnknownList() {
  const auto lib = library();
  if (contentType_ == OXFile::kTypeMovie) {
    lib->addUnknown(file_);
    if (const auto delegate = delegate_.lock()) delegate->unknownAdded(file_);
  } else {
    lib->addUnknownEpisodeToReSearch(file_);
  }
}
