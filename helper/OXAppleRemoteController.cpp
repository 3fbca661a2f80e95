#include "helper/OXAppleRemoteController.h"

#include <QFile>
#include <QFileInfo>

#include "core/OXLibrary.h"
#include "platform/foundation/Info.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/PowerAssertion.h"
#include "platform/system/ProcessRunner.h"
#include "platform/system/Workspace.h"
#include "remote/AppleRemote.h"
#include "remote/MultiClickRemoteBehavior.h"

const QString OXAppleRemoteController::kControlAppleRemote = QStringLiteral("controlAppleRemote");
const QString OXAppleRemoteController::kAppleRemoteChangeNotification = QStringLiteral("AppleRemoteChangeNotification");

QString OXAppleRemoteController::mainAppPath() { return ox::infoValue(QStringLiteral("OXMainAppPath")).toString(); }

QString OXAppleRemoteController::mainAppBundleIdentifier() {
  const QString id = ox::infoValue(QStringLiteral("OXMainAppBundleIdentifier")).toString();
  return id.isEmpty() ? QStringLiteral("Varnel.Ombrix") : id;
}

QString OXAppleRemoteController::ownBundleIdentifier() {
  return ox::infoValue(RemoteControl::kBundleIdentifierKey).toString();
}

OXAppleRemoteController::OXAppleRemoteController(OXLibrary* library) : library_(library) {
  // The settings window posts on the main thread.
  changeObserver_ = ox::NotificationCenter::defaultCenter().addObserver(
      kAppleRemoteChangeNotification, nullptr,
      [this](const ox::Notification& note) { controlAppleRemoteChange(note.userInfo.value(kControlAppleRemote).toBool()); });
  auto& distributed = ox::DistributedNotificationCenter::defaultCenter();
  handOverObservers_.push_back(distributed.addObserver(
      RemoteControl::kRequestForRemoteControl, {},
      [this](const ox::DistributedNotification& note) { stopListeningAppleRemote(note); }));
  handOverObservers_.push_back(distributed.addObserver(
      RemoteControl::kFinishedUsingRemoteControl, {},
      [this](const ox::DistributedNotification& note) { startListeningAppleRemote(note); }));
}

OXAppleRemoteController::~OXAppleRemoteController() {
  ox::NotificationCenter::defaultCenter().removeObserver(changeObserver_);
  for (const auto token : handOverObservers_) ox::DistributedNotificationCenter::defaultCenter().removeObserver(token);
  // The remote goes first: closing it may still send its last events to the behaviour, and through it here.
  newRemoteControl_.reset();
  remoteBehavior_.reset();
}

void OXAppleRemoteController::setupRemote(std::unique_ptr<HIDRemoteBackend> backend) {
  const QString killall = ox::infoValue(QStringLiteral("OXKillallPath")).toString();
  // Only where the shell's killall exists; the runs are bounded, so a stuck one cannot hold the helper's start.
  if (!killall.isEmpty() && QFileInfo(killall).isExecutable()) {
    const ProgramRunner run = runner_ ? runner_ : ProgramRunner(&ox::runProcess);
    for (const char* name : {"PlexHelper", "PlexHTHelper"})
      run(killall, {QStringLiteral("-9"), QString::fromLatin1(name)}, kKillTimeoutMs);
  }
  newRemoteControl_ = AppleRemote::create({}, std::move(backend));
  if (!newRemoteControl_) return;
  remoteBehavior_ = std::make_shared<MultiClickRemoteBehavior>();
  // Not owned by the behaviour, as it is in the original wiring: this controller owns the remote, which owns the
  // behaviour, so the other direction would make a cycle that nothing ever frees.
  remoteBehavior_->setDelegate(this);
  newRemoteControl_->setDelegate(remoteBehavior_);
}

RemoteControl* OXAppleRemoteController::remoteControl() const { return newRemoteControl_.get(); }

void OXAppleRemoteController::controlAppleRemoteIfNeeded() {
  if (!newRemoteControl_) return;
  if (ox::UserDefaults::value(kControlAppleRemote, false).toBool())
    newRemoteControl_->startListening();
  else
    newRemoteControl_->stopListening();
}

void OXAppleRemoteController::controlAppleRemoteChange(bool control) {
  ox::UserDefaults::setValue(kControlAppleRemote, control);
  ox::UserDefaults::synchronize();
  controlAppleRemoteIfNeeded();
}

void OXAppleRemoteController::remoteButton(qint32 event, bool pressedDown, quint32) {
  if (!pressedDown) return;
  switch (event) {
    case RemoteButtonMenu:
    case RemoteButtonPlay:
    case RemoteButtonMenuHold:
    case RemoteButtonPlayHold:
      removeUpdateFile();
      launchMainApp();
      break;
    default:
      break;
  }
}

void OXAppleRemoteController::removeUpdateFile() {
  OXLibrary* library = library_ ? library_ : OXLibrary::shareLibrary();
  QFile::remove(library->pathWithFolder(QStringLiteral("Updates"), QStringLiteral("update.bin")));
}

void OXAppleRemoteController::launchMainApp() {
  ox::PowerAssertion::reportUserActivity();
  // Closing the exclusive session announces it; Ombrix then opens the free receiver at once.
  if (newRemoteControl_) newRemoteControl_->stopListening();
  if (!ox::Workspace::shared().launchApplication(mainAppPath()))
    OXLOG("Ombrix did not start from %s", qPrintable(mainAppPath()));
}

void OXAppleRemoteController::stopListeningAppleRemote(const ox::DistributedNotification& note) {
  if (!newRemoteControl_) return;
  if (note.userInfo.value(RemoteControl::kBundleIdentifierKey).toString() == mainAppBundleIdentifier())
    newRemoteControl_->stopListening();
}

void OXAppleRemoteController::startListeningAppleRemote(const ox::DistributedNotification& note) {
  // The finished notification reaches its sender too: after the helper's own hand-back it must stay closed.
  if (note.userInfo.value(RemoteControl::kBundleIdentifierKey).toString() == ownBundleIdentifier()) return;
  controlAppleRemoteIfNeeded();
}
