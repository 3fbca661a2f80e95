#pragma once
#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>

#include "platform/foundation/NotificationCenter.h"
#include "scanner/OXCoreLibraryDelegate.h"

class OXPopUpMessageViewController;
class OXTutorialWindowController;
class QLabel;
class QScrollArea;
class QWidget;

// The panel's main page: the title line, the two-page stage (the content list at x = 0, the manual search list at
// x = 340) in a scroll view whose visible part slides between them, and the message view that replaces the lists
// when the selected tab has nothing to show. It is the scan engine's delegate and opens the tour.
//
// The engine's callbacks arrive on identification threads; everything that touches a view runs on the main thread.
class OXPanelListController : public QObject {
  Q_OBJECT
 public:
  static constexpr int kWidth = 352;
  static constexpr int kHeight = 628;
  static constexpr int kStageWidth = 670;
  static constexpr int kStageHeight = 572;
  static constexpr int kClipWidth = 330;
  static const QString kLibraryChanged;           // "libraryChanged"
  static const QString kSourceStatisticsChanged;  // "sourceStadisticsChanged " (with its trailing blank)

  OXPanelListController();
  ~OXPanelListController() override;

  QWidget* view() const { return view_.data(); }
  QLabel* popUpTitle() const { return popUpTitle_; }
  QScrollArea* scrollView() const { return scrollView_; }
  // The document of the scroll view: where the content list and the search list lie.
  QWidget* stage() const { return stage_; }
  OXPopUpMessageViewController* popUpMessageViewController() const { return popUpMessageViewController_.get(); }
  OXTutorialWindowController* tutorialWindowController() const { return tutorialWindowController_.get(); }

  // The scan engine's delegate messages; from any thread.
  void unknownAdded(const std::shared_ptr<OXFile>& file);
  void removeUnknown(const std::shared_ptr<OXFile>& file);
  void contentAdded(const ox::CodingPtr& item);

  // The selected tab of the content list: 1 movies, 2 shows, 0 neither.
  int buttonSegmentedSelected() const;
  // The panel opened (1) or closed (2); the content list follows it.
  void setPopUpState(int state);

  // Chooses the message for the selected tab, or hides it. From any thread: the choice is made on the main thread.
  void checkMessageView();
  void showMessageView();
  void hideMessageView();
  bool isMessageViewShown() const;

  void showTour();
  // Raises a window of the helper above the others and shows it.
  static void bringWindowForward(QWidget* window);

 private:
  void checkMessageViewNow();
  void libraryChangedByEngine();

  class EngineDelegate;
  QPointer<QWidget> view_;
  QLabel* popUpTitle_ = nullptr;
  QScrollArea* scrollView_ = nullptr;
  QWidget* stage_ = nullptr;
  std::unique_ptr<OXPopUpMessageViewController> popUpMessageViewController_;
  std::unique_ptr<OXTutorialWindowController> tutorialWindowController_;
  std::shared_ptr<EngineDelegate> engineDelegate_;
  std::atomic<bool> checkQueued_{false};
  ox::NotificationCenter::Token libraryObserver_ = 0;
};
