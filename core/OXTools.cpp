#include "core/OXTools.h"

#include "platform/foundation/MainQueue.h"
#include "platform/foundation/Text.h"

#include <cmath>
#include <cstdint>
#include <limits>

QString textBetween(const QString& s, const QString& first, const QString& second) {
  const QStringList pieces = ox::splitText(s, first);
  if (pieces.size() < 2) return QString();
  const QString piece = pieces.at(1);
  const QString cut = ox::splitText(piece, second).constFirst();
  // A found but empty piece must stay distinguishable from "absent".
  return cut.isNull() ? QString(u""_qs) : cut;
}

void performBlockAfterDelay(std::function<void()> block, double seconds) {
  // Whole nanoseconds, truncated toward zero. Out-of-range delays would make the conversion undefined: NaN counts as
  // no delay, anything beyond the 64-bit range as the longest delay there is.
  const double ns = seconds * 1e9;
  std::int64_t whole = 0;
  if (std::isnan(ns))
    whole = 0;
  else if (ns >= 9223372036854775807.0)
    whole = std::numeric_limits<std::int64_t>::max();
  else if (ns <= -9223372036854775808.0)
    whole = std::numeric_limits<std::int64_t>::min();
  else
    whole = static_cast<std::int64_t>(ns);
  ox::dispatchMainAfter(double(whole) / 1e9, std::move(block));
}
