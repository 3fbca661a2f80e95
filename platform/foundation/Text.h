#pragma once
#include <QString>
#include <QStringList>

// Text and number helpers with the meanings the system's code relies on. Two differences from QString matter:
// - an empty search string is never "found" (contains("") answers false here, true in Qt);
// - splitting on an empty separator does not split (the whole text comes back as one piece).
namespace ox {

// The leading decimal integer of a text, after optional white space and sign; 0 when there is none.
// Saturates at the limits of the type instead of overflowing.
long long leadingInteger(const QString& s);
int leadingInt(const QString& s);
// The leading decimal floating-point number of a text (sign, digits, point, exponent); 0 when there is none.
double leadingDouble(const QString& s);

bool containsText(const QString& s, const QString& needle, Qt::CaseSensitivity cs = Qt::CaseSensitive);
QStringList splitText(const QString& s, const QString& separator);

}  // namespace ox
