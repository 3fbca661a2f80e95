#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/Info.h"

#include <QCoreApplication>
#include <QSettings>

#include <mutex>

namespace ox {

namespace {
std::mutex nameMutex;
QString chosenName;

// One QSettings per call: Qt shares the parsed file between them, and each writes its change back when it goes.
// Calls are serialised all the same, which keeps the sanitizers' view of Qt's own locking out of the way.
std::mutex settingsMutex;
QSettings settings() { return QSettings(QStringLiteral("Varnel"), UserDefaults::applicationName()); }
}  // namespace

void UserDefaults::setApplicationName(const QString& name) {
  std::lock_guard<std::mutex> hold(nameMutex);
  chosenName = name;
}

QString UserDefaults::applicationName() {
  {
    std::lock_guard<std::mutex> hold(nameMutex);
    if (!chosenName.isEmpty()) return chosenName;
  }
  const QString bundle = infoValue(QStringLiteral("CFBundleName")).toString();
  return !bundle.isEmpty() ? bundle : QCoreApplication::applicationName();
}

QVariant UserDefaults::value(const QString& key, const QVariant& fallback) {
  std::lock_guard<std::mutex> hold(settingsMutex);
  return settings().value(key, fallback);
}

bool UserDefaults::contains(const QString& key) {
  std::lock_guard<std::mutex> hold(settingsMutex);
  return settings().contains(key);
}

void UserDefaults::setValue(const QString& key, const QVariant& value) {
  std::lock_guard<std::mutex> hold(settingsMutex);
  settings().setValue(key, value);
}

void UserDefaults::remove(const QString& key) {
  std::lock_guard<std::mutex> hold(settingsMutex);
  settings().remove(key);
}

bool UserDefaults::synchronize() {
  std::lock_guard<std::mutex> hold(settingsMutex);
  QSettings s = settings();
  s.sync();
  return s.status() == QSettings::NoError;
}

}  // namespace ox
