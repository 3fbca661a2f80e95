#pragma once
#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>

#include "helper/OXPanelListControllerDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "scanner/OXCoreLibraryDelegate.h"

class OXContentListViewController;
class OXMovie;
class OXShow;
class OXPopUpMessageViewController;
class OXSearchListViewController;
class OXSettingsWindowController;
class OXTutorialWindowController;
class QAbstractAnimation;
class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QToolButton;
class QWidget;

// The panel's main page: the title line, the gear menu, the log-out control, the two-page stage (the content list at
// x = 0, the manual search list at x = 340) in a scroll view whose visible part slides between them, and the message
// view that replaces the lists when the selected tab has nothing to show. It is the scan engine's delegate, forwards
// what the engine adds to the content list, carries out a manual identification, opens the tour and the settings,
// and logs the account out.
//
// The engine's callbacks arrive on identification threads; everything that touches a view runs on the main thread.
class OXPanelListController : public QObject, public OXPanelListControllerDelegate {
  Q_OBJECT
 public:
  static constexpr int kWidth = 352;
  static constexpr int kHeight = 628;
  static constexpr int kStageWidth = 670;
  static constexpr int kStageHeight = 572;
  static constexpr int kClipWidth = 330;
  static constexpr int kSlideMs = 300;
  static const QString kLibraryChanged;           // "libraryChanged"
  static const QString kSourceStatisticsChanged;  // "sourceStadisticsChanged " (with its trailing blank)

  OXPanelListController();
  ~OXPanelListController() override;

  QWidget* view() const { return view_.data(); }
  QLabel* popUpTitle() const { return popUpTitle_; }
  QScrollArea* scrollView() const { return scrollView_; }
  // The document of the scroll view: where the content list and the search list lie.
  QWidget* stage() const { return stage_; }
  QToolButton* gearButton() const { return gearButton_; }
  QPushButton* logOutButton() const { return logOutButton_; }
  QMenu* menu() const { return menu_.get(); }
  OXContentListViewController* contentListViewController() const { return contentListViewController_.get(); }
  // Made on first use, with this controller as its delegate.
  OXSearchListViewController* searchListViewController();
  OXPopUpMessageViewController* popUpMessageViewController() const { return popUpMessageViewController_.get(); }
  OXTutorialWindowController* tutorialWindowController() const { return tutorialWindowController_.get(); }
  OXSettingsWindowController* settingsWindowController() const { return settingsWindowController_.get(); }

  // The scan engine's delegate messages; from any thread.
  void unknownAdded(const std::shared_ptr<OXFile>& file);
  void removeUnknown(const std::shared_ptr<OXFile>& file);
  void contentAdded(const ox::CodingPtr& item);

  // The view stack.
  void pushToSearchListWithData(const ox::CodingPtr& item) override;
  void popToContentList() override;
  // The search list is sliding in or out.
  bool isSliding() const;
  // Identifies `wrong` as `correct`: re-identifies the item (TheTVDB look-ups for episodes), reports each match to
  // the cloud queues, updates the store, rebuilds the selected tab and saves the store unless a scan runs (which
  // saves at its end). Fixes run one after another on a queue of their own; `done` comes on the main thread.
  void fixContent(const ox::CodingPtr& wrong, const ox::CodingPtr& correct, std::function<void()> done) override;
  // A fix is waiting or running.
  bool isFixing() const { return fixQueue_.operationCount() > 0; }

  // The selected tab of the content list: 1 movies, 2 shows, 0 neither.
  int buttonSegmentedSelected() const;
  // The panel opened (1) or closed (2); the content list follows it.
  void setPopUpState(int state);

  // Chooses the message for the selected tab, or hides it. From any thread: the choice is made on the main thread.
  void checkMessageView();
  void showMessageView();
  void hideMessageView();
  bool isMessageViewShown() const;

  // The gear menu and its commands.
  void buildMenu();
  void showMenuSetting();
  void openOmbrix();
  void showHelpPage();
  void showTour();
  void showPreferences();
  void checkUpdate();
  void closeApp();
  // "showSourcesNotification": the settings on their sources tab.
  void showSources();
  void logOut();

  // Raises a window of the helper above the others and shows it.
  static void bringWindowForward(QWidget* window);

 private:
  void checkMessageViewNow();
  void libraryChangedByEngine();
  void changePopUpTitle(const QString& title);
  void slideTo(int x, QWidget* focus);
  // Brings the settings window forward, on its sources tab when `sources`.
  void openSettingsWindow(bool sources);
  // The store changes of a fix, on the fix queue.
  void applyFix(const ox::CodingPtr& wrong, const ox::CodingPtr& correct);
  void fixShowWithShow(const std::shared_ptr<OXShow>& wrong, const std::shared_ptr<OXShow>& correct);
  void fixEpisodeFile(const ox::CodingPtr& wrong, const std::shared_ptr<OXShow>& correct);
  void fixMovie(const ox::CodingPtr& wrong, const std::shared_ptr<OXMovie>& correct);
  // Downloads the show's pictures, adds it to the store and lists it, unless the store has a show of that id.
  void addShowIfMissing(const std::shared_ptr<OXShow>& show, quint64 showID);

  class EngineDelegate;
  QPointer<QWidget> view_;
  QLabel* popUpTitle_ = nullptr;
  QScrollArea* scrollView_ = nullptr;
  QWidget* stage_ = nullptr;
  QToolButton* gearButton_ = nullptr;
  QPushButton* logOutButton_ = nullptr;
  std::unique_ptr<QMenu> menu_;
  QPointer<QAbstractAnimation> slide_;
  std::unique_ptr<OXContentListViewController> contentListViewController_;
  std::unique_ptr<OXSearchListViewController> searchListViewController_;
  std::unique_ptr<OXPopUpMessageViewController> popUpMessageViewController_;
  std::unique_ptr<OXTutorialWindowController> tutorialWindowController_;
  std::unique_ptr<OXSettingsWindowController> settingsWindowController_;
  std::shared_ptr<EngineDelegate> engineDelegate_;
  std::atomic<bool> checkQueued_{false};
  std::vector<ox::NotificationCenter::Token> observers_;
  // Declared last: a running fix ends before the lists it tells go.
  ox::OperationQueue fixQueue_{1};
};
