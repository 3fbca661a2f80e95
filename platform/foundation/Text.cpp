#include "platform/foundation/Text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace ox {

long long leadingInteger(const QString& s) {
  int i = 0;
  const int n = s.size();
  while (i < n && s.at(i).isSpace()) ++i;
  bool negative = false;
  if (i < n && (s.at(i) == u'+' || s.at(i) == u'-')) {
    negative = s.at(i) == u'-';
    ++i;
  }
  long long value = 0;
  bool overflow = false;
  for (; i < n; ++i) {
    const QChar c = s.at(i);
    if (c < u'0' || c > u'9') break;
    const int d = c.unicode() - u'0';
    if (!overflow) {
      if (value > (LLONG_MAX - d) / 10) overflow = true;
      else value = value * 10 + d;
    }
  }
  if (overflow) return negative ? LLONG_MIN : LLONG_MAX;
  return negative ? -value : value;
}

int leadingInt(const QString& s) {
  const long long v = leadingInteger(s);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

double leadingDouble(const QString& s) {
  // strtod reads exactly the leading number we want, but it follows the C locale only and takes "inf"/"nan"
  // and hex forms, which a decimal reader does not: keep only the decimal characters before handing it over.
  const QByteArray latin = s.toLatin1();
  int i = 0;
  const int n = latin.size();
  while (i < n && (latin[i] == ' ' || latin[i] == '\t' || latin[i] == '\n' || latin[i] == '\r')) ++i;
  int start = i;
  if (i < n && (latin[i] == '+' || latin[i] == '-')) ++i;
  int digits = 0;
  while (i < n && latin[i] >= '0' && latin[i] <= '9') ++i, ++digits;
  if (i < n && latin[i] == '.') {
    ++i;
    while (i < n && latin[i] >= '0' && latin[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  if (i < n && (latin[i] == 'e' || latin[i] == 'E')) {
    int j = i + 1;
    if (j < n && (latin[j] == '+' || latin[j] == '-')) ++j;
    if (j < n && latin[j] >= '0' && latin[j] <= '9') {
      while (j < n && latin[j] >= '0' && latin[j] <= '9') ++j;
      i = j;
    }
  }
  const QByteArray number = latin.mid(start, i - start);
  return std::strtod(number.constData(), nullptr);
}

bool containsText(const QString& s, const QString& needle, Qt::CaseSensitivity cs) {
  return !needle.isEmpty() && s.contains(needle, cs);
}

QStringList splitText(const QString& s, const QString& separator) {
  if (separator.isEmpty()) return QStringList{s};
  return s.split(separator);
}

}  // namespace ox
