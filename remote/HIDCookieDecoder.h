#pragma once
#include <QMap>
#include <QString>

#include <utility>
#include <vector>

#include "remote/HIDRemoteBackend.h"

struct HIDButtonEvent {
  qint32 code = 0;
  bool pressedDown = false;
  bool operator==(const HIDButtonEvent&) const = default;
};

// Turns the receiver's event batches into button events through a cookie table (cookie string -> RemoteButtonCode).
// A cookie string is each event's decimal cookie followed by "_", in batch order ("33_31_30_21_20_2_"); cookie 5
// never enters it nor the sum of values.
//
// Keys are matched whole: on "_" boundaries, and the longest key first, so "19_" never matches inside "119_" nor
// stands in for a longer key around it.
class HIDCookieDecoder {
 public:
  struct Result {
    std::vector<HIDButtonEvent> events;
    QString unknown;  // the remainder that no key matched; empty when all of it was understood
  };

  HIDCookieDecoder() = default;
  explicit HIDCookieDecoder(const QMap<QString, qint32>& table);

  const QMap<QString, qint32>& table() const { return m_table; }
  // The bitwise OR of every code in the table.
  qint32 supportedButtonEvents() const { return m_supported; }

  static QString cookieString(const HIDEventBatch& batch, qint64* sumOfValues);

  // The table key that begins `cookieString`, or a null string.
  QString validCookieSubstring(const QString& cookieString) const;

  // One batch: its exact key is a press (sum > 0) or a release; a key found after the start is a press and release
  // in one batch; else the keys that begin the string are cut off one by one and, unless `processesBacklog`, only
  // the last of them is sent, released.
  Result decode(const QString& cookieString, qint64 sumOfValues, bool processesBacklog) const;
  Result decode(const HIDEventBatch& batch, bool processesBacklog) const;

 private:
  QMap<QString, qint32> m_table;
  std::vector<std::pair<QString, qint32>> m_longestFirst;
  qint32 m_supported = 0;
};
