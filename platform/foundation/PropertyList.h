#pragma once
// Plain binary property lists (not keyed archives): arrays, dictionaries with text keys, texts, data, integers,
// reals, booleans and dates, as QVariant values.
#include <QByteArray>
#include <QVariant>

namespace ox {

// 2001-01-01 00:00:00 UTC, the format's date origin, in milliseconds since the Unix epoch.
constexpr qint64 kPlistReferenceDateMSecs = 978307200000LL;

// A binary property list of the value; empty when the value holds something a property list cannot.
QByteArray propertyListData(const QVariant& value);
// The value of a binary property list; invalid when the bytes are not a sound one.
QVariant propertyListValue(const QByteArray& bytes);

}  // namespace ox
