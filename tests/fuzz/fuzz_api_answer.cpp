// Fuzz target for the cloud account API's JSON answers: a session answer's expiry, and look-up answers (a list, or the
// movie search's hits) cleaned of nulls and ranked as the full-text searches rank them.
#include <QByteArray>

#include "platform/foundation/Json.h"
#include "scanner/OXOmbrixAPI.h"
#include "tests/fuzz/FuzzEntry.h"

OX_FUZZ_ENTRY(api_answer) {
  const QVariant answer = ox::jsonValue(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
  const QVariantMap map = answer.toMap();
  quint64 touched = OXOmbrixAPI::dateFromExpireAt(map.value(QStringLiteral("expireAt"))).isValid();
  const QVariant list = answer.typeId() == QMetaType::QVariantList
                            ? answer
                            : map.value(QStringLiteral("hits")).toMap().value(QStringLiteral("hit"));
  const QVariantList hits = OXOmbrixAPI::removeNulls(list).toList();
  // Ranked for a query that one of them matches by title, and for one that none does.
  const QString title = hits.isEmpty() ? QString() : hits.first().toMap().value(QStringLiteral("title")).toString();
  for (const QString& query : {title.toLower(), QStringLiteral("no such title")}) {
    touched += OXOmbrixAPI::rankMovies(hits, query).size();
    touched += OXOmbrixAPI::rankShows(hits, query).size();
  }
  touched += OXOmbrixAPI::removeNulls(answer).toMap().size();
  (void)touched;
  return 0;
}
