#include "core/OXEpisode.h"

#include "core/OXRecordValues.h"
#include "core/OXTools.h"

QString OXEpisode::description() const {
  // One pass: a "%1" in the title stays text.
  return QStringLiteral("%1x%2 - %3 (%4)")
      .arg(QString::number(seasonNumber_), QString::number(episodeNumber_),
           title_.isNull() ? QStringLiteral("(null)") : title_, QString::number(episodeID_));
}

std::shared_ptr<OXEpisode> OXEpisode::initWithDictionary(const QVariantMap& hit) {
  bool hasFields = false;
  const QVariantMap fields = oxvalue::map(hit.value(QStringLiteral("fields")), &hasFields);
  const QString id = oxvalue::text(hit.value(QStringLiteral("id")));
  if (!hasFields || id.size() < 3) return nullptr;
  std::shared_ptr<OXEpisode> e(new OXEpisode);
  // Hit ids carry a two-character type prefix before the number.
  e->episodeID_ = oxvalue::integer(id.mid(2));
  e->showID_ = oxvalue::integer(fields.value(QStringLiteral("showid")));
  e->seasonNumber_ = oxvalue::integer(fields.value(QStringLiteral("season")));
  e->episodeNumber_ = oxvalue::integer(fields.value(QStringLiteral("episode")));
  e->imageThumb_ = oxvalue::text(fields.value(QStringLiteral("image")));
  e->title_ = oxvalue::text(fields.value(QStringLiteral("title")));
  return e;
}

std::shared_ptr<OXEpisode> OXEpisode::initWithStreamerDictionary(const QVariantMap& entry) {
  std::shared_ptr<OXEpisode> e(new OXEpisode);
  e->showID_ = oxvalue::integer(entry.value(QStringLiteral("showid")));
  e->episodeID_ = oxvalue::integer(entry.value(QStringLiteral("id")));
  e->seasonNumber_ = oxvalue::integer(entry.value(QStringLiteral("season")));
  e->episodeNumber_ = oxvalue::integer(entry.value(QStringLiteral("episode")));
  e->imageThumb_ = oxvalue::text(entry.value(QStringLiteral("image")));
  e->title_ = oxvalue::text(entry.value(QStringLiteral("title")));
  e->links_ = oxvalue::stringList(entry.value(QStringLiteral("links")));
  if (!e->links_.isEmpty() && e->links_.constFirst().contains(QStringLiteral("magnet:?xt="))) {
    // The torrent's display name stands in for a file name when subtitles are searched.
    auto file = std::make_shared<OXFile>();
    file->setFulltext(textBetween(e->links_.constFirst(), QStringLiteral(";dn="), QStringLiteral(";tr=")));
    e->file_ = std::move(file);
  }
  return e;
}
