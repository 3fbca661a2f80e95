#include "core/OXTools.h"

#include "platform/foundation/Text.h"

QString textBetween(const QString& s, const QString& first, const QString& second) {
  const QStringList pieces = ox::splitText(s, first);
  if (pieces.size() < 2) return QString();
  const QString piece = pieces.at(1);
  const QString cut = ox::splitText(piece, second).constFirst();
  // A found but empty piece must stay distinguishable from "absent".
  return cut.isNull() ? QString(u""_qs) : cut;
}
