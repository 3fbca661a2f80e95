#include "tests/support/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QFile>
#include <atomic>

#include "tests/support/TestUtil.h"

namespace oxtest {

PrivateBus::PrivateBus() {
  const QString config = dir_.filePath(QStringLiteral("bus.conf"));
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(QStringLiteral(
                 "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                 "<busconfig>\n"
                 "  <type>session</type>\n"
                 "  <listen>unix:dir=%1</listen>\n"
                 "  <auth>EXTERNAL</auth>\n"
                 "  <policy context=\"default\">\n"
                 "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                 "    <allow eavesdrop=\"true\"/>\n"
                 "    <allow own=\"*\"/>\n"
                 "  </policy>\n"
                 "</busconfig>\n")
                 .arg(dir_.path())
                 .toUtf8());
  file.close();
  if (!startProcess(daemon_, QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                     QStringLiteral("--print-address=1")}))
    return;
  QDeadlineTimer deadline(10000);
  while (!daemon_->canReadLine() && !deadline.hasExpired() && daemon_->state() == QProcess::Running)
    daemon_->waitForReadyRead(100);
  address_ = QString::fromUtf8(daemon_->readLine()).trimmed();
  static std::atomic<int> serial{0};
  connectionName_ = QStringLiteral("oxtest-private-bus-%1").arg(serial.fetch_add(1));
}

PrivateBus::~PrivateBus() {
  if (!connectionName_.isEmpty()) QDBusConnection::disconnectFromBus(connectionName_);
  if (daemon_ && daemon_->state() != QProcess::NotRunning) {
    daemon_->terminate();
    if (!daemon_->waitForFinished(3000)) {
      daemon_->kill();
      daemon_->waitForFinished(3000);
    }
  }
}

bool PrivateBus::hasOwner(const QString& name) const {
  if (!isRunning()) return false;
  QDBusConnection bus = QDBusConnection::connectToBus(address_, connectionName_);
  return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(name).value();
}

}  // namespace oxtest
