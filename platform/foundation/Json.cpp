#include "platform/foundation/Json.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace ox {

QVariant jsonValue(const QByteArray& text) {
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
  if (error.error != QJsonParseError::NoError || doc.isNull()) return {};
  return doc.toVariant();
}

QVariant jsonObject(const QByteArray& text) {
  QVariant value = jsonValue(text);
  return value.typeId() == QMetaType::QVariantMap ? value : QVariant();
}

}  // namespace ox
