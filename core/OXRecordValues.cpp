#include "core/OXRecordValues.h"

#include <cmath>
#include <limits>

#include "platform/foundation/Text.h"

namespace oxvalue {

bool isNumber(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
      return true;
    default:
      return false;
  }
}

QString text(const QVariant& value) {
  return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

quint64 integer(const QVariant& value) {
  if (value.typeId() == QMetaType::QString) {
    const long long n = ox::leadingInteger(value.toString());
    return n < 0 ? 0 : quint64(n);
  }
  if (!isNumber(value)) return 0;
  switch (value.typeId()) {
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UInt:
    case QMetaType::UShort:
      return value.toULongLong();
    case QMetaType::Double:
    case QMetaType::Float: {
      const double d = value.toDouble();
      if (std::isnan(d) || d <= 0) return 0;
      if (d >= 18446744073709551615.0) return std::numeric_limits<quint64>::max();
      return quint64(d);
    }
    default: {
      const qlonglong n = value.toLongLong();
      return n < 0 ? 0 : quint64(n);
    }
  }
}

float floating(const QVariant& value) {
  if (value.typeId() == QMetaType::QString) return float(ox::leadingDouble(value.toString()));
  return isNumber(value) ? float(value.toDouble()) : 0.0f;
}

QUrl url(const QVariant& value) {
  const QString s = text(value);
  if (s.isEmpty()) return {};
  QUrl u(s, QUrl::StrictMode);
  return u.isValid() ? u : QUrl();
}

QStringList stringList(const QVariant& value) {
  QStringList out;
  if (value.typeId() == QMetaType::QStringList) return value.toStringList();
  if (value.typeId() != QMetaType::QVariantList) return out;
  for (const QVariant& entry : value.toList())
    if (entry.typeId() == QMetaType::QString) out << entry.toString();
  return out;
}

QVariantMap map(const QVariant& value, bool* ok) {
  const bool isMap = value.typeId() == QMetaType::QVariantMap;
  if (ok) *ok = isMap;
  return isMap ? value.toMap() : QVariantMap();
}

}  // namespace oxvalue
