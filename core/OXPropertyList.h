#pragma once
#include <QByteArray>
#include <QVariant>

// Plain property lists (not keyed archives) of the cache files: arrays, dictionaries with text keys, texts, data,
// integers, reals, booleans and dates, as QVariant values.

// A binary property list of the value; empty when the value holds something a property list cannot.
QByteArray propertyListData(const QVariant& value);
// The value of a binary property list; invalid when the bytes are not a sound one.
QVariant propertyListValue(const QByteArray& bytes);
