// The typed reads every decoder shares (KeyedArchiver.h).
#include <QUrl>

#include "platform/foundation/KeyedArchiver.h"

namespace ox {

// The value when it is of that kind; otherwise the empty one, and a mismatch noted unless it is nil.
template <class T>
T Decoder::kindOf(const QString& key) const {
  const QVariant v = decodeObject(key);
  if (v.metaType() == QMetaType::fromType<T>()) return v.value<T>();
  if (v.isValid()) noteMismatch(key);
  return T();
}

QString Decoder::decodeString(const QString& key) const { return kindOf<QString>(key); }
QByteArray Decoder::decodeData(const QString& key) const { return kindOf<QByteArray>(key); }
QUrl Decoder::decodeUrl(const QString& key) const { return kindOf<QUrl>(key); }
QVariantList Decoder::decodeList(const QString& key) const { return kindOf<QVariantList>(key); }
QVariantMap Decoder::decodeMap(const QString& key) const { return kindOf<QVariantMap>(key); }

}  // namespace ox
