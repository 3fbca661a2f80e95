#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

// The "|"-separated lists and "yyyy-MM-dd" dates of TheTVDB documents.
struct StringHelper {
  // One leading and one trailing bar are dropped, then the text is split at every bar (empty pieces between two
  // adjacent bars stay). A null text gives an empty list; a text without bars a list of that one text.
  static QStringList pipedStringToArray(const QString& text);
  // Midnight of that day in the local time zone; an invalid date-time (none) when the text has another form.
  static QDateTime stringToDate(const QString& text);
};
