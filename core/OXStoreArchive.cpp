#include "core/OXStoreArchive.h"

OXStoreArchive::OXStoreArchive(const QByteArray& bytes, const QStringList& ownKeys) : archive_(bytes) {
  const QStringList keys = archive_.rootKeys();
  if (keys.isEmpty()) damage_ = QStringLiteral("no key of the store");
  for (qsizetype i = 0; i < keys.size() && damage_.isEmpty(); ++i)
    if (!ownKeys.contains(keys[i]) || keys.indexOf(keys[i]) != i)
      damage_ = QStringLiteral("unexpected root key \"%1\"").arg(keys[i]);
}

QString OXStoreArchive::damage() const {
  if (!archive_.isValid()) return QStringLiteral("not a readable keyed archive");
  if (!damage_.isEmpty()) return damage_;
  const QString loss = archive_.firstLoss();
  return loss.isEmpty() ? archive_.unreachedObjects() : loss;
}

QVariant OXStoreArchive::value(const QString& key, const std::function<bool(const QVariant&)>& fits) {
  if (!damage_.isEmpty() || !archive_.containsValue(key)) return {};
  QVariant v = archive_.decodeObject(key);
  if (fits(v)) return v;
  if (archive_.isValid()) damage_ = QStringLiteral("\"%1\" holds what the store never writes there").arg(key);
  return {};
}

QDateTime OXStoreArchive::date(const QString& key, const QDateTime& fallback) {
  const QVariant v =
      value(key, [](const QVariant& v) { return v.typeId() == QMetaType::QDateTime && v.toDateTime().isValid(); });
  return v.isValid() ? v.toDateTime() : fallback;
}
