#pragma once
#include <QString>
#include <QVariant>
#include <memory>

#include "core/OXServiceHosts.h"
#include "platform/foundation/KeyedArchiver.h"

// Requests to the cloud search domain (CloudSearch 2013-01-01) and the cloud message queues (SQS 2009-02-01).
// A search is a synchronous GET whose JSON object answer comes back as a QVariantMap; anything else (transport
// failure, time-out, an answer longer than a page of hits can be, a body that is not a JSON object) gives none (an
// invalid QVariant), and so does an error status unless its body is an error object. A search that takes `refused`
// sets it when the service refused the request for good (HttpResponse::isRefusal: asking again cannot change the
// answer). A queue message is sent in the background, unanswered.
class OXOmbrixAPIRequest {
 public:
  // Connect and total time-out of a search request.
  int searchTimeoutMs = 10000;

  QVariant requestMoviesID(const QString& documentId) const;
  QVariant requestEpisodeID(const QString& documentId) const;
  QVariant requestFullText(const QString& query, qint32 type) const;
  QVariant requestFullText(const QString& query, qint32 type, quint64 start, bool* refused = nullptr) const;
  // No hash look-up exists at the service: always none, without a request.
  QVariant requestHash(const QString& hash, qint32 type) const;
  QVariant requestMoviesFullText(const QString& query) const;
  QVariant requestShowsFullText(const QString& query) const;
  QVariant requestMoviesFullText(const QString& query, quint64 start, bool* refused = nullptr) const;
  QVariant requestShowsFullText(const QString& query, quint64 start, bool* refused = nullptr) const;
  QVariant requestEpisodeShowID(quint64 showId, quint64 season, quint64 episode) const;
  QVariant requestMoviesHash(const QString& hash) const;
  QVariant requestEpisodeHash(const QString& hash) const;

  // The match message of an OXMovie ("crc32.md5.sha1.os.size.extension.imdb") or an OXEpisode (the same six file
  // keys, then the episode id); none for any other object or a record without its file.
  static QString composeMessage(const ox::CodingPtr& record);
  // Sends the match message of an OXMovie to "MovieHashes", of an OXEpisode to "EpisodeHashes"; anything else sends
  // nothing. Returns at once.
  static void sendMessageToQueue(const ox::CodingPtr& record);
  void sendMessageToMovieQueue(const ox::CodingPtr& record) const;
  void sendMessageToEpisodeQueue(const ox::CodingPtr& record) const;
  // Sends one message text to a queue without waiting; failures are not reported.
  static void sendMessage(const QString& queueName, const QString& message);
  // Waits (at most timeoutMs) until every message sent so far has finished; for orderly shutdown and tests.
  static bool waitForMessages(int timeoutMs);

  // The query made ready to stand as the value of "q": combining accents folded into their precomposed letters,
  // then escaped as a query value with every blank as "+" (a literal "+" as "%2B").
  static QByteArray cleanQuery(const QString& query);

  // The URL of each search form (empty when the text does not form a valid URL).
  static QUrl fullTextURL(const QString& query, qint32 type, quint64 start);
  static QUrl documentURL(const QString& documentId);
  static QUrl episodeCodeURL(quint64 showId, quint64 season, quint64 episode);
  static QUrl queueURL(const QString& queueName, const QString& message);

 private:
  QVariant search(const QUrl& url, bool* refused = nullptr) const;
};
