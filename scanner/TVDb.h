#pragma once
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <memory>
#include <mutex>
#include <optional>

#include "core/OXDownloadBounds.h"

// A small client of TheTVDB's XML API. Every request is a synchronous GET (connect time-out 10 s, total time-out
// timeoutMs) whose XML answer is read with XMLReader and looked up by dotted paths. A value whose element is absent
// or empty reads as none: a null text, 0, an empty list or an invalid date.

// Generates the getter and setter of one field.
#define OX_TVDB_FIELD(Type, name, setter)     \
 public:                                      \
  const Type& name() const { return name##_; } \
  void setter(const Type& value) { name##_ = value; } \
                                              \
 private:                                     \
  Type name##_{};

// The shared connection settings and the request.
class TVDbClient {
 public:
  explicit TVDbClient(const QString& language);  // initWithLanguage
  // The one client, made on first use with the language "en".
  static TVDbClient& sharedInstance();

  // The answer to "http://(host)/api/" followed by the path as given, as nested dictionaries; none when the request
  // failed or the answer is not well-formed XML. The HTTP status is not looked at.
  QVariant requestURL(const QString& path) const;
  // The same, telling in `answered` whether TheTVDB answered at all: a transport failure, a time-out, an answer longer
  // than `maxBytes`, a status that may change (408, 429, 5xx, ...) or a 2xx body that is not XML is no answer; a
  // refusal (404, its "no such record", 400, 422, ...) is one whatever its body.
  QVariant requestURL(const QString& path, bool* answered,
                      qint64 maxBytes = OXDownloadBounds::kSeriesRecord) const;

  QString apiKey() const;
  void setApiKey(const QString& key);
  QString language() const;
  void setLanguage(const QString& language);
  int timeoutMs() const;
  void setTimeoutMs(int ms);

 private:
  mutable std::mutex mutex_;
  QString apiKey_;
  QString language_;
  int timeoutMs_ = 60000;
};

// The full-size and thumbnail URLs of an image path of the service's banner folder.
class TVDbImage {
 public:
  explicit TVDbImage(const QString& path);  // initWithUrl
  QString url() const;           // http://(host)/banners/(path)
  QString thumbnailUrl() const;  // http://(host)/banners/_cache/(path)

 private:
  QString path_;
};

class TVDbEpisode {
 public:
  // From the dictionary of one "Episode" element; nullptr without a dictionary. A list of several episodes gives
  // its first.
  static std::shared_ptr<TVDbEpisode> initWithDictionary(const QVariant& dictionary);
  static std::shared_ptr<TVDbEpisode> findById(qint64 episodeId);
  // `unanswered`, when given, is set when TheTVDB did not answer (see requestURL): none then means nothing.
  static std::shared_ptr<TVDbEpisode> findByShowId(qint64 showId, qint64 seasonNumber, qint64 episodeNumber,
                                                   bool* unanswered = nullptr);
  static QString episodeUrl(qint64 episodeId);
  static QString episodeUrlByShowId(qint64 showId, qint64 seasonNumber, qint64 episodeNumber);

  OX_TVDB_FIELD(qint32, episodeId, setEpisodeId)
  OX_TVDB_FIELD(QString, title, setTitle)
  OX_TVDB_FIELD(QString, description, setDescription)
  OX_TVDB_FIELD(qint32, seasonNumber, setSeasonNumber)
  OX_TVDB_FIELD(qint32, episodeNumber, setEpisodeNumber)
  OX_TVDB_FIELD(QString, banner, setBanner)
  OX_TVDB_FIELD(QString, bannerThumbnail, setBannerThumbnail)
  OX_TVDB_FIELD(qint32, bannerAspectRatio, setBannerAspectRatio)
  OX_TVDB_FIELD(QStringList, writer, setWriter)
  OX_TVDB_FIELD(QStringList, director, setDirector)
  OX_TVDB_FIELD(QStringList, gueststars, setGueststars)
  OX_TVDB_FIELD(QString, imdbId, setImdbId)
  OX_TVDB_FIELD(QDateTime, premiereDate, setPremiereDate)
  OX_TVDB_FIELD(QString, rating, setRating)
  OX_TVDB_FIELD(qint32, showId, setShowId)
};

using TVDbEpisodeList = QList<std::shared_ptr<TVDbEpisode>>;

class TVDbShow;
using TVDbShowList = QList<std::shared_ptr<TVDbShow>>;

class TVDbShow {
 public:
  // The series values come from the entry "Series" when there is one, else from the dictionary itself; an
  // "Episode" entry beside them fills episodes (one or a list).
  static std::shared_ptr<TVDbShow> initWithDictionary(const QVariant& dictionary);
  static TVDbShowList findByName(const QString& name);
  // The series with all its episodes; nullptr when the request failed.
  static std::shared_ptr<TVDbShow> findById(qint64 showId);
  static void buildShowWithDictionary(const QVariant& dictionary, TVDbShowList& reference);
  static QString searchTermUrl(const QString& name);
  // The name escaped as one query value (UTF-8).
  static QString searchTerm(const QString& name);
  static QString showUrl(qint64 showId);

  void buildEpisodesWithDictionary(const QVariant& episodes);
  static void buildEpisodeWithDictionary(const QVariant& dictionary, TVDbEpisodeList& reference);

  OX_TVDB_FIELD(qint32, showId, setShowId)
  OX_TVDB_FIELD(QString, title, setTitle)
  OX_TVDB_FIELD(QString, description, setDescription)
  OX_TVDB_FIELD(QString, banner, setBanner)
  OX_TVDB_FIELD(QString, bannerThumbnail, setBannerThumbnail)
  OX_TVDB_FIELD(QString, imdbId, setImdbId)
  OX_TVDB_FIELD(QDateTime, premiereDate, setPremiereDate)
  OX_TVDB_FIELD(QString, status, setStatus)
  OX_TVDB_FIELD(QStringList, genre, setGenre)
  OX_TVDB_FIELD(QStringList, actors, setActors)
  OX_TVDB_FIELD(QString, poster, setPoster)
  OX_TVDB_FIELD(QString, posterThumbnail, setPosterThumbnail)
  OX_TVDB_FIELD(QString, fanart, setFanart)
  OX_TVDB_FIELD(QString, fanartThumbnail, setFanartThumbnail)
  OX_TVDB_FIELD(QString, airDay, setAirDay)
  OX_TVDB_FIELD(QString, airTime, setAirTime)
  OX_TVDB_FIELD(QString, runtime, setRuntime)
  OX_TVDB_FIELD(QString, network, setNetwork)
  OX_TVDB_FIELD(QString, contentRating, setContentRating)
  OX_TVDB_FIELD(QString, rating, setRating)
  // Unset (nullopt) when the record came without an "Episode" entry.
  OX_TVDB_FIELD(std::optional<TVDbEpisodeList>, episodes, setEpisodes)
};

// Queries of the service's update feed.
class TVDbUpdater {
 public:
  static TVDbUpdater& sharedInstance();

  QVariant updates() const;         // the whole answer
  QVariant showUpdates() const;     // its "Items.Series"
  QVariant episodeUpdates() const;  // its "Items.Episode"
  void updateLastUpdatedAtTimestamp();

  static QString requestTimeUrl();
  static QString requestUpdatesUrlSince(const QString& time);
  static QString requestShowUpdatesUrlSince(const QString& time);
  static QString requestEpisodeUpdatesUrlSince(const QString& time);
  static QString requestUpdatesUrlSince(const QString& time, const QString& type);

  QString lastUpdatedAt() const;
  void setLastUpdatedAt(const QString& time);

 private:
  mutable std::mutex mutex_;
  QString lastUpdatedAt_;
};

#undef OX_TVDB_FIELD
