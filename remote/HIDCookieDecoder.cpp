#include "remote/HIDCookieDecoder.h"

#include <algorithm>

namespace {

constexpr quint32 kIgnoredCookie = 5;

// Where `key` occurs in `text` starting on a cookie boundary.
std::vector<qsizetype> alignedOccurrences(const QString& text, const QString& key) {
  std::vector<qsizetype> found;
  for (qsizetype at = text.indexOf(key); at >= 0; at = text.indexOf(key, at + 1))
    if (at == 0 || text.at(at - 1) == QLatin1Char('_')) found.push_back(at);
  return found;
}

}  // namespace

HIDCookieDecoder::HIDCookieDecoder(const QMap<QString, qint32>& table) : m_table(table) {
  for (auto it = table.begin(); it != table.end(); ++it) {
    if (it.key().isEmpty()) continue;
    m_longestFirst.emplace_back(it.key(), it.value());
    m_supported |= it.value();
  }
  std::stable_sort(m_longestFirst.begin(), m_longestFirst.end(),
                   [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
}

QString HIDCookieDecoder::cookieString(const HIDEventBatch& batch, qint64* sumOfValues) {
  QString text;
  qint64 sum = 0;
  for (const HIDElementEvent& event : batch) {
    if (event.cookie == kIgnoredCookie) continue;
    sum += event.value;
    text += QString::number(event.cookie) + QLatin1Char('_');
  }
  if (sumOfValues) *sumOfValues = sum;
  return text;
}

QString HIDCookieDecoder::validCookieSubstring(const QString& cookieString) const {
  if (cookieString.isEmpty()) return {};
  for (const auto& [key, code] : m_longestFirst)
    if (cookieString.startsWith(key)) return key;
  return {};
}

HIDCookieDecoder::Result HIDCookieDecoder::decode(const QString& cookieString, qint64 sumOfValues,
                                                  bool processesBacklog) const {
  Result result;
  if (cookieString.isEmpty()) return result;
  if (auto exact = m_table.constFind(cookieString); exact != m_table.constEnd()) {
    result.events.push_back({exact.value(), sumOfValues > 0});
    return result;
  }
  // A key found after the start, outside every longer key found: its press and release came in one batch.
  std::vector<bool> covered(cookieString.size(), false);
  for (const auto& [key, code] : m_longestFirst) {
    std::vector<qsizetype> found = alignedOccurrences(cookieString, key);
    std::erase_if(found, [&](qsizetype at) { return covered[at]; });
    if (found.empty()) continue;
    if (found.front() > 0) {
      result.events.push_back({code, true});
      result.events.push_back({code, false});
      return result;
    }
    for (qsizetype at : found) std::fill_n(covered.begin() + at, key.size(), true);
  }
  QString rest = cookieString;
  QString lastKey;
  for (QString key = validCookieSubstring(rest); !key.isNull(); key = validCookieSubstring(rest)) {
    rest.remove(0, key.size());
    lastKey = key;
    if (processesBacklog) result.events.push_back({m_table.value(key), sumOfValues > 0});
  }
  if (!processesBacklog && !lastKey.isNull()) result.events.push_back({m_table.value(lastKey), false});
  result.unknown = rest;
  return result;
}

HIDCookieDecoder::Result HIDCookieDecoder::decode(const HIDEventBatch& batch, bool processesBacklog) const {
  qint64 sum = 0;
  const QString text = cookieString(batch, &sum);
  return decode(text, sum, processesBacklog);
}
