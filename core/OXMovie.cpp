#include "core/OXMovie.h"

#include "core/OXRecordValues.h"

namespace {
QString objcText(const QString& s) { return s.isNull() ? QStringLiteral("(null)") : s; }
}  // namespace

QString OXMovie::description() const { return QStringLiteral("%1 (%2)").arg(objcText(title_), objcText(imdb_)); }

std::shared_ptr<OXMovie> OXMovie::initWithStreamerDictionary(const QVariantMap& entry) {
  std::shared_ptr<OXMovie> m(new OXMovie);
  m->imdb_ = oxvalue::text(entry.value(QStringLiteral("id")));
  m->title_ = oxvalue::text(entry.value(QStringLiteral("title")));
  m->readMediaFields(entry);
  m->links_ = oxvalue::stringList(entry.value(QStringLiteral("links")));
  m->genres_ = oxvalue::stringList(entry.value(QStringLiteral("genre")));
  return m;
}

std::shared_ptr<OXMovie> OXMovie::initWithDictionary(const QVariantMap& hit) {
  bool hasFields = false;
  const QVariantMap fields = oxvalue::map(hit.value(QStringLiteral("fields")), &hasFields);
  if (!hasFields) return nullptr;
  std::shared_ptr<OXMovie> m(new OXMovie);
  m->imdb_ = oxvalue::text(hit.value(QStringLiteral("id")));
  m->title_ = oxvalue::text(fields.value(QStringLiteral("title")));
  if (m->title_.isNull()) m->title_ = QStringLiteral("Untitle");
  m->readMediaFields(fields);
  m->popularity_ = oxvalue::integer(fields.value(QStringLiteral("extpopularity")));
  m->score_ = oxvalue::floating(fields.value(QStringLiteral("_score")));
  m->links_ = oxvalue::stringList(fields.value(QStringLiteral("streamerLinks")));
  m->trailers_ = oxvalue::stringList(fields.value(QStringLiteral("trailers")));
  m->genres_ = oxvalue::stringList(fields.value(QStringLiteral("genre")));
  m->genres_.removeAll(QStringLiteral("0"));
  return m;
}
