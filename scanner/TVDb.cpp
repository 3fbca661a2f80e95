#include "scanner/TVDb.h"

#include "core/OXServiceHosts.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "scanner/StringHelper.h"
#include "scanner/XMLReader.h"

namespace {

QString tvdbBase() { return OXServiceHosts::baseURL(OXService::TVDb); }

// Element readers. Only a text value counts: an absent element (or a dictionary in its place) reads as none.
QString textAt(const QVariantMap& d, const QString& key) {
  const QVariant v = retrieveForPath(d, key);
  return v.typeId() == QMetaType::QString ? v.toString() : QString();
}
qint32 numberAt(const QVariantMap& d, const QString& key) { return ox::leadingInt(textAt(d, key)); }
QStringList listAt(const QVariantMap& d, const QString& key) {
  return StringHelper::pipedStringToArray(textAt(d, key));
}
QDateTime dateAt(const QVariantMap& d, const QString& key) { return StringHelper::stringToDate(textAt(d, key)); }

// A dictionary, or the first dictionary of a list; an empty map with ok = false otherwise.
QVariantMap singleDictionary(const QVariant& value, bool* ok) {
  *ok = true;
  if (value.typeId() == QMetaType::QVariantMap) return value.toMap();
  if (value.typeId() == QMetaType::QVariantList) {
    for (const QVariant& item : value.toList())
      if (item.typeId() == QMetaType::QVariantMap) return item.toMap();
  }
  *ok = false;
  return {};
}

}  // namespace

// ---- TVDbClient

TVDbClient::TVDbClient(const QString& language) : language_(language) {}

TVDbClient& TVDbClient::sharedInstance() {
  static TVDbClient client(QStringLiteral("en"));
  return client;
}

QVariant TVDbClient::requestURL(const QString& path) const { return requestURL(path, nullptr); }

QVariant TVDbClient::requestURL(const QString& path, bool* answered, qint64 maxBytes) const {
  if (answered) *answered = false;
  const QUrl url = OXServiceHosts::urlFromEscapedText(tvdbBase().toUtf8() + "/api/" + path.toUtf8());
  if (url.isEmpty()) return {};
  ox::HttpRequest request;
  request.url = url;
  request.connectTimeoutMs = 10000;
  request.totalTimeoutMs = timeoutMs();
  request.maxBytes = maxBytes;
  const ox::HttpResponse response = ox::httpPerform(request);
  if (!response.transportOk) return {};
  XMLReader reader;
  QVariant answer = reader.objectWithData(response.body);
  if (!answer.isValid() && response.isSuccess())
    ox::log(QStringLiteral("TheTVDB answer not read: %1").arg(reader.errorString()));
  if (answered) *answered = response.isRefusal() || (answer.isValid() && response.isSuccess());
  return answer;
}

QString TVDbClient::apiKey() const {
  std::lock_guard hold(mutex_);
  return apiKey_;
}
void TVDbClient::setApiKey(const QString& key) {
  std::lock_guard hold(mutex_);
  apiKey_ = key;
}
QString TVDbClient::language() const {
  std::lock_guard hold(mutex_);
  return language_;
}
void TVDbClient::setLanguage(const QString& language) {
  std::lock_guard hold(mutex_);
  language_ = language;
}
int TVDbClient::timeoutMs() const {
  std::lock_guard hold(mutex_);
  return timeoutMs_;
}
void TVDbClient::setTimeoutMs(int ms) {
  std::lock_guard hold(mutex_);
  timeoutMs_ = ms;
}

// ---- TVDbImage

TVDbImage::TVDbImage(const QString& path) : path_(path) {}
QString TVDbImage::url() const { return tvdbBase() + QStringLiteral("/banners/") + path_; }
QString TVDbImage::thumbnailUrl() const { return tvdbBase() + QStringLiteral("/banners/_cache/") + path_; }

// ---- TVDbEpisode

std::shared_ptr<TVDbEpisode> TVDbEpisode::initWithDictionary(const QVariant& dictionary) {
  bool ok = false;
  const QVariantMap d = singleDictionary(dictionary, &ok);
  if (!ok) return nullptr;
  auto e = std::make_shared<TVDbEpisode>();
  e->setEpisodeId(numberAt(d, QStringLiteral("id")));
  e->setTitle(textAt(d, QStringLiteral("EpisodeName")));
  e->setDescription(textAt(d, QStringLiteral("Overview")));
  e->setSeasonNumber(numberAt(d, QStringLiteral("SeasonNumber")));
  e->setEpisodeNumber(numberAt(d, QStringLiteral("EpisodeNumber")));
  const QString filename = textAt(d, QStringLiteral("filename"));
  if (!filename.isNull()) {
    const TVDbImage image(filename);
    e->setBanner(image.url());
    e->setBannerThumbnail(image.thumbnailUrl());
    if (!textAt(d, QStringLiteral("EpImgFlag")).isNull()) {
      const qint32 flag = numberAt(d, QStringLiteral("EpImgFlag"));
      e->setBannerAspectRatio(flag >= 1 && flag <= 5 ? flag - 1 : 5);
    }
  }
  e->setWriter(listAt(d, QStringLiteral("Writer")));
  e->setDirector(listAt(d, QStringLiteral("Director")));
  e->setGueststars(listAt(d, QStringLiteral("GuestStars")));
  e->setImdbId(textAt(d, QStringLiteral("IMDB_ID")));
  e->setPremiereDate(dateAt(d, QStringLiteral("FirstAired")));
  e->setRating(textAt(d, QStringLiteral("Rating")));
  e->setShowId(numberAt(d, QStringLiteral("seriesid")));
  return e;
}

QString TVDbEpisode::episodeUrl(qint64 episodeId) {
  return TVDbClient::sharedInstance().apiKey() + QStringLiteral("/episodes/") + QString::number(episodeId);
}

QString TVDbEpisode::episodeUrlByShowId(qint64 showId, qint64 seasonNumber, qint64 episodeNumber) {
  return TVDbClient::sharedInstance().apiKey() + QStringLiteral("/series/%1/default/%2/%3")
                                                     .arg(showId)
                                                     .arg(seasonNumber)
                                                     .arg(episodeNumber);
}

std::shared_ptr<TVDbEpisode> TVDbEpisode::findById(qint64 episodeId) {
  const QVariant answer =
      TVDbClient::sharedInstance().requestURL(episodeUrl(episodeId), nullptr, OXDownloadBounds::kEpisodeRecord);
  const QVariant episode = retrieveForPath(answer, QStringLiteral("Data.Episode"));
  return episode.isValid() ? initWithDictionary(episode) : nullptr;
}

std::shared_ptr<TVDbEpisode> TVDbEpisode::findByShowId(qint64 showId, qint64 seasonNumber, qint64 episodeNumber,
                                                       bool* unanswered) {
  bool answered = false;
  const QVariant answer = TVDbClient::sharedInstance().requestURL(
      episodeUrlByShowId(showId, seasonNumber, episodeNumber), &answered, OXDownloadBounds::kEpisodeRecord);
  if (unanswered) *unanswered = !answered;
  const QVariant episode = retrieveForPath(answer, QStringLiteral("Data.Episode"));
  return episode.isValid() ? initWithDictionary(episode) : nullptr;
}

// ---- TVDbShow

std::shared_ptr<TVDbShow> TVDbShow::initWithDictionary(const QVariant& dictionary) {
  const QVariantMap given = dictionary.toMap();
  bool ok = false;
  QVariantMap d = singleDictionary(given.value(QStringLiteral("Series")), &ok);
  if (!ok) d = given;
  auto s = std::make_shared<TVDbShow>();
  s->setShowId(numberAt(d, QStringLiteral("id")));
  s->setTitle(textAt(d, QStringLiteral("SeriesName")));
  s->setDescription(textAt(d, QStringLiteral("Overview")));
  if (const QString banner = textAt(d, QStringLiteral("banner")); !banner.isNull()) {
    s->setBanner(TVDbImage(banner).url());
    s->setBannerThumbnail(TVDbImage(banner).thumbnailUrl());
  }
  s->setImdbId(textAt(d, QStringLiteral("IMDB_ID")));
  s->setPremiereDate(dateAt(d, QStringLiteral("FirstAired")));
  s->setStatus(textAt(d, QStringLiteral("Status")));
  s->setGenre(listAt(d, QStringLiteral("Genre")));
  s->setActors(listAt(d, QStringLiteral("Actors")));
  if (const QString poster = textAt(d, QStringLiteral("poster")); !poster.isNull()) {
    s->setPoster(TVDbImage(poster).url());
    s->setPosterThumbnail(TVDbImage(poster).thumbnailUrl());
  }
  if (const QString fanart = textAt(d, QStringLiteral("fanart")); !fanart.isNull()) {
    s->setFanart(TVDbImage(fanart).url());
    s->setFanartThumbnail(TVDbImage(fanart).thumbnailUrl());
  }
  s->setAirDay(textAt(d, QStringLiteral("Airs_DayOfWeek")));
  s->setAirTime(textAt(d, QStringLiteral("Airs_Time")));
  s->setRuntime(textAt(d, QStringLiteral("Runtime")));
  s->setNetwork(textAt(d, QStringLiteral("Network")));
  s->setContentRating(textAt(d, QStringLiteral("ContentRating")));
  s->setRating(textAt(d, QStringLiteral("Rating")));
  if (given.contains(QStringLiteral("Episode"))) s->buildEpisodesWithDictionary(given.value(QStringLiteral("Episode")));
  return s;
}

void TVDbShow::buildEpisodesWithDictionary(const QVariant& episodes) {
  TVDbEpisodeList list;
  if (episodes.typeId() == QMetaType::QVariantMap) {
    buildEpisodeWithDictionary(episodes, list);
  } else if (episodes.typeId() == QMetaType::QVariantList) {
    for (const QVariant& item : episodes.toList()) buildEpisodeWithDictionary(item, list);
  }
  setEpisodes(list);
}

void TVDbShow::buildEpisodeWithDictionary(const QVariant& dictionary, TVDbEpisodeList& reference) {
  // Only dictionaries are episodes; a stray text in the list is passed over.
  if (dictionary.typeId() != QMetaType::QVariantMap) return;
  if (auto episode = TVDbEpisode::initWithDictionary(dictionary)) reference.append(episode);
}

void TVDbShow::buildShowWithDictionary(const QVariant& dictionary, TVDbShowList& reference) {
  if (dictionary.typeId() != QMetaType::QVariantMap) return;
  reference.append(initWithDictionary(dictionary));
}

QString TVDbShow::searchTerm(const QString& name) { return QString::fromLatin1(OXServiceHosts::escapeComponent(name)); }

QString TVDbShow::searchTermUrl(const QString& name) {
  return QStringLiteral("GetSeries.php?seriesname=%1&language=%2")
      .arg(searchTerm(name), QString::fromLatin1(OXServiceHosts::escapeComponent(
                                 TVDbClient::sharedInstance().language())));
}

QString TVDbShow::showUrl(qint64 showId) {
  return TVDbClient::sharedInstance().apiKey() + QStringLiteral("/series/%1/all/").arg(showId);
}

TVDbShowList TVDbShow::findByName(const QString& name) {
  const QVariant answer = TVDbClient::sharedInstance().requestURL(searchTermUrl(name));
  const QVariant series = retrieveForPath(answer, QStringLiteral("Data.Series"));
  TVDbShowList shows;
  if (series.typeId() == QMetaType::QVariantMap) {
    buildShowWithDictionary(series, shows);
  } else if (series.typeId() == QMetaType::QVariantList) {
    for (const QVariant& item : series.toList()) buildShowWithDictionary(item, shows);
  }
  return shows;
}

std::shared_ptr<TVDbShow> TVDbShow::findById(qint64 showId) {
  const QVariant answer = TVDbClient::sharedInstance().requestURL(showUrl(showId));
  if (!answer.isValid()) return nullptr;
  return initWithDictionary(retrieveForPath(answer, QStringLiteral("Data")));
}

// ---- TVDbUpdater

TVDbUpdater& TVDbUpdater::sharedInstance() {
  static TVDbUpdater updater;
  return updater;
}

QString TVDbUpdater::requestTimeUrl() { return QStringLiteral("/Updates.php?type=none"); }

QString TVDbUpdater::requestUpdatesUrlSince(const QString& time, const QString& type) {
  return QStringLiteral("/Updates.php?type=%1&time=%2")
      .arg(QString::fromLatin1(OXServiceHosts::escapeComponent(type)),
           QString::fromLatin1(OXServiceHosts::escapeComponent(time)));
}
QString TVDbUpdater::requestUpdatesUrlSince(const QString& time) {
  return requestUpdatesUrlSince(time, QStringLiteral("all"));
}
QString TVDbUpdater::requestShowUpdatesUrlSince(const QString& time) {
  return requestUpdatesUrlSince(time, QStringLiteral("series"));
}
QString TVDbUpdater::requestEpisodeUpdatesUrlSince(const QString& time) {
  return requestUpdatesUrlSince(time, QStringLiteral("episode"));
}

QVariant TVDbUpdater::updates() const {
  return TVDbClient::sharedInstance().requestURL(requestUpdatesUrlSince(lastUpdatedAt()));
}
QVariant TVDbUpdater::showUpdates() const {
  return retrieveForPath(TVDbClient::sharedInstance().requestURL(requestShowUpdatesUrlSince(lastUpdatedAt())),
                         QStringLiteral("Items.Series"));
}
QVariant TVDbUpdater::episodeUpdates() const {
  return retrieveForPath(TVDbClient::sharedInstance().requestURL(requestEpisodeUpdatesUrlSince(lastUpdatedAt())),
                         QStringLiteral("Items.Episode"));
}

void TVDbUpdater::updateLastUpdatedAtTimestamp() {
  const QVariant answer = TVDbClient::sharedInstance().requestURL(requestTimeUrl());
  setLastUpdatedAt(retrieveForPath(answer, QStringLiteral("Items.Time")).toString());
}

QString TVDbUpdater::lastUpdatedAt() const {
  std::lock_guard hold(mutex_);
  return lastUpdatedAt_;
}
void TVDbUpdater::setLastUpdatedAt(const QString& time) {
  std::lock_guard hold(mutex_);
  lastUpdatedAt_ = time;
}
