#pragma once
#include <QDateTime>
#include <QString>

// Today as short digit texts, in the local time zone. The overloads taking a moment format that moment instead of
// the present one.
struct SimpleDate {
  static QString currentDayMonthYear();  // "08_12_2026"
  static QString currentYear();          // "2026"
  static QString currentMonthNumber();   // "12"
  static QString currentDayNumber();     // "08"

  static QString currentDayMonthYear(const QDateTime& now);
  static QString currentYear(const QDateTime& now);
  static QString currentMonthNumber(const QDateTime& now);
  static QString currentDayNumber(const QDateTime& now);
};
