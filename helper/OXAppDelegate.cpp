#include "helper/OXAppDelegate.h"

#include <QCoreApplication>
#include <QDateTime>

#include "core/OXLibrary.h"
#include "helper/OXAppleRemoteController.h"
#include "helper/OXMenubarController.h"
#include "helper/OXPanelController.h"
#include "helper/OXPanelListController.h"
#include "helper/OXServer.h"
#include "helper/OXSettingsWindowController.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/DistributedNotificationCenter.h"
#include "platform/system/LoginItem.h"
#include "platform/system/SoftwareUpdater.h"
#include "platform/ui/SoftwareUpdateAlert.h"
#include "scanner/OXCoreLibrary.h"
#include "scanner/OXOmbrixAPI.h"
#include "scanner/TVDb.h"

const QString OXAppDelegate::kBundleIdentifier = QStringLiteral("Varnel.OmbrixHelper");
const QString OXAppDelegate::kOpenPopUpPermanent = QStringLiteral("openPopUpPermanent");
const QString OXAppDelegate::kCloseOmbrixHelperNotification = QStringLiteral("closeOmbrixHelperNotification");
const QString OXAppDelegate::kUpdateCheckUpdateAutomatically = QStringLiteral("updateCheckUpdateAutomatically");
const QString OXAppDelegate::kFirstSetupDone = QStringLiteral("firstSetupDone");
const QString OXAppDelegate::kControlAppleRemote = QStringLiteral("controlAppleRemote");
const QString OXAppDelegate::kRefreshTime = QStringLiteral("refreshTime");
const QString OXAppDelegate::kLastHashScanTimestamp = QStringLiteral("lastHashScanTimestamp");

namespace {
const char* const kTVDbApiKey = "4C7A19E2B05D83F6";
}  // namespace

OXAppDelegate::OXAppDelegate() {
  registerForNotifications();
  OXServer::shareServer();
  TVDbClient::sharedInstance().setApiKey(QString::fromLatin1(kTVDbApiKey));
}

OXAppDelegate::~OXAppDelegate() {
  stopObserving();
  if (launched_) ox::SoftwareUpdater::shared().stopAutomaticChecks();
  appleRemoteController_.reset();
  if (panelController_) panelController_->disconnect(this);
  panelController_.reset();
  menubarController_.reset();
}

void OXAppDelegate::observe(const QString& name, void (OXAppDelegate::*reaction)()) {
  observers_.push_back(ox::NotificationCenter::defaultCenter().addObserver(
      name, nullptr, [this, reaction](const ox::Notification&) {
        ox::performOnMainThread(this, [this, reaction] { (this->*reaction)(); });
      }));
}

void OXAppDelegate::observeDistributed(const QString& name, void (OXAppDelegate::*reaction)()) {
  distributedObservers_.push_back(ox::DistributedNotificationCenter::defaultCenter().addObserver(
      name, {}, [this, reaction](const ox::DistributedNotification&) { (this->*reaction)(); }));
}

void OXAppDelegate::registerForNotifications() {
  // From other programs: Ombrix asks for the panel; the update setting changed outside the helper.
  observeDistributed(kOpenPopUpPermanent, &OXAppDelegate::openPopUpPermanent);
  observeDistributed(kUpdateCheckUpdateAutomatically, &OXAppDelegate::updateUpdateSetup);
  observe(kOpenPopUpPermanent, &OXAppDelegate::openPopUpPermanent);
  observe(OXPanelController::kClosePanelNotification, &OXAppDelegate::closePanel);
  observe(OXPanelController::kTogglePanel, &OXAppDelegate::togglePanel);
}

void OXAppDelegate::stopObserving() {
  for (const auto token : observers_) ox::NotificationCenter::defaultCenter().removeObserver(token);
  observers_.clear();
  for (const auto token : distributedObservers_)
    ox::DistributedNotificationCenter::defaultCenter().removeObserver(token);
  distributedObservers_.clear();
}

void OXAppDelegate::setMenubarController(std::unique_ptr<OXMenubarController> controller) {
  menubarController_ = std::move(controller);
  // The item's press ends its way here, as a click in the bar would reach the application's delegate.
  if (menubarController_) menubarController_->statusItemView()->setAction([this] { togglePanel(); });
}

void OXAppDelegate::applicationDidFinishLaunching() {
  launched_ = true;
  setMenubarController(std::make_unique<OXMenubarController>());
  // Judged on the library as it was loaded: the first scan starts with the engine and may fill it before the end.
  const bool emptyAtLaunch = OXLibrary::shareLibrary()->isLibraryEmpty();
  OXCoreLibrary::shareCoreLibrary();
  OXOmbrixAPI().checkKeychainAccess();
  // Kept before it is asked to fill itself: that may post "togglePanel", which comes back for it.
  panelController_ = std::make_unique<OXPanelController>(this);
  connect(panelController_.get(), &OXPanelController::hasActivePanelChanged, this,
          [this](bool active) { menubarController_->setHasActiveIcon(active); });
  panelController_->setShouldClosePanelWhenResignKey(true);
  panelController_->checkCorrectPanel();
  firstSetup();
  // A login item whose helper is gone (a build folder cleaned, an install removed) starts this one now.
  ox::LoginItem::followProgram(kBundleIdentifier, QCoreApplication::applicationFilePath());
  appleRemoteController_ = std::make_unique<OXAppleRemoteController>();
  appleRemoteController_->setupRemote();
  appleRemoteController_->controlAppleRemoteIfNeeded();
  if (emptyAtLaunch) openPopUpPermanent();
  // As the hand check answers, but only when there is something to say: the person then chooses to read about it.
  ox::SoftwareUpdater::shared().startAutomaticChecks(&ox::SoftwareUpdateAlert::show);
}

void OXAppDelegate::firstSetup() {
  if (ox::UserDefaults::value(kFirstSetupDone, false).toBool()) return;
  ox::LoginItem::addToLoginItems(kBundleIdentifier, QStringLiteral("Ombrix Helper"),
                                 QCoreApplication::applicationFilePath());
  ox::SoftwareUpdater::shared().setAutomaticallyChecksForUpdates(true);
  ox::SoftwareUpdater::shared().setAutomaticallyDownloadsUpdates(true);
  ox::UserDefaults::setValue(kControlAppleRemote, true);
  ox::UserDefaults::setValue(kFirstSetupDone, true);
  ox::UserDefaults::setValue(kRefreshTime, 0);
  ox::UserDefaults::setValue(kLastHashScanTimestamp, QDateTime::currentDateTimeUtc());
  ox::UserDefaults::synchronize();
  if (panelController_) panelController_->panelListController()->showTour();
}

void OXAppDelegate::updateUpdateSetup() {
  if (!panelController_) return;
  panelController_->panelListController()->settingsWindowController()->refreshUpdatesAutomaticallyButtonState();
}

void OXAppDelegate::openPopUpPermanent() {
  if (!panelController_ || !menubarController_) return;
  if (!menubarController_->hasActiveIcon()) {
    menubarController_->setHasActiveIcon(true);
    panelController_->setHasActivePanel(true);
  }
  panelController_->setShouldClosePanelWhenResignKey(false);
}

void OXAppDelegate::togglePanel() {
  if (!panelController_ || !menubarController_) return;
  panelController_->setShouldClosePanelWhenResignKey(true);
  menubarController_->setHasActiveIcon(!menubarController_->hasActiveIcon());
  panelController_->setHasActivePanel(menubarController_->hasActiveIcon());
}

void OXAppDelegate::closePanel() {
  if (!panelController_ || !menubarController_) return;
  panelController_->setShouldClosePanelWhenResignKey(true);
  menubarController_->setHasActiveIcon(false);
  panelController_->setHasActivePanel(false);
}

void OXAppDelegate::launchUpdate() {
  const QString marker = OXLibrary::shareLibrary()->pathWithFolder(QStringLiteral("Updates"), QStringLiteral("update.bin"));
  if (!ox::writeFileAtomically(marker, ox::propertyListData(QVariantMap{{"date", QDateTime::currentDateTimeUtc()}})))
    OXLOG("the update marker %s could not be written", qPrintable(marker));
  if (appleRemoteController_) appleRemoteController_->launchMainApp();
}

StatusItemView* OXAppDelegate::statusItemViewForPanelController(OXPanelController*) {
  return menubarController_ ? menubarController_->statusItemView() : nullptr;
}

void OXAppDelegate::applicationWillTerminate() {
  stopObserving();
  if (!launched_) return;
  // No engine thread may run on while the process takes its singletons down, nor write after the last save.
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  engine->shutdown();
  ox::SoftwareUpdater::shared().stopChecking();
  engine->saveLibrary();
}
