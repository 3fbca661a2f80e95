#include "app/OXStreamersShowsView.h"

#include "app/OXStreamersEpisodeView.h"
#include "core/OXLibrary.h"
#include "core/OXPreferencesValues.h"

QList<ox::CodingPtr> OXStreamersShowsView::contentList() const {
  return sortedByTitle(OXLibrary::shareLibrary()->showsToStreams());
}

std::shared_ptr<EpisodeView> OXStreamersShowsView::episodeViewForShow(const std::shared_ptr<OXShow>& show) {
  return EpisodeView::initWithFrame<OXStreamersEpisodeView>(OXPreferencesValues::sharePreferences()->mainScreenFrame(),
                                                            show);
}
