#include "scanner/OXOmbrixOSXAPI.h"

#include <cmath>

#include "scanner/TVDb.h"
#include "scanner/XMLReader.h"

namespace {

// Records built from the hits of an answer, in the service's order; refused hits are skipped. A request the service
// refused for good finds nothing, as an empty answer does.
template <class Record>
QList<std::shared_ptr<Record>> recordsFromAnswer(const QVariant& answer, bool refused, bool* unanswered) {
  QList<std::shared_ptr<Record>> out;
  const auto hits = OXOmbrixOSXAPI::checkIntegrityResultAndGetHits(answer);
  if (unanswered) *unanswered = !hits && !refused;
  if (!hits) return out;
  for (const QVariant& hit : *hits)
    if (auto record = Record::initWithDictionary(hit.toMap())) out << record;
  return out;
}

QString pathExtension(const QString& path) {
  const QString name = path.section(QLatin1Char('/'), -1);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? name.mid(dot + 1) : QString();
}

QString hashText(OXFile& file) {
  return QStringList{file.crc32(), file.md5(), file.sha1(), file.os(), file.sizeStr(), pathExtension(file.filePath())}
      .join(QLatin1Char('.'));
}

// The first hit of an answer, or an empty map.
QVariantMap firstHit(const QVariant& answer) {
  const auto hits = OXOmbrixOSXAPI::checkIntegrityResultAndGetHits(answer);
  return hits && !hits->isEmpty() ? hits->constFirst().toMap() : QVariantMap();
}

float movieValue(const OXMovie& m) { return float(double(m.score()) + 0.01 * double(float(m.popularity()))); }

// The whole times one standing holds another, for points. A service may send any number: past a billion (or an
// infinite ratio) the lead is counted as a billion, which no realistic ratio reaches and no sum of points overflows.
quint64 wholeTimes(float ratio) { return ratio < 1e9f ? quint64(std::floor(ratio)) : quint64(1000000000); }

}  // namespace

std::optional<QVariantList> OXOmbrixOSXAPI::checkIntegrityResultAndGetHits(const QVariant& answer) {
  if (answer.typeId() != QMetaType::QVariantMap) return std::nullopt;
  const QVariantMap map = answer.toMap();
  if (map.contains(QStringLiteral("error"))) return std::nullopt;
  const QVariant hits = map.value(QStringLiteral("hits"));
  if (hits.typeId() != QMetaType::QVariantMap) return std::nullopt;
  const QVariant hit = hits.toMap().value(QStringLiteral("hit"));
  if (hit.typeId() != QMetaType::QVariantList) return std::nullopt;
  return hit.toList();
}

OXOmbrixOSXAPI::MovieList OXOmbrixOSXAPI::searchMovieFullTextAndStart(const QString& query, quint64 start,
                                                                      bool* unanswered) const {
  bool refused = false;
  const QVariant answer = request_.requestMoviesFullText(query, start, &refused);
  return sortMovieContents(recordsFromAnswer<OXMovie>(answer, refused, unanswered));
}

OXOmbrixOSXAPI::ShowList OXOmbrixOSXAPI::searchShowFullText(const QString& query, quint64 start,
                                                            bool* unanswered) const {
  bool refused = false;
  const QVariant answer = request_.requestShowsFullText(query, start, &refused);
  return sortShowContents(recordsFromAnswer<OXShow>(answer, refused, unanswered));
}

std::shared_ptr<OXMovie> OXOmbrixOSXAPI::searchMovieFullTextAndYear(const QString& query, quint64 year,
                                                                    bool* unanswered) const {
  const MovieList movies = searchMovieFullTextAndStart(query, 0, unanswered);
  if (movies.isEmpty()) return nullptr;
  if (year != 0)
    for (const auto& movie : movies)
      if (movie->year() == year) return movie;
  return movies.constFirst();
}

std::shared_ptr<OXMovie> OXOmbrixOSXAPI::searchMovieHash(const std::shared_ptr<OXFile>& file) const {
  if (!file) return nullptr;
  const QVariantMap hit = firstHit(request_.requestMoviesHash(hashText(*file)));
  if (hit.isEmpty()) return nullptr;
  const QVariantMap found =
      firstHit(request_.requestMoviesID(retrieveForPath(hit, QStringLiteral("fields.imdb")).toString()));
  return found.isEmpty() ? nullptr : OXMovie::initWithDictionary(found);
}

std::shared_ptr<OXEpisode> OXOmbrixOSXAPI::searchEpisodeHash(const std::shared_ptr<OXFile>& file) const {
  if (!file) return nullptr;
  const QVariantMap hit = firstHit(request_.requestEpisodeHash(hashText(*file)));
  if (hit.isEmpty()) return nullptr;
  const QVariantMap found =
      firstHit(request_.requestEpisodeID(retrieveForPath(hit, QStringLiteral("fields.episodeid")).toString()));
  return found.isEmpty() ? nullptr : OXEpisode::initWithDictionary(found);
}

std::shared_ptr<OXEpisode> OXOmbrixOSXAPI::episodeForShow(const std::shared_ptr<OXShow>& show, quint64 season,
                                                          quint64 episode, bool* unanswered) const {
  if (unanswered) *unanswered = false;
  if (!show) return nullptr;
  const auto found = TVDbEpisode::findByShowId(qint64(show->showID()), qint64(season), qint64(episode), unanswered);
  if (!found) return nullptr;
  return OXEpisode::initWithDictionary(episodeHit(*found, show->showID(), season, episode));
}

QVariantMap OXOmbrixOSXAPI::episodeHit(const TVDbEpisode& found, quint64 showID, quint64 season, quint64 episode) {
  QVariantMap fields;
  fields.insert(QStringLiteral("episode"), QString::number(episode));
  if (!found.bannerThumbnail().isEmpty()) fields.insert(QStringLiteral("image"), found.bannerThumbnail());
  fields.insert(QStringLiteral("season"), QString::number(season));
  fields.insert(QStringLiteral("showid"), QString::number(showID));
  if (!found.title().isEmpty()) fields.insert(QStringLiteral("title"), found.title());
  if (found.premiereDate().isValid())
    fields.insert(QStringLiteral("year"), found.premiereDate().toLocalTime().toString(QStringLiteral("yyyy")));
  return {{QStringLiteral("id"), QStringLiteral("e_%1").arg(found.episodeId())}, {QStringLiteral("fields"), fields}};
}

void OXOmbrixOSXAPI::sendMessageToMovieQueue(const ox::CodingPtr&) const {}

void OXOmbrixOSXAPI::manualMatch(const ox::CodingPtr& record) const {
  if (std::dynamic_pointer_cast<OXMovie>(record))
    request_.sendMessageToMovieQueue(record);
  else if (std::dynamic_pointer_cast<OXEpisode>(record))
    request_.sendMessageToEpisodeQueue(record);
}

// ---- Rankings

OXOmbrixOSXAPI::Order OXOmbrixOSXAPI::compareMovies(const OXMovie& a, const OXMovie& b) {
  // Far apart in time, the later film is the likelier one whatever its standing.
  if (a.year() != 0 && b.year() != 0) {
    const quint64 gap = a.year() > b.year() ? a.year() - b.year() : b.year() - a.year();
    if (gap >= 21) return a.year() > b.year() ? Order::FirstFirst : Order::SecondFirst;
  }
  const float va = movieValue(a);
  const float vb = movieValue(b);
  if (va > vb) return Order::FirstFirst;
  if (va < vb) return Order::SecondFirst;
  return Order::Same;
}

OXOmbrixOSXAPI::Order OXOmbrixOSXAPI::compareShows(const OXShow& a, const OXShow& b) {
  quint64 pointsA = 0;
  quint64 pointsB = 0;
  auto award = [&](bool toA, quint64 points) { (toA ? pointsA : pointsB) += points; };

  if (a.year() != 0 && b.year() != 0) {
    const quint64 gap = a.year() > b.year() ? a.year() - b.year() : b.year() - a.year();
    if (gap >= 6) award(a.year() > b.year(), gap / 5);
  }

  const float popA = float(a.popularity());
  const float popB = float(b.popularity());
  award(popA > popB, 1);
  if (popA != 0 && popB != 0) {
    if (popA / popB > 2.5f)
      award(true, wholeTimes(popA / popB));
    else if (popB / popA > 2.5f)
      award(false, wholeTimes(popB / popA));
  } else if (popA != 0 || popB != 0) {
    // A show nobody watches never outranks one somebody does.
    return popA != 0 ? Order::FirstFirst : Order::SecondFirst;
  }

  const float scoreA = a.score();
  const float scoreB = b.score();
  award(scoreA > scoreB, 1);
  if (scoreA != 0 && scoreB != 0) {
    if (scoreA / scoreB > 10.0f)
      award(true, wholeTimes(scoreA / scoreB));
    else if (scoreB / scoreA > 10.0f)
      award(false, wholeTimes(scoreB / scoreA));
  }

  award(std::lround(a.rating()) > std::lround(b.rating()), 1);

  if (pointsA > pointsB) return Order::FirstFirst;
  if (pointsA < pointsB) return Order::SecondFirst;
  return Order::Same;
}

OXOmbrixOSXAPI::MovieList OXOmbrixOSXAPI::sortMovieContents(const MovieList& movies) {
  return oxMergeSort(movies, [](const std::shared_ptr<OXMovie>& a, const std::shared_ptr<OXMovie>& b) {
    return compareMovies(*a, *b) == Order::SecondFirst;
  });
}

OXOmbrixOSXAPI::ShowList OXOmbrixOSXAPI::sortShowContents(const ShowList& shows) {
  return oxMergeSort(shows, [](const std::shared_ptr<OXShow>& a, const std::shared_ptr<OXShow>& b) {
    return compareShows(*a, *b) == Order::SecondFirst;
  });
}
