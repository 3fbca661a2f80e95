#pragma once
#include <memory>

#include "app/EpisodeView.h"
#include "app/MoviesView.h"
#include "core/OXEpisode.h"
#include "core/OXShow.h"

// The Shows section: the movie browser over the library's TV shows, by title, with the same header, backdrop,
// footer, preview and genre filters. A show none of whose episodes has a file on disk is drawn veiled (it can still
// be opened). Play opens the selected show's episode view over the browser, which shrinks away behind it, and
// Menu goes back to Home on the Shows entry.
//
// Built on by the streamer show browser, which replaces where the shows come from (contentList), whether a show is
// veiled (isContentDisable) and which episode view opens (episodeViewForShow). Main thread only, but for the veil
// test, which runs on the image queue.
class ShowsView : public MoviesView {
 public:
  explicit ShowsView(const QRectF& frame);
  ~ShowsView() override;

  // "Shows".
  QString sectionName() const override;
  // The library's shows, by title.
  QList<ox::CodingPtr> contentList() const override;
  bool isContentDisable(const ox::CodingPtr& record) const override;
  // The episode view of a show, at the chosen screen's frame.
  virtual std::shared_ptr<EpisodeView> episodeViewForShow(const std::shared_ptr<OXShow>& show);

  void keyPlay() override;
  void keyMenu() override;
  // The episode view goes away and the browser comes back; sent by the episode view's Menu.
  void backFromEpisodeList();

  // Whether no episode of the list that belongs to the show has a file that exists.
  static bool hasNoEpisodeFile(const OXShow& show, const OXLibrary::EpisodeList& episodes);

  std::shared_ptr<EpisodeView> episodeView() const { return episodeView_; }

 protected:
  // The backdrop's ground band down by a tenth of the view behind an episode view, or back in place.
  void lowerGround(bool lowered);

  std::shared_ptr<EpisodeView> episodeView_;
};
