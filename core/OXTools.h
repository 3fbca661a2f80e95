#pragma once
#include <QString>

// The text between the first occurrence of `first` and the next occurrence of `second` (or of `first` again, or
// the end). Absent (a null QString) when `first` does not occur; an empty text is a found, empty answer.
QString textBetween(const QString& s, const QString& first, const QString& second);
