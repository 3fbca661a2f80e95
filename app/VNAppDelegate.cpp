#include "app/VNAppDelegate.h"

#include <QFileInfo>

#include "app/EpisodeView.h"
#include "app/ShowsView.h"
#include "core/OXPreferencesValues.h"
#include "platform/foundation/Info.h"
#include "platform/foundation/MainQueue.h"
#include "platform/media/VLCLibrary.h"
#include "platform/system/DistributedNotificationCenter.h"
#include "platform/system/ProcessRunner.h"
#include "platform/system/SoftwareUpdater.h"
#include "platform/system/Workspace.h"
#include "platform/ui/WindowServer.h"
#include "playback/NSCursor_Hide.h"
#include "playback/OXPlayerController.h"
#include "remote/AppleRemote.h"
#include "remote/MultiClickRemoteBehavior.h"

VNAppDelegate::VNAppDelegate() = default;

std::shared_ptr<VNAppDelegate> VNAppDelegate::create() {
  std::shared_ptr<VNAppDelegate> d(new VNAppDelegate());
  d->registerForNotifications();
  return d;
}

VNAppDelegate::~VNAppDelegate() {
  if (observer_) ox::NotificationCenter::defaultCenter().removeObserver(observer_);
  tearDownRemoteControl();
}

QString VNAppDelegate::helperBundleIdentifier() { return ox::infoValue(QStringLiteral("OXHelperBundleIdentifier")).toString(); }

QString VNAppDelegate::helperPath() { return ox::infoValue(QStringLiteral("OXHelperPath")).toString(); }

QString VNAppDelegate::killallPath() { return ox::infoValue(QStringLiteral("OXKillallPath")).toString(); }

void VNAppDelegate::registerForNotifications() {
  if (observer_) return;
  std::weak_ptr<VNAppDelegate> weak = weak_from_this();
  observer_ = ox::NotificationCenter::defaultCenter().addObserver(
      QString::fromLatin1(kVNOpenMainInterfaceNotification), nullptr, [weak](const ox::Notification&) {
        // The interface is rebuilt on the main thread, whoever posted.
        ox::dispatchMain([weak] {
          if (auto self = weak.lock()) self->restartMainUI();
        });
      });
}

void VNAppDelegate::applicationWillFinishLaunching() {
  runHelperIsNotRunning();
  killPlex();
  setupRemoteControl();
  setupWindow();
  setupUpdates();
  setupUI();
}

void VNAppDelegate::applicationDidFinishLaunching() {
  if (auto controller = appController()) controller->openHome(0);
  // Our window takes the focus: activating it stands in for a click on it.
  if (auto w = window()) w->makeKeyAndOrderFront();
}

void VNAppDelegate::applicationWillTerminate() {
  if (newRemoteControl_) newRemoteControl_->stopListening();
  // A film still playing is left as Menu leaves it, so its point is kept; then no libvlc thread may run on into the
  // process's own teardown.
  OXPlayerController::leaveEveryPlayback();
  // An episode's point is written off the main thread: on disk before the process ends.
  const auto controller = appController();
  if (const auto shows = std::dynamic_pointer_cast<ShowsView>(controller ? controller->currentSection() : nullptr))
    if (const auto episodes = shows->episodeView()) episodes->waitForRatioStores();
  ox::VLCLibrary::releaseSharedInstance();
}

void VNAppDelegate::restartMainUI() {
  NSCursor_Hide::hideCursor();
  setupUI();
  if (auto controller = appController()) controller->openHome(0);
}

void VNAppDelegate::killPlex() {
  const QString killall = killallPath();
  // Only where the shell's killall exists; the runs are bounded, so a stuck one cannot hold the start.
  if (killall.isEmpty() || !QFileInfo(killall).isExecutable()) return;
  const ProgramRunner run = runner_ ? runner_ : ProgramRunner(&ox::runProcess);
  for (const char* name : {"PlexHelper", "PlexHTHelper"})
    run(killall, {QStringLiteral("-9"), QString::fromLatin1(name)}, kKillTimeoutMs);
}

void VNAppDelegate::setupWindow() {
  const auto w = window();
  if (!w) return;
  w->setFrame(QRectF());
  w->setOpaque(false);
}

void VNAppDelegate::setupUpdates() {
  ox::SoftwareUpdater& updater = ox::SoftwareUpdater::shared();
  updater.setAutomaticallyDownloadsUpdates(true);
  updater.setAutomaticallyChecksForUpdates(false);
}

void VNAppDelegate::setupUI() {
  const auto w = window();
  if (!w) return;
  if (const ox::ViewPtr content = w->contentView()) content->layer()->setBackgroundColor(Qt::black);
  QScreen* screen = OXPreferencesValues::sharePreferences()->mainScreen();
  w->setFrame(screen ? ox::screenFrame(screen) : QRectF());
  w->setLevel(ox::WindowLevel::ScreenSaver - 1);
  if (const ox::ViewPtr content = w->contentView()) w->makeFirstResponder(content);
  w->makeKeyAndOrderFront();
}

void VNAppDelegate::openHelperPopUpPermanent() {
  ox::DistributedNotificationCenter::defaultCenter().post(QStringLiteral("openPopUpPermanent"));
}

bool VNAppDelegate::helperAppIsRunning() const {
  return ox::Workspace::shared().isApplicationRunning(helperBundleIdentifier());
}

void VNAppDelegate::runHelperIsNotRunning() {
  if (helperAppIsRunning()) return;
  // A missing or broken helper only costs its features: the start goes on.
  ox::Workspace::shared().launchApplication(helperPath());
}

