#pragma once
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "helper/OXDragDropViewDelegate.h"

class OXDragDropView;
class OXSourceTableController;
class OXSubtitleTableController;
class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class QToolBar;
class QWidget;
namespace ox {
class TableView;
}

// The helper's settings window: a toolbar of three tabs over one page at a time. General: how often the library is
// scanned, start at login, update checks, theme music, control by the remote, the version line and links to the two
// metadata services. Sources: the movie and TV-show folder tables, with their drop zone. Subtitles: the subtitle
// languages. Every control acts at once; there is no apply step. The window is made once and kept. Main thread only.
class OXSettingsWindowController : public QObject, public OXDragDropViewDelegate {
  Q_OBJECT
 public:
  // Tabs by tag: 1 general, 2 sources, any other the subtitles.
  static constexpr int kGeneralTag = 1;
  static constexpr int kSourcesTag = 2;
  static constexpr int kSubtitlesTag = 3;
  static constexpr int kResizeMs = 200;
  static const QString kTimeRefreshUpdated;  // "timeRefreshUpdated"
  static const QString kRefreshTime;         // "refreshTime"
  // The pages of the two metadata services, opened by the links tagged 1 and 2.
  static const QString kMovieDatabaseSite;
  static const QString kTVDbSite;

  OXSettingsWindowController();
  ~OXSettingsWindowController() override;

  QMainWindow* window() const { return window_.data(); }
  QWidget* generalView() const { return generalView_; }
  QWidget* sourcesView() const { return sourcesView_; }
  QWidget* subtitlesView() const { return subtitlesView_; }
  // The page the window shows; a blank stands in while the window changes size.
  QWidget* contentView() const;
  QToolBar* toolbar() const { return toolbar_; }
  // The toolbar item of a tab.
  QAction* toolbarItem(int tag) const;
  ox::TableView* subtitleTableView() const { return subtitleTableView_; }
  QFrame* borderMovieSourcesView() const { return borderMovieSourcesView_; }
  QFrame* borderShowSourcesView() const { return borderShowSourcesView_; }
  QFrame* borderSubtitleView() const { return borderSubtitleView_; }
  QComboBox* refreshTimeButton() const { return refreshTimeButton_; }
  QCheckBox* startAtLoginButton() const { return startAtLoginButton_; }
  QCheckBox* updatesAutomaticallyButton() const { return updatesAutomaticallyButton_; }
  QPushButton* checkUpdatesButton() const { return checkUpdatesButton_; }
  QCheckBox* listenSoundtrackButton() const { return listenSoundtrackButton_; }
  QCheckBox* controlAppleRemoteButton() const { return controlAppleRemoteButton_; }
  QPushButton* disableAllButton() const { return disableAllButton_; }
  QLabel* versionLabel() const { return versionLabel_; }
  OXDragDropView* dragDropView() const { return dragDropView_; }
  OXSourceTableController* movieSourceTableController() const { return movieSources_.get(); }
  OXSourceTableController* showSourceTableController() const { return showSources_.get(); }
  OXSubtitleTableController* subtitleTableController() const { return subtitleTableController_.get(); }
  int tagSelected() const { return tagSelected_; }
  // The window is changing size between two pages.
  bool isSwitchingView() const { return !resize_.isNull(); }

  // Reads every setting into its control: at creation and each time the window is brought forward, as the first
  // start and the desktop's own settings change them meanwhile.
  void readSettings();

  QWidget* viewForTag(int tag) const;
  // Shows the tab's page: the window's top edge stays where it is while its size follows the page.
  void switchView(int tag);
  // Opens on the sources tab (before the window is brought forward to add folders).
  void showSources();

  // The controls' actions.
  void changeTimerRefresh(int tag);
  void checkLoginItems(bool on);
  void checkUpdatesAutomatically(bool on);
  void checkUpdates();
  // Reads the update setting again (another program may have changed it).
  void refreshUpdatesAutomaticallyButtonState();
  void switchListenSoundtrack();
  void changeControlAppleRemote(bool on);
  // 1 The Movie Database, 2 TheTVDB; other tags open nothing.
  void openURL(int tag);
  void disableAll();
  void fillVersionLabel();
  static QString versionLine(const QString& version);

  // A drop on the sources page may add to either table: both reload.
  void draggingEntered() override {}
  void draggingExited() override {}
  void performDragOperation() override;

 private:
  void buildToolbar();
  QWidget* buildGeneralView();
  QWidget* buildSourcesView();
  QWidget* buildSubtitlesView();
  void awakeFromNib();
  void setContentView(QWidget* page);

  QPointer<QMainWindow> window_;
  QToolBar* toolbar_ = nullptr;
  QAction* toolbarItems_[3] = {nullptr, nullptr, nullptr};
  QWidget* generalView_ = nullptr;
  QWidget* sourcesView_ = nullptr;
  QWidget* subtitlesView_ = nullptr;
  ox::TableView* subtitleTableView_ = nullptr;
  QFrame* borderMovieSourcesView_ = nullptr;
  QFrame* borderShowSourcesView_ = nullptr;
  QFrame* borderSubtitleView_ = nullptr;
  QComboBox* refreshTimeButton_ = nullptr;
  QCheckBox* startAtLoginButton_ = nullptr;
  QCheckBox* updatesAutomaticallyButton_ = nullptr;
  QPushButton* checkUpdatesButton_ = nullptr;
  QCheckBox* listenSoundtrackButton_ = nullptr;
  QCheckBox* controlAppleRemoteButton_ = nullptr;
  QPushButton* disableAllButton_ = nullptr;
  QLabel* versionLabel_ = nullptr;
  OXDragDropView* dragDropView_ = nullptr;
  QPointer<QPropertyAnimation> resize_;
  std::unique_ptr<OXSubtitleTableController> subtitleTableController_;
  std::unique_ptr<OXSourceTableController> movieSources_;
  std::unique_ptr<OXSourceTableController> showSources_;
  int tagSelected_ = kGeneralTag;
};
