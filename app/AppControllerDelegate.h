#pragma once
#include <QtGlobal>

// The section switches a section view asks of its delegate, the section switcher. openHome takes the code of the
// section being left, so Home can highlight it: 0 at launch, 1 from the movie, streamer movie and trailer views,
// 2 from the show and streamer show views.
class AppControllerDelegate {
 public:
  virtual ~AppControllerDelegate() = default;

  virtual void openHome(qint32 section) = 0;
  virtual void openMovies() = 0;
  virtual void openTVShows() = 0;
  virtual void openMoviesStreamers() = 0;
  virtual void openShowsStreamers() = 0;
  virtual void openTrailers() = 0;
};
