#include "platform/foundation/Info.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include <mutex>

namespace ox {

namespace {
struct InfoStore {
  std::mutex mutex;
  QVariantMap values;
  QHash<QString, QByteArray> overrides;
};
InfoStore& store() {
  static InfoStore s;
  return s;
}
}  // namespace

void registerInfoValues(const QVariantMap& values) {
  std::lock_guard<std::mutex> hold(store().mutex);
  store().values.insert(values);
}

void registerInfoEnvironmentOverride(const QString& key, const QString& envVarName) {
  std::lock_guard<std::mutex> hold(store().mutex);
  store().overrides.insert(key, envVarName.toLocal8Bit());
}

QVariant infoValue(const QString& key) {
  std::lock_guard<std::mutex> hold(store().mutex);
  if (const QByteArray var = store().overrides.value(key); !var.isEmpty()) {
    if (const QString text = qEnvironmentVariable(var.constData()); !text.isEmpty()) return text;
  }
  return store().values.value(key);
}

QString applicationSupportDirectory() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString pathForResource(const QString& name, const QString& type) {
  if (name.isEmpty() || name.contains(QLatin1Char('/')) || type.contains(QLatin1Char('/'))) return {};
  const QString file = type.isEmpty() ? name : name + QLatin1Char('.') + type;
  QStringList roots;
  if (const QString env = qEnvironmentVariable("OMBRIX_RESOURCES_DIR"); !env.isEmpty()) roots << env;
  // What the program carries compiled in, then its install prefix's share folder: never a path of the machine that
  // built it.
  roots << QStringLiteral(":/");
  if (QCoreApplication::instance())
    roots << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/ombrix");
  for (const QString& root : roots) {
    const QDir dir(root);
    if (!dir.exists()) continue;
    if (QFileInfo(dir.filePath(file)).isFile()) return QFileInfo(dir.filePath(file)).canonicalFilePath();
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
      const QFileInfo candidate(dir.filePath(sub + QLatin1Char('/') + file));
      if (candidate.isFile()) return candidate.canonicalFilePath();
    }
  }
  return {};
}

}  // namespace ox
