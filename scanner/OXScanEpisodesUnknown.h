#pragma once
#include <QVariantMap>
#include <memory>

#include "core/OXLibrary.h"
#include "scanner/OXCoreLibraryDelegate.h"
#include "scanner/OXOmbrixOSXAPI.h"

// Settles the episode files whose title found no show: when more than four in five of the episodes already
// identified in the file's folder (sub-folders included) belong to one show, the file is looked up as that show's
// episode; otherwise, or when TheTVDB has no such episode, it goes to the unknown episode list. The look-ups run on
// the calling thread; every change to the library's content lists and every delegate call is queued on the main
// queue, in the order of the files.
class OXScanEpisodesUnknown {
 public:
  OXScanEpisodesUnknown() = default;

  // Processes the re-search list as it stands now, then takes the processed files off it.
  void findUnknownEpisodesBySameFolder();
  // {"showID": the most frequent show id (quint64) or "", "percentage": its share (float) or 0 (int)}.
  static QVariantMap populationStadisticsForList(const OXLibrary::EpisodeList& episodes);

  std::weak_ptr<OXCoreLibraryDelegate> delegate() const { return delegate_; }
  void setDelegate(const std::weak_ptr<OXCoreLibraryDelegate>& delegate) { delegate_ = delegate; }
  // The library settled; the process's shared library unless set.
  void setLibrary(const std::shared_ptr<OXLibrary>& library) { library_ = library; }

 private:
  std::shared_ptr<OXLibrary> library() const;

  OXOmbrixOSXAPI ombrixAPI_;
  std::weak_ptr<OXCoreLibraryDelegate> delegate_;
  std::shared_ptr<OXLibrary> library_;
};
