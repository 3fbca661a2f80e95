#include "scanner/StringHelper.h"

#include <QRegularExpression>

QStringList StringHelper::pipedStringToArray(const QString& text) {
  if (text.isNull()) return {};
  QString rest = text;
  if (rest.startsWith(u'|')) rest.remove(0, 1);
  if (rest.endsWith(u'|')) rest.chop(1);
  if (!rest.contains(u'|')) return {rest};
  return rest.split(u'|', Qt::KeepEmptyParts);
}

QDateTime StringHelper::stringToDate(const QString& text) {
  static const QRegularExpression form(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
  const QRegularExpressionMatch m = form.match(text);
  if (!m.hasMatch()) return {};
  const QDate day(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  if (!day.isValid()) return {};
  // startOfDay also copes with a day whose local midnight is skipped by a clock change.
  return day.startOfDay();
}
