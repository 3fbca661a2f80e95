#include "scanner/OXOmbrixAPIRequest.h"

#include <QThreadPool>

#include "core/OXDownloadBounds.h"
#include "core/OXEpisode.h"
#include "core/OXFile.h"
#include "core/OXMovie.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Json.h"

namespace {

const QByteArray kSearchVersion = "2013-01-01";
const QByteArray kQueueVersion = "2009-02-01";

QByteArray typeLetter(qint32 type) {
  switch (type) {
    case 1: return "m";
    case 2: return "s";
    case 3: return "e";
    default: return {};
  }
}

QByteArray searchBase() { return OXServiceHosts::baseURL(OXService::Search).toUtf8() + '/' + kSearchVersion; }

// Combining accents after a vowel (or n) become the precomposed lower-case letter, matched without regard to case.
struct Fold {
  const char16_t* decomposed;
  const char16_t* precomposed;
};
constexpr Fold kFolds[] = {
    {u"a\u0301", u"\u00e1"}, {u"e\u0301", u"\u00e9"}, {u"i\u0301", u"\u00ed"}, {u"o\u0301", u"\u00f3"},
    {u"u\u0301", u"\u00fa"}, {u"a\u0308", u"\u00e4"}, {u"e\u0308", u"\u00eb"}, {u"i\u0308", u"\u00ef"},
    {u"o\u0308", u"\u00f6"}, {u"u\u0308", u"\u00fc"}, {u"a\u0300", u"\u00e0"}, {u"e\u0300", u"\u00e8"},
    {u"i\u0300", u"\u00ec"}, {u"o\u0300", u"\u00f2"}, {u"u\u0300", u"\u00f9"}, {u"n\u0301", u"\u00f1"},
};

QThreadPool& messagePool() {
  static QThreadPool* pool = [] {
    auto* p = new QThreadPool;
    p->setMaxThreadCount(2);
    return p;
  }();
  return *pool;
}

QString pathExtension(const QString& path) {
  const QString name = path.section(QLatin1Char('/'), -1);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? name.mid(dot + 1) : QString();
}

QString fileKeys(OXFile& file) {
  return QStringList{file.crc32(), file.md5(), file.sha1(), file.os(), file.sizeStr(), pathExtension(file.filePath())}
      .join(QLatin1Char('.'));
}

}  // namespace

QByteArray OXOmbrixAPIRequest::cleanQuery(const QString& query) {
  QString folded = query;
  for (const Fold& f : kFolds)
    folded.replace(QString::fromUtf16(f.decomposed), QString::fromUtf16(f.precomposed), Qt::CaseInsensitive);
  // Blanks become "+" only after everything else is escaped, so a literal "+" reads "%2B".
  const QStringList words = folded.split(QLatin1Char(' '));
  QByteArrayList escaped;
  // Characters that are harmless inside a query value stay readable; "&", "=", "#", "+", "%" and ";" never do.
  for (const QString& w : words) escaped.append(OXServiceHosts::escapeComponent(w, ":/?@$,"));
  return escaped.join('+');
}

QUrl OXOmbrixAPIRequest::fullTextURL(const QString& query, qint32 type, quint64 start) {
  return OXServiceHosts::urlFromEscapedText(searchBase() + "/search?q=" + cleanQuery(query) +
                                            "&return=_all_fields,_score&sort=extpopularity+desc&size=20&fq=type:'" +
                                            typeLetter(type) + "'&start=" + QByteArray::number(start));
}

QUrl OXOmbrixAPIRequest::documentURL(const QString& documentId) {
  return OXServiceHosts::urlFromEscapedText(searchBase() + "/search?q=_id:'" +
                                            OXServiceHosts::escapeComponent(documentId) + "'&q.parser=structured");
}

QUrl OXOmbrixAPIRequest::episodeCodeURL(quint64 showId, quint64 season, quint64 episode) {
  const QByteArray code =
      QByteArray::number(showId) + '_' + QByteArray::number(season) + '_' + QByteArray::number(episode);
  return OXServiceHosts::urlFromEscapedText(searchBase() + "/search?q=" + code + "&return=_all_fields&fq=type:'e'");
}

QUrl OXOmbrixAPIRequest::queueURL(const QString& queueName, const QString& message) {
  return OXServiceHosts::urlFromEscapedText(
      OXServiceHosts::baseURL(OXService::Queue).toUtf8() + '/' +
      OXServiceHosts::escapeComponent(OXServiceHosts::queueAccount()) + '/' +
      OXServiceHosts::escapeComponent(queueName) + "/?Action=SendMessage&MessageBody=" +
      OXServiceHosts::escapeComponent(message) + "&Version=" + kQueueVersion);
}

QVariant OXOmbrixAPIRequest::search(const QUrl& url, bool* refused) const {
  if (refused) *refused = false;
  if (url.isEmpty()) return {};
  ox::HttpRequest request;
  request.url = url;
  request.connectTimeoutMs = searchTimeoutMs;
  request.totalTimeoutMs = searchTimeoutMs;
  request.maxBytes = OXDownloadBounds::kSearchAnswer;
  const ox::HttpResponse response = ox::httpPerform(request);
  if (refused) *refused = response.isRefusal();
  QVariant answer = ox::jsonObject(response.body);
  // An error answer reads only as the error it reports: hits in its body, taken as a real empty answer, would file a
  // file unknown for good.
  if (!response.isSuccess() && !answer.toMap().contains(QStringLiteral("error"))) return {};
  return answer;
}

QVariant OXOmbrixAPIRequest::requestMoviesID(const QString& documentId) const { return search(documentURL(documentId)); }
QVariant OXOmbrixAPIRequest::requestEpisodeID(const QString& documentId) const {
  return search(documentURL(documentId));
}

QVariant OXOmbrixAPIRequest::requestFullText(const QString& query, qint32 type) const {
  return requestFullText(query, type, 0);
}

QVariant OXOmbrixAPIRequest::requestFullText(const QString& query, qint32 type, quint64 start, bool* refused) const {
  if (refused) *refused = false;
  if (typeLetter(type).isEmpty()) return {};
  return search(fullTextURL(query, type, start), refused);
}

QVariant OXOmbrixAPIRequest::requestHash(const QString&, qint32) const { return {}; }

QVariant OXOmbrixAPIRequest::requestMoviesFullText(const QString& query) const { return requestFullText(query, 1, 0); }
QVariant OXOmbrixAPIRequest::requestShowsFullText(const QString& query) const { return requestFullText(query, 2, 0); }
QVariant OXOmbrixAPIRequest::requestMoviesFullText(const QString& query, quint64 start, bool* refused) const {
  return requestFullText(query, 1, start, refused);
}
QVariant OXOmbrixAPIRequest::requestShowsFullText(const QString& query, quint64 start, bool* refused) const {
  return requestFullText(query, 2, start, refused);
}

QVariant OXOmbrixAPIRequest::requestEpisodeShowID(quint64 showId, quint64 season, quint64 episode) const {
  return search(episodeCodeURL(showId, season, episode));
}

QVariant OXOmbrixAPIRequest::requestMoviesHash(const QString& hash) const { return requestHash(hash, 1); }
QVariant OXOmbrixAPIRequest::requestEpisodeHash(const QString& hash) const { return requestHash(hash, 3); }

QString OXOmbrixAPIRequest::composeMessage(const ox::CodingPtr& record) {
  if (const auto movie = std::dynamic_pointer_cast<OXMovie>(record)) {
    const auto file = movie->file();
    return file ? fileKeys(*file) + QLatin1Char('.') + movie->imdb() : QString();
  }
  if (const auto episode = std::dynamic_pointer_cast<OXEpisode>(record)) {
    const auto file = episode->file();
    return file ? fileKeys(*file) + QLatin1Char('.') + QString::number(episode->episodeID()) : QString();
  }
  return {};
}

void OXOmbrixAPIRequest::sendMessageToQueue(const ox::CodingPtr& record) {
  QString queue;
  if (std::dynamic_pointer_cast<OXMovie>(record)) queue = QStringLiteral("MovieHashes");
  else if (std::dynamic_pointer_cast<OXEpisode>(record)) queue = QStringLiteral("EpisodeHashes");
  else return;
  const QString message = composeMessage(record);
  if (message.isNull()) return;  // a record without its file has nothing to report
  sendMessage(queue, message);
}

void OXOmbrixAPIRequest::sendMessageToMovieQueue(const ox::CodingPtr& record) const { sendMessageToQueue(record); }
void OXOmbrixAPIRequest::sendMessageToEpisodeQueue(const ox::CodingPtr& record) const { sendMessageToQueue(record); }

void OXOmbrixAPIRequest::sendMessage(const QString& queueName, const QString& message) {
  const QUrl url = queueURL(queueName, message);
  if (url.isEmpty()) return;
  messagePool().start([url] {
    ox::HttpRequest request;
    request.url = url;
    request.maxBytes = OXDownloadBounds::kQueueAnswer;
    ox::httpPerform(request);  // the answer is not read; a lost message is not retried
  });
}

bool OXOmbrixAPIRequest::waitForMessages(int timeoutMs) { return messagePool().waitForDone(timeoutMs); }
