#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/AppController.h"
#include "app/OXWindow.h"
#include "platform/foundation/NotificationCenter.h"
#include "playback/OXRemoteProtocol.h"

// Posted (any object) to rebuild the interface: full screen again and Home from the start.
inline constexpr const char* kVNOpenMainInterfaceNotification = "kVNOpenMainInterfaceNotification";

// The spine of Ombrix: the launch sequence (the helper started when it is not running, the other media
// application's remote helpers stopped, the remote, the borderless window, software update, full screen), then Home
// and the focus. Main thread only.
class VNAppDelegate : public std::enable_shared_from_this<VNAppDelegate> {
 public:
  // init: registers for "kVNOpenMainInterfaceNotification".
  static std::shared_ptr<VNAppDelegate> create();
  ~VNAppDelegate();
  VNAppDelegate(const VNAppDelegate&) = delete;
  VNAppDelegate& operator=(const VNAppDelegate&) = delete;

  // runHelperIsNotRunning, killPlex, setupRemoteControl, setupWindow, setupUpdates, setupUI.
  void applicationWillFinishLaunching();
  // Home with code 0, then the focus to our window.
  void applicationDidFinishLaunching();

  void registerForNotifications();
  void restartMainUI();
  void killPlex();
  void setupRemoteControl();
  void setupUI();
  void setupWindow();
  // Asks Ombrix Helper to open its panel and keep it open.
  void openHelperPopUpPermanent();
  void setupUpdates();
  void runHelperIsNotRunning();
  bool helperAppIsRunning() const;

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
  VNAppDelegate() = default;

  std::weak_ptr<AppController> appController_;
  std::weak_ptr<OXWindow> window_;
  ProgramRunner runner_;
  ox::NotificationCenter::Token observer_ = 0;
};
