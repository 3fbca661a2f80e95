#include "scanner/OXOmbrixAPI.h"

#include "core/OXDownloadBounds.h"
#include "core/OXServiceHosts.h"

#include <QDate>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <mutex>

#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Info.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "scanner/Keychain.h"
#include "platform/foundation/Json.h"

namespace {

const QString kKeychainService = QStringLiteral("OmbrixMac");
const QString kEmailKey = QStringLiteral("email");
const QString kUserIDKey = QStringLiteral("userID");
const QString kExpireKey = QStringLiteral("expireAtToken");
const QString kTokenKey = QStringLiteral("token");
const QString kVersion = QStringLiteral("v1");

const QString kTransportErrorDomain = QStringLiteral("OXOmbrixAPITransportError");
const QString kResponseErrorDomain = QStringLiteral("OXOmbrixAPIResponseError");
const QString kMethodErrorDomain = QStringLiteral("OXOmbrixAPIMethodError");

const QString kDeveloperAccountKey = QStringLiteral("OXCloudDeveloperAccount");
const QString kDeveloperPassword = QStringLiteral("velutina.3846");
const QString kPopularListsKey = QStringLiteral("a07c5e19d2b84f63e1905c2d7b6a48f1");
const QString kIMDbTitlePrefix = QStringLiteral("http://www.imdb.com/title/");

// The developer account, unless the program registered its own.
void registerServiceDefaults() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (!ox::infoValue(kDeveloperAccountKey).isValid())
      ox::registerInfoValues({{kDeveloperAccountKey, QStringLiteral("developer@varnel.example")}});
  });
}


// `path` is already percent-encoded where it carries values.
QUrl apiURL(const QString& base, const QString& path) {
  return QUrl(base + u'/' + kVersion + path, QUrl::TolerantMode);
}

QUrl cloudURL(const QString& path) { return apiURL(OXServiceHosts::baseURL(OXService::API), path); }

// One value of a path or query, escaped so that it cannot end its segment or add parameters.
QString component(const QVariant& value) { return QString::fromLatin1(QUrl::toPercentEncoding(value.toString())); }

// Blanks become "+", everything else is escaped as a component.
QString plusJoined(const QString& text) {
  QStringList words = text.split(u' ');
  for (QString& w : words) w = component(w);
  return words.join(u'+');
}

QString limitAndSkip(qulonglong limit, qulonglong skip) {
  QString s;
  if (limit != 0) s += QStringLiteral("&limit=%1").arg(limit);
  if (skip != 0) s += QStringLiteral("&skip=%1").arg(skip);
  return s;
}

bool isNullValue(const QVariant& v) { return !v.isValid() || v.typeId() == QMetaType::Nullptr; }

bool isMap(const QVariant& v) { return v.typeId() == QMetaType::QVariantMap; }
bool isList(const QVariant& v) { return v.typeId() == QMetaType::QVariantList; }

// A JSON text as the decoded object; invalid when it does not decode.
QVariant decodeJSON(const QByteArray& body) { return ox::jsonValue(body); }

QVariant valueForKeyPath(const QVariant& object, const QString& keyPath) {
  QVariant v = object;
  for (const QString& key : keyPath.split(u'.')) {
    if (!isMap(v)) return {};
    v = v.toMap().value(key);
  }
  return v;
}

OXOmbrixAPIError transportError(const ox::HttpResponse& response) {
  return {kTransportErrorDomain, -1, {{QStringLiteral("description"), response.error}}};
}

OXOmbrixAPIForm formFromMap(const QVariantMap& map) {
  OXOmbrixAPIForm form;
  for (auto it = map.begin(); it != map.end(); ++it) form.append({it.key(), it.value().toString()});
  return form;
}

QByteArray multipartBody(const OXOmbrixAPIForm& parameters, QByteArray* contentType) {
  const QByteArray boundary =
      "Boundary+" + QByteArray::number(QRandomGenerator::global()->generate64(), 16).toUpper();
  QByteArray body;
  for (const auto& [key, value] : parameters) {
    QByteArray name = key.toUtf8();
    name.replace('"', "%22").replace('\r', "%0D").replace('\n', "%0A");
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value.toUtf8() +
            "\r\n";
  }
  body += "--" + boundary + "--\r\n";
  *contentType = "multipart/form-data; boundary=" + boundary;
  return body;
}

// Types that the asynchronous call accepts as JSON.
bool isJSONContentType(const QByteArray& header) {
  const QByteArray type = header.split(';').constFirst().trimmed().toLower();
  return type == "application/json" || type == "text/json" || type == "text/javascript";
}

// The asynchronous calls' transfers: many may wait on the network at once.
ox::OperationQueue& asyncQueue() {
  static ox::OperationQueue queue(8);
  return queue;
}

// A synchronous GET answered as decoded JSON; nothing on a transport failure (an invalid value inside when the answer
// does not decode).
std::optional<QVariant> getJSON(const QUrl& url, const QString& user = {}, const QString& password = {}) {
  ox::HttpRequest request;
  request.url = url;
  if (!user.isNull()) {
    request.auth = ox::HttpRequest::Auth::BasicPreemptive;
    request.user = user;
    request.password = password;
  }
  request.maxBytes = OXDownloadBounds::kCloudAnswer;
  const ox::HttpResponse response = ox::httpPerform(request);
  if (!response.transportOk) {
    ox::log(QStringLiteral("cloud request %1 failed: %2").arg(url.path(), response.error));
    return std::nullopt;
  }
  return decodeJSON(response.body);
}

// Merge sort that only ever asks `order(a, b) < 0` ("a goes first"), so a ranking that is not a strict weak order
// still sorts safely, and undecided pairs keep their order.
template <class Order>
void stableRank(QVariantList& list, Order order) {
  if (list.size() < 2) return;
  QVariantList buffer(list.size());
  for (qsizetype width = 1; width < list.size(); width *= 2) {
    for (qsizetype lo = 0; lo < list.size(); lo += 2 * width) {
      const qsizetype mid = std::min(lo + width, list.size());
      const qsizetype hi = std::min(lo + 2 * width, list.size());
      qsizetype i = lo, j = mid, k = lo;
      while (i < mid && j < hi) buffer[k++] = order(list[j], list[i]) < 0 ? list[j++] : list[i++];
      while (i < mid) buffer[k++] = list[i++];
      while (j < hi) buffer[k++] = list[j++];
    }
    std::swap(list, buffer);
  }
}

QString lowerText(const QVariant& v) {
  return v.typeId() == QMetaType::QString ? v.toString().toLower() : QString();
}

// -1: a first; 1: b first; 0: this rule does not decide.
int preferMatch(bool a, bool b) { return a == b ? 0 : (a ? -1 : 1); }

int byTitle(const QVariantMap& a, const QVariantMap& b, const QString& query) {
  const QString ta = lowerText(a.value(QStringLiteral("title")));
  const QString tb = lowerText(b.value(QStringLiteral("title")));
  return preferMatch(!ta.isNull() && ta == query, !tb.isNull() && tb == query);
}

bool akaMatches(const QVariantMap& show, const QString& query, bool partial) {
  const QVariant aka = show.value(QStringLiteral("akaTitles"));
  if (!isMap(aka)) return false;
  const QVariantMap titles = aka.toMap();
  for (const QVariant& t : titles) {
    const QString title = lowerText(t);
    if (title.isNull()) continue;
    if (partial ? ox::containsText(title, query) : title == query) return true;
  }
  return false;
}

int byReleaseDate(const QVariantMap& a, const QVariantMap& b) {
  const QVariant va = a.value(QStringLiteral("releaseDate"));
  const QVariant vb = b.value(QStringLiteral("releaseDate"));
  if (isNullValue(va) || isNullValue(vb)) return 0;
  const QDate da = QDate::fromString(va.toString().left(10), QStringLiteral("yyyy'-'MM'-'dd"));
  const QDate db = QDate::fromString(vb.toString().left(10), QStringLiteral("yyyy'-'MM'-'dd"));
  if (!da.isValid() || !db.isValid()) return 0;
  // More than three years of 365 days apart: the newer one first.
  const qint64 seconds = da.daysTo(db) * 86400;
  const qint64 threshold = 94608001;
  if (seconds >= threshold) return 1;
  if (seconds <= -threshold) return -1;
  return 0;
}

int byPopularity(const QVariantMap& a, const QVariantMap& b) {
  const QVariant va = a.value(QStringLiteral("extpopularity"));
  const QVariant vb = b.value(QStringLiteral("extpopularity"));
  const qlonglong pa = isNullValue(va) ? 0 : ox::leadingInteger(va.toString());
  const qlonglong pb = isNullValue(vb) ? 0 : ox::leadingInteger(vb.toString());
  return pa == pb ? 0 : (pa > pb ? -1 : 1);
}

}  // namespace

// ---- Session values --------------------------------------------------------------------------------------------

namespace {
bool storeDefault(const QString& key, const QVariant& value) {
  if (isNullValue(value))
    ox::UserDefaults::remove(key);
  else
    ox::UserDefaults::setValue(key, value);
  return ox::UserDefaults::synchronize();
}
}  // namespace

QString OXOmbrixAPI::email() const {
  const QVariant v = ox::UserDefaults::value(kEmailKey);
  return isNullValue(v) ? QString() : v.toString();
}

bool OXOmbrixAPI::setEmail(const QString& email) {
  return storeDefault(kEmailKey, email.isNull() ? QVariant() : QVariant(email));
}

QVariant OXOmbrixAPI::userID() const { return ox::UserDefaults::value(kUserIDKey); }

bool OXOmbrixAPI::setUserID(const QVariant& userID) { return storeDefault(kUserIDKey, userID); }

QDateTime OXOmbrixAPI::expireToken() const { return ox::UserDefaults::value(kExpireKey).toDateTime(); }

bool OXOmbrixAPI::setExpireToken(const QDateTime& date) {
  return storeDefault(kExpireKey, date.isValid() ? QVariant(date.toUTC()) : QVariant());
}

QString OXOmbrixAPI::token() const {
  const QVariant v = ox::UserDefaults::value(kTokenKey);
  return isNullValue(v) ? QString() : v.toString();
}

bool OXOmbrixAPI::setToken(const QString& token) {
  return storeDefault(kTokenKey, token.isNull() ? QVariant() : QVariant(token));
}

void OXOmbrixAPI::setPassword(const QString& password, const QString& account) {
  setEmail(account);
  if (!ox::setKeychainPassword(password, kKeychainService, account))
    ox::log(QStringLiteral("the account password could not be stored in the keychain"));
}

void OXOmbrixAPI::deletePasswordForAccount(const QString& account) {
  // Not waited for: a log-out must not hang on a keychain that does not answer, and whatever the keychain is asked
  // next (a login's password) comes after the deletion. A quit waits for it a while (finishKeychainDeletions).
  if (!account.isEmpty()) ox::deleteKeychainPasswordLater(kKeychainService, account);
  setEmail(QString());
}

QString OXOmbrixAPI::password() const {
  const QString account = email();
  if (account.isEmpty()) return QString();
  return ox::keychainPassword(kKeychainService, account).value_or(QString());
}

// ---- Request frame ---------------------------------------------------------------------------------------------

QVariant OXOmbrixAPI::sendSync(const QString& method, const OXOmbrixAPIForm& parameters, const QString& path,
                               bool authenticated, OXOmbrixAPIErrorOut* error, bool* sessionFailed) {
  if (sessionFailed) *sessionFailed = false;
  if (authenticated && !sessionReady()) {
    if (sessionFailed) *sessionFailed = true;
    return {};
  }
  ox::HttpRequest request;
  request.method = method.toUtf8();
  request.url = cloudURL(path);
  request.form = parameters;
  if (authenticated) {
    request.auth = ox::HttpRequest::Auth::BasicPreemptive;
    request.user = email();
    request.password = token();
  }
  request.maxBytes = OXDownloadBounds::kCloudAnswer;
  const ox::HttpResponse response = ox::httpPerform(request);
  if (!response.transportOk) {
    ox::log(QStringLiteral("cloud request %1 %2 failed: %3").arg(method, path, response.error));
    if (error) *error = transportError(response);
    return {};
  }
  const QVariant answer = decodeJSON(response.body);
  if (authenticated && isMap(answer) && answer.toMap().contains(QStringLiteral("error"))) {
    const QVariantMap map = answer.toMap();
    if (error) *error = OXOmbrixAPIError{map.value(QStringLiteral("error")).toString(), 200, map};
    return {};
  }
  return answer;
}

// A failed renewal leaves no token; such a request must not go out with an empty one.
bool OXOmbrixAPI::sessionReady() { return checkToken() && !token().isEmpty(); }

QVariant OXOmbrixAPI::sendRequestType(const QString& method, const OXOmbrixAPIForm& parameters, const QString& path,
                                      OXOmbrixAPIErrorOut* error) {
  return sendSync(method, parameters, path, false, error);
}

QVariant OXOmbrixAPI::sendPostWithParameters(const OXOmbrixAPIForm& parameters, const QString& path,
                                             OXOmbrixAPIErrorOut* error) {
  return sendRequestType(QStringLiteral("POST"), parameters, path, error);
}

QVariant OXOmbrixAPI::sendPutWithParameters(const OXOmbrixAPIForm& parameters, const QString& path,
                                            OXOmbrixAPIErrorOut* error) {
  return sendRequestType(QStringLiteral("PUT"), parameters, path, error);
}

QVariant OXOmbrixAPI::sendAuthRequestType(const QString& method, const OXOmbrixAPIForm& parameters,
                                          const QString& path, OXOmbrixAPIErrorOut* error) {
  return sendSync(method, parameters, path, true, error);
}

QVariant OXOmbrixAPI::sendAuthPostWithParameters(const OXOmbrixAPIForm& parameters, const QString& path,
                                                 OXOmbrixAPIErrorOut* error) {
  return sendAuthRequestType(QStringLiteral("POST"), parameters, path, error);
}

QVariant OXOmbrixAPI::sendAuthPutWithParameters(const OXOmbrixAPIForm& parameters, const QString& path,
                                                OXOmbrixAPIErrorOut* error) {
  return sendAuthRequestType(QStringLiteral("PUT"), parameters, path, error);
}

QVariant OXOmbrixAPI::sendAuthGetWithPath(const QString& path, OXOmbrixAPIErrorOut* error) {
  return sendAuthRequestType(QStringLiteral("GET"), {}, path, error);
}

QVariant OXOmbrixAPI::sendAuthDeleteWithPath(const QString& path, OXOmbrixAPIErrorOut* error) {
  return sendAuthRequestType(QStringLiteral("DELETE"), {}, path, error);
}

void OXOmbrixAPI::sendAuthAsyncRequestType(const QString& method, const OXOmbrixAPIForm& parameters,
                                           const QString& path, OXOmbrixAPIBlock block) {
  if (!block) block = [](const QVariant&, const OXOmbrixAPIErrorOut&) {};
  const bool isGet = method == QLatin1String("GET");
  const bool isPost = method == QLatin1String("POST");
  const bool isPut = method == QLatin1String("PUT");
  // Every call completes once: a method this call cannot send answers an error instead of silence.
  if (!isGet && !isPost && !isPut) {
    ox::dispatchMain([block, method] {
      block({}, OXOmbrixAPIError{kMethodErrorDomain, 0, {{QStringLiteral("method"), method}}});
    });
    return;
  }
  if (!sessionReady()) {
    block({}, OXOmbrixAPIError{QStringLiteral("can't refresh token"), 422, {}});
    return;
  }
  ox::HttpRequest request;
  request.method = method.toUtf8();
  request.url = cloudURL(path);
  request.auth = ox::HttpRequest::Auth::BasicOnChallenge;
  request.user = email();
  request.password = token();
  if (isPost)
    request.body = multipartBody(parameters, &request.contentType);
  else if (isPut)
    request.form = parameters;
  request.maxBytes = OXDownloadBounds::kCloudAnswer;
  asyncQueue().addOperationWithBlock([request, block, isGet, path] {
    const ox::HttpResponse response = ox::httpPerform(request);
    QVariant answer;
    OXOmbrixAPIErrorOut error;
    if (!response.transportOk) {
      error = transportError(response);
    } else {
      const QVariant decoded = decodeJSON(response.body);
      const QVariantMap info{{QStringLiteral("status"), response.status},
                             {QStringLiteral("body"), QString::fromUtf8(response.body)}};
      if (!response.isSuccess())
        error = OXOmbrixAPIError{kResponseErrorDomain, response.status, info};
      else if (!isJSONContentType(response.header("Content-Type")))
        error = OXOmbrixAPIError{kResponseErrorDomain, 0, info};
      else if (!decoded.isValid())
        error = OXOmbrixAPIError{kResponseErrorDomain, 0, info};
      else
        answer = decoded;
    }
    if (!error && isGet)
      ox::log(QStringLiteral("cloud %1: %2").arg(path, QString::fromUtf8(response.body.left(4096))));
    ox::dispatchMain([block, answer, error] { block(answer, error); });
  });
}

// ---- Account ---------------------------------------------------------------------------------------------------

void OXOmbrixAPI::checkKeychainAccess() {
  // The read only brings the keychain's access prompt up now; nothing waits for its answer.
  if (const QString account = email(); !account.isEmpty()) ox::readKeychainPasswordLater(kKeychainService, account);
}

bool OXOmbrixAPI::checkToken() {
  QString renewFor;
  if (!checkStoredSession(&renewFor)) return false;
  return renewFor.isEmpty() || renewStoredSession(renewFor);
}

bool OXOmbrixAPI::hasUnexpiredToken() const {
  const QDateTime expiry = expireToken();
  return expiry.isValid() && QDateTime::currentDateTimeUtc().msecsTo(expiry) >= 0;
}

bool OXOmbrixAPI::checkStoredSession(QString* renewFor) {
  if (hasUnexpiredToken()) return true;
  const QString mail = email();
  if (!mail.isEmpty()) {
    if (renewFor) *renewFor = mail;
    return true;
  }
  ox::NotificationCenter::defaultCenter().post(QStringLiteral("finishSession"));
  return false;
}

bool OXOmbrixAPI::renewStoredSession(const QString& account) {
  const QString pass = password();
  // A quit, a log-out or a login while the keychain was asked: this check's session is no longer the one stored.
  if (ox::HttpCancelScope::isCancelled() || email() != account || hasUnexpiredToken()) return true;
  if (pass.isNull()) {
    ox::NotificationCenter::defaultCenter().post(QStringLiteral("finishSession"));
    return false;
  }
  renewStoredToken({account, pass});
  return true;
}

void OXOmbrixAPI::renewStoredToken(const Credentials& credentials) {
  const QString tokenBefore = token();
  const QVariantMap session = renewTokenWithEmail(credentials.email, credentials.password).toMap();
  // A renewal may outlast a log-out or a new login; their session stands. One cut short by a quit is no answer.
  if (ox::HttpCancelScope::isCancelled() || email() != credentials.email || token() != tokenBefore) return;
  // Without an answer all three go, so the next check renews again.
  setUserID(session.value(QStringLiteral("id")));
  setExpireToken(session.value(QStringLiteral("expireAt")).toDateTime());
  setToken(session.contains(QStringLiteral("token")) ? session.value(QStringLiteral("token")).toString() : QString());
}

namespace {
// A session answer's token: a text or number; nothing for null or anything else.
QString sessionToken(const QVariant& answer) {
  if (!isMap(answer)) return QString();
  const QVariant t = answer.toMap().value(QStringLiteral("token"));
  if (t.typeId() == QMetaType::QString) return t.toString();
  if (t.typeId() == QMetaType::Double || t.typeId() == QMetaType::LongLong) return t.toString();
  return QString();
}
}  // namespace

QVariant OXOmbrixAPI::renewTokenWithEmail(const QString& email, const QString& password) {
  const QVariant answer = sendPostWithParameters(
      {{QStringLiteral("user"), email}, {QStringLiteral("password"), password}}, QStringLiteral("/users/me/sessions"));
  const QString tokenText = sessionToken(answer);
  if (tokenText.isNull()) return {};
  const QVariantMap map = answer.toMap();
  QVariantMap session{{QStringLiteral("email"), email}, {QStringLiteral("token"), tokenText}};
  if (const QVariant id = map.value(QStringLiteral("id")); !isNullValue(id)) session.insert(QStringLiteral("id"), id);
  if (const QDateTime expiry = dateFromExpireAt(map.value(QStringLiteral("expireAt"))); expiry.isValid())
    session.insert(QStringLiteral("expireAt"), expiry);
  return session;
}

bool OXOmbrixAPI::createUserWithNickname(const QString& nickname, const QString& email, const QString& password) {
  const QVariant answer = sendPostWithParameters({{QStringLiteral("email"), email},
                                                  {QStringLiteral("nickname"), nickname},
                                                  {QStringLiteral("password"), password}},
                                                 QStringLiteral("/users"));
  if (!isMap(answer) || !answer.toMap().contains(QStringLiteral("id"))) return false;
  setUserID(answer.toMap().value(QStringLiteral("id")));
  setPassword(password, email);
  return true;
}

bool OXOmbrixAPI::loginWithEmail(const QString& email, const QString& password) {
  const QVariant answer = sendPostWithParameters(
      {{QStringLiteral("user"), email}, {QStringLiteral("password"), password}}, QStringLiteral("/users/me/sessions"));
  const QString tokenText = sessionToken(answer);
  if (tokenText.isNull()) return false;
  const QVariantMap map = answer.toMap();
  setUserID(map.value(QStringLiteral("id")));
  setExpireToken(dateFromExpireAt(map.value(QStringLiteral("expireAt"))));
  setToken(tokenText);
  setPassword(password, email);
  return true;
}

void OXOmbrixAPI::logOut() {
  deletePasswordForAccount(email());
  setUserID({});
  setExpireToken({});
  setToken(QString());
}

void OXOmbrixAPI::resetUserPassword(const QString& email, OXOmbrixAPIBlock block) {
  const QString resetURL = QStringLiteral("ombrix://reset-password/%1/%2").arg(email, QStringLiteral("%HASH%"));
  sendAuthAsyncRequestType(QStringLiteral("POST"),
                           {{QStringLiteral("user"), email}, {QStringLiteral("resetURL"), resetURL}},
                           QStringLiteral("/users/reset-password"), std::move(block));
}

QDateTime OXOmbrixAPI::dateFromExpireAt(const QVariant& value) {
  if (value.typeId() != QMetaType::QString) return {};
  const QString text = value.toString().trimmed();
  // A zone is required: "Z" or a numeric offset. A date and time without one names no instant.
  static const QRegularExpression zoned(QStringLiteral("T.*(Z|[+-]\\d\\d(:?\\d\\d)?)$"),
                                        QRegularExpression::CaseInsensitiveOption);
  if (!zoned.match(text).hasMatch()) return {};
  const QDateTime date = QDateTime::fromString(text, Qt::ISODateWithMs);
  return date.isValid() ? date.toUTC() : QDateTime();
}

// ---- Content look-ups ------------------------------------------------------------------------------------------

QVariant OXOmbrixAPI::authGetMap(const QString& path) {
  const QVariant answer = sendAuthGetWithPath(path);
  return isMap(answer) ? removeNulls(answer) : QVariant();
}

QVariant OXOmbrixAPI::authGetList(const QString& path) {
  const QVariant answer = sendAuthGetWithPath(path);
  return isList(answer) ? removeNulls(answer) : QVariant();
}

QVariant OXOmbrixAPI::getEpisode(qulonglong episode, const QVariant& showID, qulonglong season) {
  return authGetMap(QStringLiteral("/tvshows/") + component(showID) + QStringLiteral("/seasons/") +
                    QString::number(season) + QStringLiteral("/episodes/") + QString::number(episode));
}

QVariant OXOmbrixAPI::recognizerFiles(const QVariantList& files) {
  QStringList pairs;
  for (const QVariant& file : files) {
    const QVariantMap fields = file.toMap();
    for (auto it = fields.begin(); it != fields.end(); ++it) {
      if (it.key() == QLatin1String("moviePath")) continue;
      pairs << QStringLiteral("movies%5B%5D%5B") + component(it.key()) + QStringLiteral("%5D=") +
                   component(it.value());
    }
  }
  // Nothing to search for: no request.
  if (pairs.isEmpty()) return {};
  if (!sessionReady()) return {};
  const QString base = OXServiceHosts::baseURL(OXService::API);
  const auto answer =
      getJSON(apiURL(base, QStringLiteral("/hashes/search?") + pairs.join(u'&')), email(), token());
  if (!answer || !isMap(*answer)) return {};
  return removeNulls(*answer);
}

bool OXOmbrixAPI::manualMatchWithParameters(const QVariantMap& file, const QString& imdbCode, qulonglong tvdbCode,
                                            bool overwrite) {
  QVariantMap values = file;
  values.insert(QStringLiteral("imdb"), imdbCode.isNull() ? QStringLiteral("") : imdbCode);
  values.insert(QStringLiteral("tvdb"), tvdbCode != 0 ? QString::number(tvdbCode) : QStringLiteral(""));
  values.insert(QStringLiteral("overwrite"), overwrite ? QStringLiteral("1") : QStringLiteral("0"));
  for (const char* key : {"episodeNumber", "seasonNumber", "type", "moviePath", "fulltext"})
    values.remove(QLatin1String(key));
  OXOmbrixAPIErrorOut error;
  bool sessionFailed = false;
  sendSync(QStringLiteral("POST"), formFromMap(values), QStringLiteral("/hashes/manual-match"), true, &error,
           &sessionFailed);
  // A match that never went out did not succeed.
  return !sessionFailed && !error;
}

QVariant OXOmbrixAPI::getMovieForID(const QVariant& movieID) {
  return authGetMap(QStringLiteral("/movies/%1").arg(component(movieID)));
}

QVariant OXOmbrixAPI::getShowForID(const QVariant& showID) {
  return authGetMap(QStringLiteral("/tvshows/%1").arg(component(showID)));
}

QVariant OXOmbrixAPI::getShowForIMDB(const QString& imdbCode) {
  const QVariant answer = sendAuthGetWithPath(QStringLiteral("/tvshows?imdb_set=%1").arg(component(imdbCode)));
  if (!isList(answer) || answer.toList().isEmpty()) return {};
  return removeNulls(answer.toList().constFirst());
}

QVariant OXOmbrixAPI::developerGet(const QString& pathPrefix, const QStringList& imdbNumbers) {
  QStringList numbers;
  for (const QString& n : imdbNumbers) numbers << component(n);
  const QString base = OXServiceHosts::baseURL(OXService::API);
  registerServiceDefaults();
  const auto answer = getJSON(apiURL(base, pathPrefix + numbers.join(QStringLiteral(",tt"))),
                              ox::infoValue(kDeveloperAccountKey).toString(), kDeveloperPassword);
  if (!answer || !isList(*answer)) return {};
  return removeNulls(*answer);
}

QVariant OXOmbrixAPI::getMoviesForIMDBids(const QStringList& imdbNumbers) {
  return developerGet(QStringLiteral("/movies?imdb_set=tt"), imdbNumbers);
}

QVariant OXOmbrixAPI::getShowsForIMDBids(const QStringList& imdbNumbers) {
  return developerGet(QStringLiteral("/tvshows?imdb_set=tt"), imdbNumbers);
}

QVariant OXOmbrixAPI::getContentForData(const QVariantMap& data) {
  if (!sessionReady()) return {};
  const QString base = OXServiceHosts::baseURL(OXService::APIStaging);
  const QString path = QStringLiteral("/hashes/search?movie_hash=%1&file_byte_size=%2")
                           .arg(component(data.value(QStringLiteral("os_hash"))),
                                component(data.value(QStringLiteral("file_byte_size"))));
  const auto answer = getJSON(apiURL(base, path), email(), token());
  if (!answer) return {};
  return removeNulls(*answer);
}

QVariant OXOmbrixAPI::findMovies(const QString& query, qulonglong limit, qulonglong skip) {
  // The limit and the skip count are not part of this query.
  Q_UNUSED(limit);
  Q_UNUSED(skip);
  return authGetList(QStringLiteral("/movies?query_any=%1").arg(plusJoined(query)));
}

QVariant OXOmbrixAPI::findMoviesByFullText(const QString& text) {
  const QString base = OXServiceHosts::baseURL(OXService::MovieSearch);
  const QUrl url(base + QStringLiteral("/2013-01-01/search?q=%1&return=extpopularity,data,_score"
                                       "&sort=extpopularity+desc")
                            .arg(plusJoined(text)),
                 QUrl::TolerantMode);
  const auto answer = getJSON(url);
  if (!answer || !isMap(*answer) || answer->toMap().contains(QStringLiteral("error"))) return {};
  const QVariant hits = valueForKeyPath(*answer, QStringLiteral("hits.hit"));
  if (!isList(hits)) return {};
  return rankMovies(removeNulls(hits).toList(), text.toLower());
}

void OXOmbrixAPI::findMovies(const QString& query, qulonglong limit, qulonglong skip, OXOmbrixAPIBlock block) {
  QStringList tags = filterWordAkaTitle(query.toLower()).split(u',', Qt::SkipEmptyParts);
  for (QString& t : tags) t = component(t);
  sendAuthAsyncRequestType(QStringLiteral("GET"), {},
                           QStringLiteral("/movies?tags=%1").arg(tags.join(u',')) + limitAndSkip(limit, skip),
                           std::move(block));
}

QVariant OXOmbrixAPI::findShows(const QString& query, qulonglong limit, qulonglong skip) {
  const QVariant answer = sendAuthGetWithPath(QStringLiteral("/tvshows?query=%1").arg(plusJoined(query.toLower())) +
                                              limitAndSkip(limit, skip));
  return isList(answer) ? answer : QVariant();
}

QVariant OXOmbrixAPI::findShowsByFullText(const QString& text) {
  const QVariant shows = authGetList(QStringLiteral("/tvshows?query_any=%1&limit=100").arg(plusJoined(text)));
  if (!shows.isValid()) return {};
  return rankShows(shows.toList(), text.toLower());
}

void OXOmbrixAPI::findShows(const QString& query, qulonglong limit, qulonglong skip, OXOmbrixAPIBlock block) {
  sendAuthAsyncRequestType(QStringLiteral("GET"), {},
                           QStringLiteral("/tvshows?query=%1").arg(plusJoined(query.toLower())) +
                               limitAndSkip(limit, skip),
                           std::move(block));
}

QVariant OXOmbrixAPI::popularList(const QString& listPath, const QString& keyPath, const QString& lookupPath) {
  const QString base = OXServiceHosts::baseURL(OXService::Scrape);
  const auto answer = getJSON(QUrl(base + listPath + QStringLiteral("?apikey=") + kPopularListsKey));
  if (!answer || !isMap(*answer)) return {};
  QStringList codes;
  const QVariantList entries = valueForKeyPath(*answer, QStringLiteral("results.collection1")).toList();
  for (const QVariant& entry : entries) {
    const QString link = valueForKeyPath(entry, keyPath).toString();
    // Only links to a title page carry a code; anything else is not guessed at.
    if (!link.startsWith(kIMDbTitlePrefix)) continue;
    const QString code = link.mid(kIMDbTitlePrefix.size()).section(u'/', 0, 0);
    if (!code.isEmpty()) codes << component(code);
  }
  if (codes.isEmpty()) return {};
  return authGetList(lookupPath.arg(codes.join(u',')));
}

QVariant OXOmbrixAPI::getHomeMovieContents() {
  return popularList(QStringLiteral("/api/673xrasg"), QStringLiteral("movies.href"),
                     QStringLiteral("/movies?imdb_set=%1"));
}

QVariant OXOmbrixAPI::getHomeShowContents() {
  return popularList(QStringLiteral("/api/2j4r3kdw"), QStringLiteral("content.href"),
                     QStringLiteral("/tvshows?imdb_set=%1"));
}

QString OXOmbrixAPI::filterWordAkaTitle(const QString& text) {
  QStringList collected;
  for (const QString& word : text.split(u' ')) {
    const QString filtered = filterSearchWord(word);
    if (filtered.size() >= 4 && word.size() >= 4 && !collected.contains(filtered)) collected << filtered;
  }
  return collected.join(u',');
}

QString OXOmbrixAPI::filterSearchWord(const QString& word) {
  static const std::pair<const char16_t*, const char16_t*> kReplacements[] = {
      {u" ", u""},  {u".", u""},  {u"'", u""},  {u",", u""},  {u";", u""},  {u":", u""},  {u"-", u""},
      {u"_", u""},  {u"(", u""},  {u")", u""},  {u"[", u""},  {u"]", u""},  {u"á", u"a"}, {u"é", u"e"},
      {u"í", u"i"}, {u"ó", u"o"}, {u"ú", u"u"}, {u"à", u"a"}, {u"è", u"e"}, {u"ì", u"i"}, {u"ò", u"o"},
      {u"ù", u"u"}, {u"ä", u"a"}, {u"ë", u"e"}, {u"ï", u"i"}, {u"ö", u"o"}, {u"ü", u"u"}, {u"ç", u"c"},
  };
  QString s = word;
  for (const auto& [find, replacement] : kReplacements)
    s.replace(QString::fromUtf16(find), QString::fromUtf16(replacement), Qt::CaseInsensitive);
  return s.toLower();
}

QVariantMap OXOmbrixAPI::removeNullDictionary(const QVariantMap& dictionary) {
  QVariantMap clean;
  for (auto it = dictionary.begin(); it != dictionary.end(); ++it)
    if (!isNullValue(it.value())) clean.insert(it.key(), it.value());
  return clean;
}

QVariant OXOmbrixAPI::removeNulls(const QVariant& object) {
  if (isMap(object)) return removeNullDictionary(object.toMap());
  if (isList(object)) {
    QVariantList list = object.toList();
    for (QVariant& element : list)
      if (isMap(element)) element = removeNullDictionary(element.toMap());
    return list;
  }
  return object;
}

QVariantList OXOmbrixAPI::rankMovies(const QVariantList& hits, const QString& query) {
  QVariantList ranked = hits;
  stableRank(ranked, [&query](const QVariant& va, const QVariant& vb) {
    const QVariantMap a = va.toMap(), b = vb.toMap();
    if (int r = byTitle(a, b, query)) return r;
    if (int r = byReleaseDate(a, b)) return r;
    return byPopularity(a, b);
  });
  return ranked;
}

QVariantList OXOmbrixAPI::rankShows(const QVariantList& hits, const QString& query) {
  QVariantList ranked = hits;
  stableRank(ranked, [&query](const QVariant& va, const QVariant& vb) {
    const QVariantMap a = va.toMap(), b = vb.toMap();
    if (int r = byTitle(a, b, query)) return r;
    if (int r = preferMatch(akaMatches(a, query, false), akaMatches(b, query, false))) return r;
    if (int r = preferMatch(akaMatches(a, query, true), akaMatches(b, query, true))) return r;
    if (int r = byReleaseDate(a, b)) return r;
    return byPopularity(a, b);
  });
  return ranked;
}
