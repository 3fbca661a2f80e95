#include "platform/system/Workspace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "platform/foundation/Log.h"

namespace ox {

Workspace& Workspace::shared() {
  static Workspace workspace;
  return workspace;
}

bool Workspace::isApplicationRunning(const QString& bundleIdentifier) const {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface() || bundleIdentifier.isEmpty()) return false;
  return bus.interface()->isServiceRegistered(bundleIdentifier).value();
}

Workspace::Claim Workspace::claimBundleIdentifier(const QString& bundleIdentifier) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()) {
    log(QStringLiteral("No session bus: %1 runs without claiming its name").arg(bundleIdentifier));
    return Claim::NoBus;
  }
  const auto reply = bus.interface()->registerService(bundleIdentifier, QDBusConnectionInterface::DontQueueService,
                                                      QDBusConnectionInterface::DontAllowReplacement);
  if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) return Claim::Owned;
  if (!reply.isValid()) {
    log(QStringLiteral("Could not claim %1: %2").arg(bundleIdentifier, reply.error().message()));
    return Claim::NoBus;
  }
  return Claim::TakenByAnother;
}

bool Workspace::launchApplication(const QString& path) {
  if (launcher_) return launcher_(path);
  const QFileInfo file(path);
  if (!file.isFile() || !file.isExecutable()) {
    log(QStringLiteral("No program to launch at %1").arg(path));
    return false;
  }
  if (!QProcess::startDetached(file.absoluteFilePath(), {})) {
    log(QStringLiteral("Could not launch %1").arg(path));
    return false;
  }
  return true;
}

bool Workspace::openURL(const QUrl& url) {
  if (opener_) return opener_(url);
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty() || !url.isValid()) {
    log(QStringLiteral("Cannot open %1: no desktop opener").arg(url.toString()));
    return false;
  }
  return QProcess::startDetached(opener, {url.toString(QUrl::FullyEncoded)});
}

void Workspace::setLauncher(std::function<bool(const QString&)> launcher) { launcher_ = std::move(launcher); }

void Workspace::setURLOpener(std::function<bool(const QUrl&)> opener) { opener_ = std::move(opener); }

}  // namespace ox
