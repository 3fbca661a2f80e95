#include "core/OXShow.h"

#include "core/OXRecordValues.h"

QString OXShow::description() const {
  // One pass: a "%1" in the title stays text.
  return QStringLiteral("%1 (%2)").arg(title_.isNull() ? QStringLiteral("(null)") : title_, QString::number(showID_));
}

std::shared_ptr<OXShow> OXShow::initWithDictionary(const QVariantMap& hit) {
  bool hasFields = false;
  const QVariantMap fields = oxvalue::map(hit.value(QStringLiteral("fields")), &hasFields);
  const QString id = oxvalue::text(hit.value(QStringLiteral("id")));
  if (!hasFields || id.size() < 3) return nullptr;
  std::shared_ptr<OXShow> s(new OXShow);
  // Hit ids carry a two-character type prefix before the number.
  s->showID_ = oxvalue::integer(id.mid(2));
  s->title_ = oxvalue::text(fields.value(QStringLiteral("title")));
  s->readMediaFields(fields);
  s->popularity_ = oxvalue::integer(fields.value(QStringLiteral("extpopularity")));
  s->score_ = oxvalue::floating(fields.value(QStringLiteral("_score")));
  s->genres_ = oxvalue::stringList(fields.value(QStringLiteral("genre")));
  return s;
}

std::shared_ptr<OXShow> OXShow::initWithStreamerDictionary(const QVariantMap& entry) {
  const quint64 id = oxvalue::integer(entry.value(QStringLiteral("id")));
  if (id == 0) return nullptr;
  std::shared_ptr<OXShow> s(new OXShow);
  s->showID_ = id;
  s->title_ = oxvalue::text(entry.value(QStringLiteral("title")));
  if (s->title_.isNull()) s->title_ = QStringLiteral("Untitle");
  s->readMediaFields(entry);
  s->genres_ = oxvalue::stringList(entry.value(QStringLiteral("genre")));
  return s;
}
