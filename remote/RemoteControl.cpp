#include "remote/RemoteControl.h"

#include "platform/foundation/Info.h"
#include "platform/system/DistributedNotificationCenter.h"

const QString RemoteControl::kRequestForRemoteControl = QStringLiteral("mac.remotecontrols.RequestForRemoteControl");
const QString RemoteControl::kFinishedUsingRemoteControl =
    QStringLiteral("mac.remotecontrols.FinishedUsingRemoteControl");
const QString RemoteControl::kDeviceNameKey = QStringLiteral("RemoteControlDeviceName");
const QString RemoteControl::kBundleIdentifierKey = QStringLiteral("CFBundleIdentifier");
const QString RemoteControl::kTargetBundleIdentifierKey = QStringLiteral("TargetBundleIdentifier");

RemoteControl::RemoteControl(std::shared_ptr<RemoteControlDelegate> delegate) : m_delegate(std::move(delegate)) {}

RemoteControl::RemoteControl(std::shared_ptr<RemoteControlDelegate> delegate, const QString& deviceName)
    : m_delegate(std::move(delegate)), m_deviceName(deviceName) {}

RemoteControl::~RemoteControl() = default;

void RemoteControl::setDelegate(std::shared_ptr<RemoteControlDelegate> delegate) {
  if (delegate != m_delegate) m_delegate = std::move(delegate);
}

void RemoteControl::setListeningToRemote(bool) {}
bool RemoteControl::isListeningToRemote() const { return false; }
void RemoteControl::startListening() {}
void RemoteControl::stopListening() {}
bool RemoteControl::isOpenInExclusiveMode() const { return true; }
void RemoteControl::setOpenInExclusiveMode(bool) {}
bool RemoteControl::sendsEventForButtonIdentifier(qint32) const { return true; }

QVariantMap RemoteControl::notificationUserInfo(const QString& targetBundleIdentifier) const {
  QVariantMap info;
  const QVariant bundle = ox::infoValue(kBundleIdentifierKey);
  const QString bundleIdentifier = bundle.isValid() ? bundle.toString() : QString();
  const std::pair<const QString*, QString> entries[] = {{&kDeviceNameKey, m_deviceName},
                                                        {&kBundleIdentifierKey, bundleIdentifier},
                                                        {&kTargetBundleIdentifierKey, targetBundleIdentifier}};
  for (const auto& [key, value] : entries) {
    if (value.isNull()) break;
    info.insert(*key, value);
  }
  return info;
}

void RemoteControl::sendDistributedNotification(const QString& name, const QString& targetBundleIdentifier) const {
  auto& center = ox::DistributedNotificationCenter::defaultCenter();
  center.post(name, QString(), notificationUserInfo(targetBundleIdentifier));
}

void RemoteControl::sendFinishedNotificationForAppIdentifier(const QString& identifier) const {
  sendDistributedNotification(kFinishedUsingRemoteControl, identifier);
}

void RemoteControl::sendRequestForRemoteControlNotification() const {
  sendDistributedNotification(kRequestForRemoteControl, QString());
}
