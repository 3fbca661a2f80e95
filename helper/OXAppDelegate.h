#pragma once
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "helper/OXPanelControllerDelegate.h"
#include "platform/foundation/NotificationCenter.h"

class OXAppleRemoteController;
class OXMenubarController;
class OXPanelController;

// Wires the helper together: at creation it registers its notifications (in-process and from other programs),
// starts the library server and gives TheTVDB's client its key; when launching has finished it makes the status
// item, the scan engine, the panel and the remote controller, runs the first-run setup and keeps the item's
// highlight in step with the panel; on termination it stops the engine and saves the library.
// Main thread only.
class OXAppDelegate : public QObject, public OXPanelControllerDelegate {
 public:
  static const QString kBundleIdentifier;  // "Varnel.OmbrixHelper"
  static const QString kOpenPopUpPermanent;
  static const QString kCloseOmbrixHelperNotification;
  static const QString kUpdateCheckUpdateAutomatically;
  static const QString kFirstSetupDone;
  static const QString kControlAppleRemote;
  static const QString kRefreshTime;
  static const QString kLastHashScanTimestamp;

  OXAppDelegate();
  ~OXAppDelegate() override;

  void applicationWillFinishLaunching() {}
  void applicationDidFinishLaunching();
  void applicationWillTerminate();

  void registerForNotifications();
  // Only while "firstSetupDone" is not set: the login item, the first defaults, the tour.
  void firstSetup();
  void updateUpdateSetup();
  // Opens the panel and keeps it open when another window takes the focus.
  void openPopUpPermanent();
  void togglePanel();
  void closePanel();
  // Writes the update marker {"date": now}, then has the remote controller launch Ombrix.
  void launchUpdate();

  StatusItemView* statusItemViewForPanelController(OXPanelController* controller) override;

  OXPanelController* panelController() const { return panelController_.get(); }
  OXMenubarController* menubarController() const { return menubarController_.get(); }
  void setMenubarController(std::unique_ptr<OXMenubarController> controller);
  OXAppleRemoteController* appleRemoteController() const { return appleRemoteController_.get(); }

 private:
  void observe(const QString& name, void (OXAppDelegate::*reaction)());
  void observeDistributed(const QString& name, void (OXAppDelegate::*reaction)());
  void stopObserving();

  std::unique_ptr<OXPanelController> panelController_;
  std::unique_ptr<OXMenubarController> menubarController_;
  std::unique_ptr<OXAppleRemoteController> appleRemoteController_;
  std::vector<ox::NotificationCenter::Token> observers_;
  std::vector<ox::NotificationCenter::Token> distributedObservers_;
  bool launched_ = false;
};
