#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <memory>

#include "platform/foundation/KeyedArchiver.h"
#include "playback/OXXmlRpcClient.h"

// One anonymous session at the OpenSubtitles XML-RPC API ("/xml-rpc" under the service's base address): made by
// logging in, used for searches with its token, ended by close(). Every call is synchronous on the calling thread
// (the browsing views call it on the main thread just before playback) and bounded by a connect and a total
// time-out; failures are empty results with a log line. One thread at a time.
class OXOpenSubtitleController {
 public:
  // Logs in; empty when the login failed or gave no session token.
  static std::shared_ptr<OXOpenSubtitleController> init();
  ~OXOpenSubtitleController();
  OXOpenSubtitleController(const OXOpenSubtitleController&) = delete;
  OXOpenSubtitleController& operator=(const OXOpenSubtitleController&) = delete;

  // Logs out when a session is held (once); the controller keeps its token for later searches.
  void close();

  // At most one subtitle per enabled language for a movie or an episode, as { "LanguageName", "ZipDownloadLink" }
  // sorted by language name; searched by hash and size (with the IMDb code of a movie, the season and episode of an
  // episode), then looser; a looser search that comes out the same as the one before is not sent again. Empty when
  // nothing was found or the content gives nothing to search by.
  QVariantList searchAllSubtitleForContent(const ox::CodingPtr& content);
  // One "SearchSubtitles" for the dictionary with the enabled languages added as "sublanguageid"; the first hit of
  // each language, sorted. Empty on any failure, and without a call when the dictionary holds no criterion (a
  // hash with its size, an IMDb code or a query text).
  QVariantList searchAllSubtitleForParameters(const QVariantMap& search);
  // The "data" dictionary of "CheckMovieHash"; empty when there is none.
  QVariantMap findContentByHash(const QStringList& hashes);
  // The first hit of a Spanish search by "moviehash" and "moviebytesize"; empty without both or without hits.
  QVariantMap getInfoForEpisode(const QVariantMap& parameters);
  // "SearchSubtitles" with the argument as its second parameter; its "data" list, or empty.
  QVariantList findContentsByParameters(const QVariant& parameters);
  // The IMDb code of the library's show of that "showID"; shows carry none, so this is empty unless one does.
  QString showIMDBForContent(const QVariantMap& content);

  QString token() const { return token_; }

  // The service's "sublanguageid" code of a language name ("English" -> "eng"); empty for a name it does not know.
  static QString languageCode(const QString& languageName);
  // The user agent the service knows this program by.
  static QString userAgent();

 private:
  OXOpenSubtitleController();
  bool call(const QString& method, const QVariantList& params, QVariant* answer, QString* error = nullptr) const;
  static QVariantMap searchFor(const ox::CodingPtr& content);

  OXXmlRpcClient request_;
  QString token_;
  bool loggedOut_ = false;
};
