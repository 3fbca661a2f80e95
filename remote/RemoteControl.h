#pragma once
#include <QString>
#include <QVariantMap>

#include <memory>

#include "remote/RemoteButtonCode.h"
#include "remote/RemoteControlDelegate.h"

// The base of every remote-control device: it holds the receiver of button events and posts the two distributed
// notifications by which processes hand the infrared receiver to each other. A device that cannot open the receiver
// exclusively posts kRequestForRemoteControl and waits; a device that closes an exclusive session posts
// kFinishedUsingRemoteControl. Any process that follows these two names and their user-info keys takes part.
//
// The base answers the listening questions with fixed answers (never listening, exclusive, every event sent);
// devices override them. Main thread only.
class RemoteControl {
 public:
  static const QString kRequestForRemoteControl;   // "mac.remotecontrols.RequestForRemoteControl"
  static const QString kFinishedUsingRemoteControl;  // "mac.remotecontrols.FinishedUsingRemoteControl"
  static const QString kDeviceNameKey;        // "RemoteControlDeviceName"
  static const QString kBundleIdentifierKey;  // "CFBundleIdentifier"
  static const QString kTargetBundleIdentifierKey;  // "TargetBundleIdentifier"

  // The delegate is retained (the remote shares its ownership).
  explicit RemoteControl(std::shared_ptr<RemoteControlDelegate> delegate = {});
  virtual ~RemoteControl();
  RemoteControl(const RemoteControl&) = delete;
  RemoteControl& operator=(const RemoteControl&) = delete;

  void setDelegate(std::shared_ptr<RemoteControlDelegate> delegate);
  RemoteControlDelegate* delegate() const { return m_delegate.get(); }

  virtual void setListeningToRemote(bool listening);
  virtual bool isListeningToRemote() const;
  virtual void startListening();
  virtual void stopListening();
  virtual bool isOpenInExclusiveMode() const;
  virtual void setOpenInExclusiveMode(bool exclusive);
  // Whether the device reports every bit of `code` itself.
  virtual bool sendsEventForButtonIdentifier(qint32 code) const;

  // The concrete device's registered name, carried in the hand-over notifications: null for the base, empty for the
  // generic HID device, "AppleIRController" for the Apple Remote.
  const QString& remoteControlDeviceName() const { return m_deviceName; }

  // Posts `name` with "RemoteControlDeviceName", the program's "CFBundleIdentifier" and "TargetBundleIdentifier" =
  // `target`, in that order; the list ends at the first missing value, so a null target leaves the last key out.
  void sendDistributedNotification(const QString& name, const QString& targetBundleIdentifier) const;
  void sendFinishedNotificationForAppIdentifier(const QString& identifier) const;
  void sendRequestForRemoteControlNotification() const;
  // The user info those posts carry (exposed for the hand-over's observers and tests).
  QVariantMap notificationUserInfo(const QString& targetBundleIdentifier) const;

 protected:
  // A data member rather than a virtual answer, so that destructors can still post with the concrete name.
  RemoteControl(std::shared_ptr<RemoteControlDelegate> delegate, const QString& deviceName);

 private:
  std::shared_ptr<RemoteControlDelegate> m_delegate;
  QString m_deviceName;
};
