#pragma once
// Reading the loosely typed values of search hits, streamer entries and archives. A value of the wrong type,
// or a JSON null, counts as absent: a damaged answer gives empty fields, never a crash.
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>

namespace oxvalue {

// Present and of a number type (booleans are not numbers here).
bool isNumber(const QVariant& value);
// The text of a string value; a null QString otherwise.
QString text(const QVariant& value);
// Text: its leading decimal number; number: truncated. Negative values and junk give 0.
quint64 integer(const QVariant& value);
// Text: its leading decimal number; number: as is; otherwise 0.0.
float floating(const QVariant& value);
// A URL made from a text value; empty when absent or not a valid URL.
QUrl url(const QVariant& value);
// The string entries of a list value, in order; empty when the value is not a list.
QStringList stringList(const QVariant& value);
// A dictionary value; ok is false when the value is absent or not a dictionary.
QVariantMap map(const QVariant& value, bool* ok);

}  // namespace oxvalue
