#pragma once
#include <QByteArray>
#include <memory>

#include "app/MoviesView.h"
#include "core/OXLibrary.h"
#include "core/OXMovie.h"
#include "playback/OXFoundationPlayer.h"

// The Trailers section: the movie browser over the trailer list the helper downloads ("trailers_en.ox" in the
// library's "Trailers" folder). When the file is missing the view opens on an empty row and fetches the list from
// the content service on its image queue: the answer fills the row if the view is still there, and is never written
// here.
// Play shows the selected movie's first trailer full screen in the trailer window, with no resume question and no
// watched ratio; the end of the trailer, or Menu in its window, brings the row back. Main thread only.
class OXTrailers : public MoviesView {
 public:
  explicit OXTrailers(const QRectF& frame);
  ~OXTrailers() override;

  // "Trailers".
  QString sectionName() const override;
  // The browser, then the fetch of the list when the helper has not kept it yet.
  void setupLayers() override;
  // The trailer list's movies by title: the file's, else the fetched ones; empty when there is no list (yet) or it
  // cannot be read.
  QList<ox::CodingPtr> contentList() const override;
  // The movies of a trailer list's bytes: the archive's "listS3" array, one movie per entry that makes one. Bytes
  // that are no keyed archive give none, with a log line.
  static OXLibrary::MovieList moviesFromTrailerList(const QByteArray& bytes);
  // The list's address on the content service.
  static QUrl trailerListURL();

  // Plays from the start at once, whatever ratio is stored.
  void keyPlay() override;
  void playMovieWithRatio(float ratio) override;
  // The trailer reached its end or its window's display left: the window closes and the row comes back.
  void exitPlayerNotification(const ox::Notification& notification) override;
  // Menu while the trailer opens: nothing opens, or what opened closes, and the row comes back.
  void closeSplashScreen() override;
  // The row comes back at once, after the alert when `error`.
  void videoDidClosedWithError(bool error) override;

  std::shared_ptr<OXFoundationPlayer> foundationPlayer() const { return foundationPlayer_; }
  // Whether the view still listens for the end of a trailer.
  bool isObservingTrailer() const { return endToken_ != 0 || exitToken_ != 0; }

 private:
  // The list from the content service, off the main thread and with the view's cancel token.
  void fetchTrailerList();
  void openTrailer();
  // The trailer window goes, with every observation of it.
  void closeTrailer();

  std::shared_ptr<OXFoundationPlayer> foundationPlayer_;
  ox::NotificationCenter::Token endToken_ = 0;
  QList<ox::CodingPtr> fetched_;
};
