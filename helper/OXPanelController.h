#pragma once
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <functional>
#include <memory>

#include "helper/OXPanel.h"
#include "helper/OXPanelControllerDelegate.h"
#include "helper/OXSignUpLoginControllerDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "scanner/OXOmbrixAPI.h"

class OXPanelListController;
class OXSignUpLoginController;
class QAbstractAnimation;
namespace ox {
class HttpCancel;
}

// The pop-up panel under the status item: owns the panel list and the account form, fills the panel with the one
// the stored session calls for, places the panel under the item, opens and closes it, and swaps the views on login,
// on logout and on request. Rectangles are in screen coordinates with the origin at the top left. Main thread only.
class OXPanelController : public QObject, public OXSignUpLoginControllerDelegate {
  Q_OBJECT
 public:
  static constexpr int kCloseFadeMs = 200;
  static constexpr int kOrderOutDelayMs = 400;
  static constexpr int kSwitchMs = 250;
  static constexpr double kScreenMargin = 8;
  static const QString kTogglePanel;             // "togglePanel"
  static const QString kClosePanelNotification;  // "closePanelNotification"
  static const QString kReloadContentList;       // "reloadContentList"
  static const QString kSignUpLoginView;         // "signUpLoginView"
  static const QString kLogOut;                  // "logOut"

  // Makes the panel and the panel list; the delegate is not owned. The owner keeps the controller and only then
  // sends checkCorrectPanel, which may post "togglePanel", whose observer reaches back for the controller.
  explicit OXPanelController(OXPanelControllerDelegate* delegate);
  ~OXPanelController() override;

  // Fills the panel by the stored session (the list with one, the form without), and opens it on a first start
  // with no folders. An expired session with a stored e-mail shows the list at once; its password is read and the
  // session renewed on a queue of the panel's own, and the form comes in when the keychain has no password. Nothing
  // here waits for the keychain or the account service, and a panel that goes ends the renewal's waits at once.
  void checkCorrectPanel();
  OXSignUpLoginController* signUpLoginController();
  void showSignUpLoginView();
  void loginSuccess() override;
  void logOutSuccess();

  bool hasActivePanel() const { return hasActivePanel_; }
  // Opens or closes on a change only; hasActivePanelChanged follows every call.
  void setHasActivePanel(bool active);
  bool shouldClosePanelWhenResignKey() const { return shouldClosePanelWhenResignKey_; }
  void setShouldClosePanelWhenResignKey(bool close) { shouldClosePanelWhenResignKey_ = close; }

  void windowWillClose();
  void windowDidBecomeKey() {}
  void windowDidResignKey();

  // The rectangle the panel drops from: just below the status item, or, where the desktop does not say where the
  // item is, a 24-point rectangle centred under the top bar of the first screen.
  QRectF statusRectForWindow(QWidget* window) const;
  // The panel centred under that rectangle, kept 8 points inside the screen's sides; above the item when the item
  // sits at the bottom of the screen.
  QRectF getPanelRect() const;
  void openPanel();
  void closePanel();

  OXPanelControllerDelegate* panelDelegate() const { return panelDelegate_; }
  OXPanelListController* panelListController() const { return panelListController_.get(); }
  OXPanel* window() const { return window_.get(); }
  // The view that fills the panel, once a swap has finished.
  QWidget* filledView() const { return filledView_; }
  // A swap of the filling view is fading.
  bool isSwitchingView() const { return static_cast<bool>(switchDone_); }
  // The close is waiting to take the panel off the screen.
  bool isOrderOutPending() const { return orderOut_.isActive(); }

 signals:
  void hasActivePanelChanged(bool active);

 private:
  void removeView(QWidget* view);
  void installView(QWidget* view);
  void switchView(QWidget* from, QWidget* to, const std::function<void()>& beforeFadeIn,
                  const std::function<void()>& afterInstall);
  void finishSwitch();
  QRectF panelRectFor(const QSizeF& size) const;
  void renewSession(const QString& account);

  bool hasActivePanel_ = false;
  OXPanelControllerDelegate* panelDelegate_;
  bool shouldClosePanelWhenResignKey_ = false;
  std::unique_ptr<OXSignUpLoginController> signUpLoginController_;
  std::unique_ptr<OXPanelListController> panelListController_;
  std::unique_ptr<OXPanel> window_;
  QWidget* filledView_ = nullptr;
  QTimer orderOut_;
  QPointer<QAbstractAnimation> fade_;
  QPointer<QAbstractAnimation> switch_;
  std::function<void()> switchDone_;
  ox::NotificationCenter::Token signUpObserver_ = 0;
  ox::NotificationCenter::Token logOutObserver_ = 0;
  const std::shared_ptr<ox::HttpCancel> cancel_;
  // Declared last: a running renewal ends before anything else goes.
  ox::OperationQueue renewalQueue_{1};
};
