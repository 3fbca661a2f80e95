#include "platform/system/PowerAssertion.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <atomic>

#include "platform/foundation/Log.h"

namespace ox {
namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");

std::atomic<quint64> granted{0};
std::atomic<quint64> released{0};

// A bus connection of this thread's own: QDBusConnection::sessionBus() is bound to the main thread's objects, while
// cycles ask from worker threads. Blocking calls on a private connection are thread-safe.
QDBusConnection connection() {
  static std::atomic<int> serial{0};
  const QString name = QStringLiteral("ox-power-%1").arg(serial.fetch_add(1));
  return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

}  // namespace

PowerAssertion::PowerAssertion(const QString& name) {
  QDBusConnection bus = connection();
  const QString busName = bus.name();
  if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kService).value()) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << (QCoreApplication::applicationName().isEmpty() ? QStringLiteral("Ombrix")
                                                             : QCoreApplication::applicationName())
         << name;
    QDBusReply<quint32> reply = bus.call(call, QDBus::Block, 5000);
    if (reply.isValid() && reply.value() != 0) {
      // The session drops an inhibit when its connection closes, so the connection lives as long as the grant.
      cookie_ = reply.value();
      busName_ = busName;
      granted.fetch_add(1);
      return;
    } else {
      OXLOG("power assertion \"%s\" refused: %s", qPrintable(name), qPrintable(reply.error().message()));
    }
  } else {
    OXLOG("power assertion \"%s\": no screen saver service, display may sleep", qPrintable(name));
  }
  QDBusConnection::disconnectFromBus(busName);
}

PowerAssertion::~PowerAssertion() { release(); }

void PowerAssertion::release() {
  if (cookie_ == 0) return;
  const quint32 cookie = cookie_;
  cookie_ = 0;
  QDBusConnection bus(busName_);
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("UnInhibit"));
  call << cookie;
  bus.call(call, QDBus::Block, 5000);
  QDBusConnection::disconnectFromBus(busName_);
  busName_.clear();
  released.fetch_add(1);
}

bool PowerAssertion::reportUserActivity() {
  QDBusConnection bus = connection();
  const QString busName = bus.name();
  bool taken = false;
  if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kService).value()) {
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("SimulateUserActivity"));
    taken = bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
  }
  QDBusConnection::disconnectFromBus(busName);
  return taken;
}

quint64 PowerAssertion::grantedCount() { return granted.load(); }
quint64 PowerAssertion::releasedCount() { return released.load(); }

}  // namespace ox
