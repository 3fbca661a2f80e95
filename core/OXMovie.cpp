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
  m->year_ = oxvalue::integer(entry.value(QStringLiteral("year")));
  m->runtime_ = oxvalue::integer(entry.value(QStringLiteral("runtime")));
  m->rating_ = oxvalue::floating(entry.value(QStringLiteral("rating")));
  m->soundtrack_ = oxvalue::url(entry.value(QStringLiteral("soundtrack")));
  m->poster_ = oxvalue::url(entry.value(QStringLiteral("poster")));
  m->backdrops_ = oxvalue::url(entry.value(QStringLiteral("image")));
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
  m->year_ = oxvalue::integer(fields.value(QStringLiteral("year")));
  m->runtime_ = oxvalue::integer(fields.value(QStringLiteral("runtime")));
  m->rating_ = oxvalue::floating(fields.value(QStringLiteral("rating")));
  m->soundtrack_ = oxvalue::url(fields.value(QStringLiteral("soundtrack")));
  m->poster_ = oxvalue::url(fields.value(QStringLiteral("poster")));
  m->backdrops_ = oxvalue::url(fields.value(QStringLiteral("image")));
  m->popularity_ = oxvalue::integer(fields.value(QStringLiteral("extpopularity")));
  m->score_ = oxvalue::floating(fields.value(QStringLiteral("_score")));
  m->links_ = oxvalue::stringList(fields.value(QStringLiteral("streamerLinks")));
  m->trailers_ = oxvalue::stringList(fields.value(QStringLiteral("trailers")));
  m->genres_ = oxvalue::stringList(fields.value(QStringLiteral("genre")));
  m->genres_.removeAll(QStringLiteral("0"));
  return m;
}

void OXMovie::addLinks(const QStringList& links) {
  std::lock_guard lock(mutex_);
  for (const QString& link : links)
    if (!links_.contains(link)) links_ << link;
}

std::shared_ptr<OXFile> OXMovie::file() const {
  std::lock_guard lock(mutex_);
  return file_;
}

void OXMovie::setFile(std::shared_ptr<OXFile> file) {
  std::lock_guard lock(mutex_);
  file_ = std::move(file);
}

QStringList OXMovie::links() const {
  std::lock_guard lock(mutex_);
  return links_;
}
