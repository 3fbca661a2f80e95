#include "scanner/SimpleDate.h"

namespace {
QString format(const QDateTime& now, const char* pattern) {
  return now.toLocalTime().toString(QLatin1String(pattern));
}
}  // namespace

QString SimpleDate::currentDayMonthYear(const QDateTime& now) { return format(now, "dd'_'MM'_'yyyy"); }
QString SimpleDate::currentYear(const QDateTime& now) { return format(now, "yyyy"); }
QString SimpleDate::currentMonthNumber(const QDateTime& now) { return format(now, "MM"); }
QString SimpleDate::currentDayNumber(const QDateTime& now) { return format(now, "dd"); }

QString SimpleDate::currentDayMonthYear() { return currentDayMonthYear(QDateTime::currentDateTime()); }
QString SimpleDate::currentYear() { return currentYear(QDateTime::currentDateTime()); }
QString SimpleDate::currentMonthNumber() { return currentMonthNumber(QDateTime::currentDateTime()); }
QString SimpleDate::currentDayNumber() { return currentDayNumber(QDateTime::currentDateTime()); }
