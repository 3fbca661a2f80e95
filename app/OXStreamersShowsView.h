#pragma once
#include "app/ShowsView.h"

// The shows that the streamer plug-ins offer, browsed as the show browser browses the library's. No show is drawn
// veiled (a streamed show has no files to miss), and Play opens the streamer episode view, whose episodes play as
// torrent streams. Menu goes back to Home on the Shows entry. Main thread only.
class OXStreamersShowsView : public ShowsView {
 public:
  using ShowsView::ShowsView;

  // The plug-ins' shows by title, case-insensitively.
  QList<ox::CodingPtr> contentList() const override;
  bool isContentDisable(const ox::CodingPtr&) const override { return false; }
  std::shared_ptr<EpisodeView> episodeViewForShow(const std::shared_ptr<OXShow>& show) override;
};
