#include "platform/foundation/Info.h"

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

}  // namespace ox
