#pragma once
#include <QDateTime>
#include <QImage>
#include <QStringList>
#include <memory>

#include "app/HomeSectionListView.h"
#include "app/OXFullScreenMenu.h"
#include "app/OXHomeGradient.h"
#include "app/OXKenBurnsLayer.h"
#include "app/OXSectionView.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/layers/TextLayer.h"

// Ombrix's first screen: the section list on the left half over a dark band, a clock in the top-left corner and,
// behind everything, the pan-and-zoom slideshow of the home backdrops the helper downloads, whose pictures follow the
// highlighted section. Up and Down move the highlight, Play opens the section after a fade, Menu fades out and
// quits. When the update feed offers a newer version the list ends with "Update Available": the feed is read off the
// main thread and the row added when the answer comes. A new HomeView is built each time Home is shown; its clock and
// slideshow stop when it leaves the window.
class HomeView : public OXSectionView {
 public:
  // Hides the cursor, reads the backdrop folders; input stays off until setupLayers.
  explicit HomeView(const QRectF& frame);
  ~HomeView() override;

  void setupLayers() override;
  void createSectionList();
  // Highlights the section the user comes back from (1 Movies, 2 Shows; anything else leaves the first row).
  void activeSection(qint32 section);
  void loadBackdrops();
  void newRowSelected();
  void updateBackdrop();
  void updateApp();
  void closeFullScreenMenu();
  void showUpdateMenu();

  void moveUp() override;
  void moveDown() override;
  void moveLeft() override {}
  void moveRight() override {}
  void keyPlay() override;
  void keyMenu() override;
  // Only the vertical arrows, Return, Space, Escape and Delete.
  void keyDown(const ox::KeyEvent& event) override;

  // Reads the update feed off the main thread (joining a reading under way) and, when it offers a newer version and
  // this Home is still there, adds "Update Available" to the list.
  void needUpdate();
  QString currentVersion() const;
  void updateDate();
  // Registers the bundle's font "name.ttf" for the process; true when it is missing or could not be registered.
  static bool loadLocalFonts(const QString& name);

  // The clock's text for an instant: the locale's short time, upper-cased.
  static QString clockText(const QDateTime& when);
  // Seconds from `now` to just past the next minute, when the clock's text changes; clocks tick then, so they are
  // never a minute behind.
  static double secondsToNextTick(const QTime& now);

  void viewDidMoveToWindow() override;

  bool acceptEvents() const { return acceptEvents_; }
  quint64 activeRow() const { return activeRow_; }
  qint32 counterMovie() const { return counterMovie_; }
  qint32 counterTVShow() const { return counterTVShow_; }
  QStringList moviesBackdrops() const { return moviesBackdropsArray_; }
  QStringList tvshowBackdrops() const { return tvshowBackdropsArray_; }
  std::shared_ptr<HomeSectionListView> homeSectionList() const { return homeSectionList_; }
  std::shared_ptr<OXKenBurnsLayer> kenburnsLayer() const { return kenburnsLayer_; }
  std::shared_ptr<ox::TextLayer> timeLayer() const { return timeLayer_; }
  ox::LayerPtr otherLayer() const { return otherLayer_; }
  ox::LayerPtr vignette() const { return vignette_; }
  // The update menu while it is open.
  std::shared_ptr<OXFullScreenMenu> fullScreenMenu() const { return fullScreenMenu_; }
  // Whether the clock, the slideshow and the settle-down after a row change are armed.
  bool isClockRunning() const { return dateTimer_.isPending(); }
  bool isSlideshowRunning() const { return backdropTimer_.isPending(); }
  bool isRowChangePending() const { return rowTimer_.isPending(); }
  // Taken out of the window, replaced by a section.
  bool hasLeft() const { return wasInWindow_ && !window(); }

  static constexpr double kPictureTime = 9.0;
  static constexpr double kEmptyRetryTime = 1.0;
  static constexpr double kRowSettleTime = 1.0;
  static constexpr double kClockPeriod = 60.0;

 protected:
  ox::LayerPtr makeBackingLayer() override;

 private:
  std::weak_ptr<HomeView> weakSelf();
  void stopTimers();
  void rowChange(bool down);
  bool rowIsShows(quint64 row) const;
  // The picture of a backdrop file: the one decoded ahead when it is that file, else read now.
  QImage pictureAt(const QString& path);
  void prefetch(const QString& path);

  bool acceptEvents_ = false;
  qint32 counterMovie_ = 0;
  qint32 counterTVShow_ = 0;
  ox::LayerPtr otherLayer_;
  std::shared_ptr<ox::TextLayer> timeLayer_;
  std::shared_ptr<OXKenBurnsLayer> kenburnsLayer_;
  ox::LayerPtr vignette_;
  std::shared_ptr<HomeSectionListView> homeSectionList_;
  std::shared_ptr<OXHomeGradient> gradient_;
  std::shared_ptr<OXFullScreenMenu> fullScreenMenu_;
  quint64 activeRow_ = 0;
  QStringList moviesBackdropsArray_;
  QStringList tvshowBackdropsArray_;
  ox::DelayedCall dateTimer_;
  ox::DelayedCall backdropTimer_;
  ox::DelayedCall rowTimer_;
  bool wasInWindow_ = false;
  bool clockStarted_ = false;

  struct Prefetch;
  std::shared_ptr<Prefetch> prefetch_;
  std::unique_ptr<ox::OperationQueue> imageQueue_;
};
