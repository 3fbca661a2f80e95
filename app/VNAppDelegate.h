#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/AppController.h"
#include "app/OXWindow.h"
#include "platform/foundation/NotificationCenter.h"
#include "playback/OXRemoteProtocol.h"
#include "remote/HIDRemoteBackend.h"
#include "remote/MultiClickRemoteBehaviorDelegate.h"
#include "remote/RemoteClock.h"

class AppleRemote;
class MultiClickRemoteBehavior;
class RemoteControl;

// Posted (any object) to rebuild the interface: full screen again and Home from the start.
inline constexpr const char* kVNOpenMainInterfaceNotification = "kVNOpenMainInterfaceNotification";

// The spine of Ombrix: the launch sequence (the helper started when it is not running, the other media
// application's remote helpers stopped, the remote, the borderless window, software update, full screen), then Home
// and the focus. Main thread only.
//
// The Apple Remote (VNAppDelegateRemote.cpp): each button event becomes one command for the first responder of the
// key window, looked up anew each time. Plus and Minus step up and down at once and, held past 0.4 s, repeat every
// 0.05 s until they are let go; the remote's own held buttons come as the hold commands. The hold and repeat timers
// live on the remote's clock, on the main thread, so they need no lock.
class VNAppDelegate : public MultiClickRemoteBehaviorDelegate, public std::enable_shared_from_this<VNAppDelegate> {
 public:
  // init: registers for "kVNOpenMainInterfaceNotification".
  static std::shared_ptr<VNAppDelegate> create();
  ~VNAppDelegate() override;
  VNAppDelegate(const VNAppDelegate&) = delete;
  VNAppDelegate& operator=(const VNAppDelegate&) = delete;

  // runHelperIsNotRunning, killPlex, setupRemoteControl, setupWindow, setupUpdates, setupUI.
  void applicationWillFinishLaunching();
  // Home with code 0, then the focus to our window.
  void applicationDidFinishLaunching();

  void registerForNotifications();
  void restartMainUI();
  void killPlex();
  void setupUI();
  void setupWindow();
  // Asks Ombrix Helper to open its panel and keep it open.
  void openHelperPopUpPermanent();
  void setupUpdates();
  void runHelperIsNotRunning();
  bool helperAppIsRunning() const;

  // --- the Apple Remote (VNAppDelegateRemote.cpp)
  // remote -> click and hold behaviour -> this delegate, then listening; without a receiver, nothing (the keyboard
  // alone). Once only.
  void setupRemoteControl();
  void applicationWillBecomeActive();
  // On every way out: the remote stops listening, a playback still open ends as Menu ends it (its point kept), and
  // libvlc is released.
  void applicationWillTerminate();
  void plusHold();
  void minusHold();
  // Replaces a running repeat.
  void startRemoteControlRepeatTimer(double seconds);
  void stopRemoteControlRepeatTimer();
  // One command for the repeated button's code; none for a code that does not repeat.
  void remoteControlRepeat();
  void remoteButton(qint32 event, bool pressedDown, quint32 clickCount) override;
  // The remote in use; empty without a receiver.
  RemoteControl* remoteControl() const;
  bool isRepeating() const { return repeatGeneration_ != 0; }

  // Where setupRemoteControl finds the receiver (the platform's input devices unless given) and the clock of the
  // remote chain's holds and repeats (the main loop's unless given; it must outlive the delegate).
  void setRemoteBackend(std::unique_ptr<HIDRemoteBackend> backend) { remoteBackend_ = std::move(backend); }
  void setRemoteClock(RemoteClock* clock) { clock_ = clock; }

  static constexpr double kHoldDelay = 0.4;
  static constexpr double kRepeatInterval = 0.05;

  // The receiver of a remote command: the first responder of the key window, looked up anew each time; empty when
  // there is no key window or its responder answers no commands.
  static std::shared_ptr<OXRemoteProtocol> keyWindowResponder();

  std::shared_ptr<AppController> appController() const { return appController_.lock(); }
  void setAppController(const std::shared_ptr<AppController>& c) { appController_ = c; }
  std::shared_ptr<OXWindow> window() const { return window_.lock(); }
  void setWindow(const std::shared_ptr<OXWindow>& w) { window_ = w; }

  // How killPlex runs a program and waits for it (ox::runProcess unless replaced): answers the exit code.
  using ProgramRunner = std::function<int(const QString& program, const QStringList& arguments, int timeoutMs)>;
  void setProgramRunner(ProgramRunner runner) { runner_ = std::move(runner); }
  static constexpr int kKillTimeoutMs = 3000;

  // The information values behind the helper's launch and the stop of the remote helpers.
  static QString helperBundleIdentifier();
  static QString helperPath();
  static QString killallPath();

 private:
  VNAppDelegate();

  std::weak_ptr<AppController> appController_;
  std::weak_ptr<OXWindow> window_;
  ProgramRunner runner_;
  ox::NotificationCenter::Token observer_ = 0;

  // The remote's last events are dropped: nothing reaches a delegate that is going.
  void tearDownRemoteControl();
  RemoteClock& clock() const { return clock_ ? *clock_ : RemoteClock::mainLoop(); }
  // The command to the key window's first responder; nothing without one.
  static void sendToKeyWindow(OXRemoteCommand command);
  // Performs `hold` after kHoldDelay unless the pending serial is cleared (or replaced) first.
  void performHoldLater(void (VNAppDelegate::*hold)(), quint64* pending);
  void repeatTick(quint64 generation, double due, double interval);

  // Declared before the remote, which holds the behaviour: the remote goes first.
  std::shared_ptr<MultiClickRemoteBehavior> remoteBehavior_;
  std::unique_ptr<AppleRemote> newRemoteControl_;
  std::unique_ptr<HIDRemoteBackend> remoteBackend_;
  RemoteClock* clock_ = nullptr;
  qint32 remoteControlRepeatButtonID_ = 0;
  quint64 repeatGeneration_ = 0;  // 0: no repeat running
  quint64 pendingPlusHold_ = 0;
  quint64 pendingMinusHold_ = 0;
  quint64 serial_ = 0;
  bool remoteSetUp_ = false;
};
