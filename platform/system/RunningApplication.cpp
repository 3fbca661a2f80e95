#include "platform/system/RunningApplication.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>

#include "platform/foundation/Log.h"

namespace ox {

RunningApplication::Claim RunningApplication::claimBundleIdentifier(const QString& identifier) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()) {
    OXLOG("no session bus: %s cannot tell whether it already runs", qPrintable(identifier));
    return Claim::NoSessionBus;
  }
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
      identifier, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
  if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) return Claim::Owned;
  if (!reply.isValid()) {
    OXLOG("session bus refused %s: %s", qPrintable(identifier), qPrintable(reply.error().message()));
    return Claim::NoSessionBus;
  }
  return Claim::TakenByAnother;
}

}  // namespace ox
