#pragma once
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <functional>
#include <optional>

// An error of the cloud client. A server's "error" text comes back as the domain with code 200 and the whole answer
// as user information; a session that cannot be renewed is "can't refresh token" with code 422.
struct OXOmbrixAPIError {
  QString domain;
  long code = 0;
  QVariantMap userInfo;
};

using OXOmbrixAPIErrorOut = std::optional<OXOmbrixAPIError>;
// Completion of an asynchronous call: the decoded answer (invalid when there is none) and the error, if any.
using OXOmbrixAPIBlock = std::function<void(const QVariant& answer, const OXOmbrixAPIErrorOut& error)>;
// Form values, sent in this order.
using OXOmbrixAPIForm = QList<QPair<QString, QString>>;

// Client of the cloud REST API: account session, sign-up and login, and the content look-ups.
//
// Holds no state of its own: the session lives in the user defaults ("email", "userID", "expireAtToken", "token")
// and the account password in the keychain (service "OmbrixMac", account = the e-mail), so every instance sees the
// same session. Synchronous calls block the calling thread for the whole exchange. Asynchronous completions run on
// the main thread, except the immediate answer to a session that cannot be renewed, which runs on the caller's.
//
// Hosts come from OXServiceHosts: the cloud REST API, its staging host, the movie search domain and the popular
// lists, each overridable by its environment variable.
class OXOmbrixAPI {
 public:
  // ---- Session values ------------------------------------------------------------------------------------------
  QString email() const;
  bool setEmail(const QString& email);  // a null text removes the value
  QVariant userID() const;
  bool setUserID(const QVariant& userID);  // an invalid or null value removes it
  QDateTime expireToken() const;
  bool setExpireToken(const QDateTime& date);  // an invalid date removes it
  QString token() const;
  bool setToken(const QString& token);
  void setPassword(const QString& password, const QString& account);
  // The keychain's deletion is asked for without waiting; the e-mail goes at once.
  void deletePasswordForAccount(const QString& account);
  // The keychain password of the stored e-mail; a null text when there is none.
  QString password() const;

  // ---- Request frame (paths begin with "/") --------------------------------------------------------------------
  QVariant sendRequestType(const QString& method, const OXOmbrixAPIForm& parameters, const QString& path,
                           OXOmbrixAPIErrorOut* error = nullptr);
  QVariant sendPostWithParameters(const OXOmbrixAPIForm& parameters, const QString& path,
                                  OXOmbrixAPIErrorOut* error = nullptr);
  QVariant sendPutWithParameters(const OXOmbrixAPIForm& parameters, const QString& path,
                                 OXOmbrixAPIErrorOut* error = nullptr);
  QVariant sendAuthRequestType(const QString& method, const OXOmbrixAPIForm& parameters, const QString& path,
                               OXOmbrixAPIErrorOut* error = nullptr);
  QVariant sendAuthPostWithParameters(const OXOmbrixAPIForm& parameters, const QString& path,
                                      OXOmbrixAPIErrorOut* error = nullptr);
  QVariant sendAuthPutWithParameters(const OXOmbrixAPIForm& parameters, const QString& path,
                                     OXOmbrixAPIErrorOut* error = nullptr);
  QVariant sendAuthGetWithPath(const QString& path, OXOmbrixAPIErrorOut* error = nullptr);
  QVariant sendAuthDeleteWithPath(const QString& path, OXOmbrixAPIErrorOut* error = nullptr);
  // "GET", "POST" (multipart form) or "PUT" (form values), with the session presented when the server challenges.
  // The block is called exactly once.
  void sendAuthAsyncRequestType(const QString& method, const OXOmbrixAPIForm& parameters, const QString& path,
                                OXOmbrixAPIBlock block);

  // ---- Account ------------------------------------------------------------------------------------------------
  // Asks the keychain for the stored account's password without waiting, so that its access prompt comes up now.
  void checkKeychainAccess();
  // The account a renewal signs in with.
  struct Credentials {
    QString email, password;
  };
  // A usable session exists or a renewal was attempted with the stored credentials.
  bool checkToken();
  // The first half of checkToken, told without the network or the keychain, for a caller that must not wait on them:
  // true for an unexpired token, and for a stored e-mail, which then goes into `renewFor` for renewStoredSession;
  // false, after posting "finishSession", for neither.
  bool checkStoredSession(QString* renewFor = nullptr);
  // Reads the account's password and renews the session with it (renewStoredToken). False, after posting
  // "finishSession", when the keychain gives no password for the account still stored: the session checkToken would
  // have refused. True otherwise, also when a quit, a log-out or a login came meanwhile (nothing is done then).
  bool renewStoredSession(const QString& account);
  // Renews the session and stores the outcome: the answer's id, expiry and token, or none of them without an answer
  // (so the next check renews again). A renewal cancelled on its way (HttpCancelScope), or whose session was logged
  // out or replaced by a login meanwhile, stores nothing.
  void renewStoredToken(const Credentials& credentials);
  // {"email", "id", "token", "expireAt"} of a fresh session; invalid when the server gave none.
  QVariant renewTokenWithEmail(const QString& email, const QString& password);
  bool createUserWithNickname(const QString& nickname, const QString& email, const QString& password);
  bool loginWithEmail(const QString& email, const QString& password);
  void logOut();
  void resetUserPassword(const QString& email, OXOmbrixAPIBlock block);

  // ---- Content look-ups ----------------------------------------------------------------------------------------
  QVariant getEpisode(qulonglong episode, const QVariant& showID, qulonglong season);
  QVariant recognizerFiles(const QVariantList& files);
  bool manualMatchWithParameters(const QVariantMap& file, const QString& imdbCode, qulonglong tvdbCode,
                                 bool overwrite);
  QVariant getMovieForID(const QVariant& movieID);
  QVariant getShowForID(const QVariant& showID);
  QVariant getShowForIMDB(const QString& imdbCode);
  QVariant getMoviesForIMDBids(const QStringList& imdbNumbers);
  QVariant getShowsForIMDBids(const QStringList& imdbNumbers);
  QVariant getContentForData(const QVariantMap& data);
  QVariant findMovies(const QString& query, qulonglong limit, qulonglong skip);
  QVariant findMoviesByFullText(const QString& text);
  void findMovies(const QString& query, qulonglong limit, qulonglong skip, OXOmbrixAPIBlock block);
  QVariant findShows(const QString& query, qulonglong limit, qulonglong skip);
  QVariant findShowsByFullText(const QString& text);
  void findShows(const QString& query, qulonglong limit, qulonglong skip, OXOmbrixAPIBlock block);
  QVariant getHomeMovieContents();
  QVariant getHomeShowContents();

  static QString filterWordAkaTitle(const QString& text);
  static QString filterSearchWord(const QString& word);
  static QVariant removeNulls(const QVariant& object);
  static QVariantMap removeNullDictionary(const QVariantMap& dictionary);

  // Reads a session expiry: ISO 8601 date and time with "Z" or a "+hh:mm" offset, fractional seconds allowed.
  // An invalid date for anything else.
  static QDateTime dateFromExpireAt(const QVariant& value);
  // The ranking of full-text hits: movies by exact title, release date more than three years apart, popularity;
  // shows also by exact and then partial alternative title after the title. Stable for undecided pairs.
  static QVariantList rankMovies(const QVariantList& hits, const QString& query);
  static QVariantList rankShows(const QVariantList& hits, const QString& query);

 private:
  // `sessionFailed` tells an authenticated call that never went out because no session could be had.
  QVariant sendSync(const QString& method, const OXOmbrixAPIForm& parameters, const QString& path, bool authenticated,
                    OXOmbrixAPIErrorOut* error, bool* sessionFailed = nullptr);
  bool sessionReady();
  bool hasUnexpiredToken() const;
  QVariant authGetMap(const QString& path);
  QVariant authGetList(const QString& path);
  QVariant popularList(const QString& listPath, const QString& keyPath, const QString& lookupPath);
  QVariant developerGet(const QString& pathPrefix, const QStringList& imdbNumbers);
};
