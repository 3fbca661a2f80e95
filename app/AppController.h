#pragma once
#include <QRectF>
#include <memory>

#include "app/AppControllerDelegate.h"
#include "app/OXSectionView.h"
#include "platform/ui/View.h"

// Shows exactly one section view in the main window's content view: Home, the movie browser, the show browser,
// the two streamer browsers or the trailers. Each switch builds a new view with the chosen screen's frame, runs its
// setupLayers, makes this controller its delegate and its window's first responder. The view being left loses its
// delegate before it is removed, so its late timers and fades can no longer switch sections.
//
// At start the controller is the first user of the library store, and it hides the cursor at once when the
// library holds something and Ombrix was started from the helper's remote more than five seconds ago.
class AppController : public AppControllerDelegate, public std::enable_shared_from_this<AppController> {
 public:
  static std::shared_ptr<AppController> create();

  // The window's content view (held weakly: the window owns it).
  ox::ViewPtr contentView() const { return contentView_.lock(); }
  void setContentView(const ox::ViewPtr& view) { contentView_ = view; }

  // The update-marker check; the library's first use.
  void awakeFromNib();

  void openHome(qint32 section) override;
  void openMovies() override;
  void openTVShows() override;
  void openMoviesStreamers() override;
  void openShowsStreamers() override;
  void openTrailers() override;

  // Installs a section view: built, delegated, shown and first responder.
  void loadSectionObject(const std::shared_ptr<OXSectionView>& view);

  // The section view shown; empty before the first switch.
  std::shared_ptr<OXSectionView> currentSection() const;

  // Whether the marker at `path` ("update.bin") says the cursor hides at start: a library with content and a
  // marker date more than five seconds old.
  static bool markerHidesCursor(const QString& path, bool libraryEmpty, const QDateTime& now);

 private:
  AppController() = default;
  QRectF sectionFrame() const;

  std::weak_ptr<ox::View> contentView_;
};
