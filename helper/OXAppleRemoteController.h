#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/system/DistributedNotificationCenter.h"
#include "remote/HIDRemoteBackend.h"
#include "remote/MultiClickRemoteBehaviorDelegate.h"

class AppleRemote;
class MultiClickRemoteBehavior;
class OXLibrary;
class RemoteControl;

// While Ombrix is not running, Ombrix Helper holds the Apple Remote, so that Menu or Play (pressed or held) starts
// Ombrix. It listens only while the setting "controlAppleRemote" is on, gives the receiver up as soon as Ombrix asks
// for it, and takes it back when another program has finished with it, but not after its own hand-back (the finished
// notification reaches its sender too). Before it launches Ombrix it deletes the update marker and stops listening,
// so that Ombrix opens the receiver exclusively. Main thread only.
class OXAppleRemoteController final : public MultiClickRemoteBehaviorDelegate {
 public:
  static const QString kControlAppleRemote;             // "controlAppleRemote"
  // Posted by the settings window; user info { kControlAppleRemote: bool }.
  static const QString kAppleRemoteChangeNotification;  // "AppleRemoteChangeNotification"
  static constexpr int kKillTimeoutMs = 3000;

  // Observes the setting's notification and the two hand-over notifications. `library` gives the marker's folder
  // (the shared library when none).
  explicit OXAppleRemoteController(OXLibrary* library = nullptr);
  ~OXAppleRemoteController() override;
  OXAppleRemoteController(const OXAppleRemoteController&) = delete;
  OXAppleRemoteController& operator=(const OXAppleRemoteController&) = delete;

  // Stops the other media application's remote helpers, then builds remote -> behaviour -> this controller; listens
  // to nothing yet. Without a backend, the platform's input devices; without a receiver, no remote at all.
  void setupRemote(std::unique_ptr<HIDRemoteBackend> backend = {});
  // Stores the setting, then listens or not accordingly.
  void controlAppleRemoteChange(bool control);
  void controlAppleRemoteIfNeeded();
  void remoteButton(qint32 event, bool pressedDown, quint32 clickCount) override;
  void removeUpdateFile();
  void launchMainApp();
  void stopListeningAppleRemote(const ox::DistributedNotification& note);
  void startListeningAppleRemote(const ox::DistributedNotification& note);

  RemoteControl* remoteControl() const;

  // How the other vendor's helpers are stopped (a program run to its end, answering its exit code).
  using ProgramRunner = std::function<int(const QString& program, const QStringList& arguments, int timeoutMs)>;
  void setProgramRunner(ProgramRunner runner) { runner_ = std::move(runner); }
  // The information values naming Ombrix's program file and bundle identifier ("Varnel.Ombrix"), and this
  // program's own bundle identifier ("Varnel.OmbrixHelper").
  static QString mainAppPath();
  static QString mainAppBundleIdentifier();
  static QString ownBundleIdentifier();

 private:
  OXLibrary* library_;
  std::unique_ptr<AppleRemote> newRemoteControl_;
  std::shared_ptr<MultiClickRemoteBehavior> remoteBehavior_;
  ProgramRunner runner_;
  ox::NotificationCenter::Token changeObserver_ = 0;
  std::vector<ox::DistributedNotificationCenter::Token> handOverObservers_;
};
