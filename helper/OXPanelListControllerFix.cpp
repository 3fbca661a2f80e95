// A manual identification: the item of a row is re-identified as the result the user chose, each match is reported
// to the cloud queues, and the store is updated and saved.
#include <QWidget>

#include "core/OXLibrary.h"
#include "helper/OXContentListViewController.h"
#include "helper/OXPanelListController.h"
#include "platform/foundation/MainQueue.h"
#include "scanner/OXCoreLibrary.h"
#include "scanner/OXOmbrixOSXAPI.h"

namespace {
const QString kPosters = QStringLiteral("posters");
const QString kBackdrops = QStringLiteral("backdrops");
}  // namespace

void OXPanelListController::fixContent(const ox::CodingPtr& wrong, const ox::CodingPtr& correct,
                                       std::function<void()> done) {
  // The episode look-ups wait on TheTVDB, so the panel goes on answering while they run.
  const QPointer<OXPanelListController> self(this);
  fixQueue_.addOperationWithBlock([this, self, wrong, correct, done = std::move(done)] {
    applyFix(wrong, correct);
    OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
    // During a scan the scan's own end saves the store.
    if (!engine->isUpdating()) engine->saveLibrary();
    ox::dispatchMain([self, done] {
      if (!self) return;
      OXContentListViewController* list = self->contentListViewController_.get();
      if (list->buttonSegmentedSelected() == 1)
        list->switchMovieList();
      else if (list->buttonSegmentedSelected() == 2)
        list->switchShowList();
      if (done) done();
    });
  });
}

void OXPanelListController::applyFix(const ox::CodingPtr& wrong, const ox::CodingPtr& correct) {
  const auto correctShow = std::dynamic_pointer_cast<OXShow>(correct);
  if (auto wrongShow = std::dynamic_pointer_cast<OXShow>(wrong); wrongShow && correctShow)
    fixShowWithShow(wrongShow, correctShow);
  else if (correctShow)
    fixEpisodeFile(wrong, correctShow);
  else if (auto correctMovie = std::dynamic_pointer_cast<OXMovie>(correct))
    fixMovie(wrong, correctMovie);
}

void OXPanelListController::addShowIfMissing(const std::shared_ptr<OXShow>& show, quint64 showID) {
  OXLibrary* library = OXLibrary::shareLibrary();
  for (const auto& listed : library->showList())
    if (listed->showID() == showID) return;
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  engine->downloadPoster(show->poster(), kPosters);
  engine->downloadBackdrop(show->backdrops(), kBackdrops);
  if (library->addContent(show)) contentListViewController_->contentAdded(show);
}

// Every episode of the wrong show is looked up in the right one by its season and episode; the right show comes in
// with the first episode found.
void OXPanelListController::fixShowWithShow(const std::shared_ptr<OXShow>& wrong,
                                            const std::shared_ptr<OXShow>& correct) {
  OXLibrary* library = OXLibrary::shareLibrary();
  library->removeContent(wrong);
  OXLibrary::EpisodeList episodes;
  for (const auto& episode : library->episodeList())
    if (episode->showID() == wrong->showID()) episodes << episode;
  for (const auto& old : episodes) {
    OXOmbrixOSXAPI api;
    const auto file = old->file();
    // The old episode goes either way: replaced, or its file back among the unrecognised ones.
    library->removeContent(old);
    const auto found = api.episodeForShow(correct, old->seasonNumber(), old->episodeNumber());
    if (!found) {
      if (file) {
        library->addUnknown(file);
        contentListViewController_->unknownAdded(file);
      }
      continue;
    }
    found->setFile(file);
    library->addContent(found);
    contentListViewController_->contentAdded(found);
    api.manualMatch(found);
    addShowIfMissing(correct, found->showID());
  }
}

// An unrecognised episode file, or an episode matched wrongly (whose own file is taken), becomes the right show's
// episode at the season and episode of its name; unrecognised files of the same title follow it.
void OXPanelListController::fixEpisodeFile(const ox::CodingPtr& wrong, const std::shared_ptr<OXShow>& correct) {
  std::shared_ptr<OXFile> file = std::dynamic_pointer_cast<OXFile>(wrong);
  const auto oldEpisode = std::dynamic_pointer_cast<OXEpisode>(wrong);
  if (oldEpisode) file = oldEpisode->file();
  if (!file) return;
  OXLibrary* library = OXLibrary::shareLibrary();
  OXOmbrixOSXAPI api;
  const auto episode = api.episodeForShow(correct, file->parseSeasonNumber(), file->parseEpisodeNumber());
  if (!episode) return;  // the file stays where it was
  episode->setFile(file);
  addShowIfMissing(correct, episode->showID());
  library->setCachedShow(file->fulltext(), correct);
  if (oldEpisode)
    library->removeContent(oldEpisode);
  else
    library->removeUnknown(file);
  library->addContent(episode);
  contentListViewController_->contentAdded(episode);
  // The user confirmed this one as much as its namesakes.
  api.manualMatch(episode);

  for (const auto& sibling : library->unknownEpisodeList()) {
    if (sibling->fulltext() != file->fulltext()) continue;
    OXOmbrixOSXAPI siblingAPI;
    const auto found = siblingAPI.episodeForShow(correct, sibling->parseSeasonNumber(), sibling->parseEpisodeNumber());
    if (!found) continue;
    found->setFile(sibling);
    siblingAPI.manualMatch(found);
    library->removeUnknown(sibling);
    library->addContent(found);
    contentListViewController_->contentAdded(found);
  }
}

void OXPanelListController::fixMovie(const ox::CodingPtr& wrong, const std::shared_ptr<OXMovie>& correct) {
  OXLibrary* library = OXLibrary::shareLibrary();
  if (auto file = std::dynamic_pointer_cast<OXFile>(wrong)) {
    correct->setFile(file);
    library->removeUnknown(file);
  } else if (auto movie = std::dynamic_pointer_cast<OXMovie>(wrong)) {
    correct->setFile(movie->file());
    library->removeContent(movie);
  } else {
    return;  // a movie has no file to take from anything else
  }
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  engine->downloadPoster(correct->poster(), kPosters);
  engine->downloadBackdrop(correct->backdrops(), kBackdrops);
  library->addContent(correct);
  OXOmbrixOSXAPI().manualMatch(correct);
}
