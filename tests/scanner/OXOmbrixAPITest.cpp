#include "scanner/OXOmbrixAPI.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <atomic>

#include "platform/foundation/MainQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "scanner/Keychain.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestUtil.h"

using oxtest::LoopbackServer;

namespace {

LoopbackServer::Reply json(const QVariant& value, int status = 200) {
  return {status, QJsonDocument::fromVariant(value).toJson(QJsonDocument::Compact), "application/json", {}};
}

QString formValue(const QList<QPair<QString, QString>>& form, const QString& key) {
  for (const auto& [k, v] : form)
    if (k == key) return v;
  return QString();
}

QByteArray basic(const QString& user, const QString& password) {
  return "Basic " + (user + u':' + password).toUtf8().toBase64();
}

// A cloud API on loopback: logins with password "pw" answer a fresh token, everything else is set per test.
class CloudAPI : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.isListening());
    for (const char* name : kServices) saved.append(qgetenv(name));
    // Test cases may run side by side in separate processes: each keeps its own defaults and keychain item.
    const QString name = QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
    ox::UserDefaults::setApplicationName(QStringLiteral("OmbrixTest-") + name);
    mail = name.toLower() + QStringLiteral("@example.org");
    qputenv("OMBRIX_API_URL", server.url(QStringLiteral("/")).toString().toUtf8());
    qputenv("OMBRIX_API_STAGING_URL", server.url(QStringLiteral("/staging")).toString().toUtf8());
    qputenv("OMBRIX_MOVIE_SEARCH_URL", server.url(QStringLiteral("/search")).toString().toUtf8());
    qputenv("OMBRIX_SCRAPE_URL", server.url(QStringLiteral("/")).toString().toUtf8());
    api.logOut();
    ox::deleteKeychainPassword(QStringLiteral("OmbrixMac"), mail);
    server.setHandler(QStringLiteral("/v1/users/me/sessions"), [this](const LoopbackServer::Request& r) {
      if (formValue(r.form(), QStringLiteral("password")) != QLatin1String("pw"))
        return json(QVariantMap{{"error", "bad credentials"}}, 401);
      return json(QVariantMap{{"id", 7}, {"token", QStringLiteral("tok%1").arg(++sessions)}, {"expireAt", expireAt}});
    });
  }
  void TearDown() override {
    api.logOut();
    for (int i = 0; i < saved.size(); ++i) qputenv(kServices[i], saved[i]);
  }

  int requestsTo(const QByteArray& path) const {
    int n = 0;
    for (const auto& r : server.requests()) n += r.path == path;
    return n;
  }

  static constexpr const char* kServices[] = {"OMBRIX_API_URL", "OMBRIX_API_STAGING_URL", "OMBRIX_MOVIE_SEARCH_URL",
                                              "OMBRIX_SCRAPE_URL"};
  QList<QByteArray> saved;
  QString mail;
  LoopbackServer server;
  OXOmbrixAPI api;
  std::atomic<int> sessions{0};
  QString expireAt = QDateTime::currentDateTimeUtc().addDays(1).toString(Qt::ISODate);
};

}  // namespace

TEST(OXOmbrixAPIText, FiltersSearchWordsIntoTags) {
  EXPECT_EQ(OXOmbrixAPI::filterWordAkaTitle(QStringLiteral("The Lord of the Rings")), QStringLiteral("lord,rings"));
  EXPECT_EQ(OXOmbrixAPI::filterWordAkaTitle(QStringLiteral("Amélie-Poulain")), QStringLiteral("ameliepoulain"));
  EXPECT_EQ(OXOmbrixAPI::filterWordAkaTitle(QStringLiteral("Up")), QString());
  EXPECT_EQ(OXOmbrixAPI::filterWordAkaTitle(QStringLiteral("Rings  rings RINGS a-b-c")), QStringLiteral("rings"));
  EXPECT_EQ(OXOmbrixAPI::filterSearchWord(QStringLiteral("Ça")), QStringLiteral("ca"));
  EXPECT_EQ(OXOmbrixAPI::filterSearchWord(QStringLiteral("L'Été")), QStringLiteral("lete"));
  EXPECT_EQ(OXOmbrixAPI::filterSearchWord(QStringLiteral("[Ñandú]:ÂÖ")), QStringLiteral("ñanduâo"));
  // A decomposed accent is not folded.
  EXPECT_EQ(OXOmbrixAPI::filterSearchWord(QStringLiteral("e\u0301")), QStringLiteral("e\u0301"));
}

TEST(OXOmbrixAPIText, RemovesTopLevelNulls) {
  const QVariant answer =
      QJsonDocument::fromJson(R"([{"a":null,"b":{"c":null}},{"a":null,"b":{"c":null}},null,3])").toVariant();
  const QVariantList clean = OXOmbrixAPI::removeNulls(answer).toList();
  ASSERT_EQ(clean.size(), 4);
  for (int i : {0, 1}) {
    EXPECT_FALSE(clean[i].toMap().contains("a"));
    EXPECT_TRUE(clean[i].toMap()["b"].toMap().contains("c"));  // nested dictionaries keep theirs
  }
  EXPECT_EQ(clean[2].typeId(), QMetaType::Nullptr);
  EXPECT_EQ(OXOmbrixAPI::removeNulls(QStringLiteral("x")), QVariant(QStringLiteral("x")));
}

TEST(OXOmbrixAPIText, ReadsExpiryAsISO8601) {
  const QDateTime want(QDate(2015, 3, 1), QTime(11, 30), Qt::UTC);
  EXPECT_EQ(OXOmbrixAPI::dateFromExpireAt(QStringLiteral("2015-03-01T12:30:00+01:00")), want);
  EXPECT_EQ(OXOmbrixAPI::dateFromExpireAt(QStringLiteral("2015-03-01T11:30:00Z")), want);
  EXPECT_EQ(OXOmbrixAPI::dateFromExpireAt(QStringLiteral("2015-03-01T11:30:00.250Z")), want.addMSecs(250));
  EXPECT_EQ(OXOmbrixAPI::dateFromExpireAt(QStringLiteral("2015-03-01T06:30:00-05:00")), want);
  EXPECT_EQ(OXOmbrixAPI::dateFromExpireAt(QStringLiteral("2015-03-01T12:30:00+0100")), want);
  for (const QVariant& bad : {QVariant(QStringLiteral("2015-03-01T11:30:00")), QVariant(QStringLiteral("Z")),
                              QVariant(QStringLiteral("")), QVariant(QStringLiteral("soon+01:00")), QVariant(),
                              QVariant::fromValue(nullptr), QVariant(1425209400)})
    EXPECT_FALSE(OXOmbrixAPI::dateFromExpireAt(bad).isValid()) << bad.toString().toStdString();
}

TEST(OXOmbrixAPIText, RanksHits) {
  auto hit = [](const char* id, QVariant title, QVariant date, QVariant popularity, QVariantMap aka = {}) {
    return QVariantMap{{"id", id}, {"title", title}, {"releaseDate", date}, {"extpopularity", popularity},
                       {"akaTitles", aka}};
  };
  auto ids = [](const QVariantList& list) {
    QStringList out;
    for (const auto& h : list) out << h.toMap()["id"].toString();
    return out.join(u' ');
  };
  const QVariant null = QVariant::fromValue(nullptr);
  // More than three years apart: the newer first whatever the popularity; otherwise popularity decides.
  EXPECT_EQ(ids(OXOmbrixAPI::rankMovies({hit("old", "x", "2001-01-01T00:00:00", 90), hit("new", "y", "2004-01-02", 1)},
                                        "q")),
            "new old");
  EXPECT_EQ(ids(OXOmbrixAPI::rankMovies({hit("old", "x", "2001-01-01", 90), hit("new", "y", "2003-12-31", 1)}, "q")),
            "old new");
  // The exact title beats everything; null dates and popularities fall through.
  EXPECT_EQ(ids(OXOmbrixAPI::rankMovies({hit("a", "Other", "2020-01-01", 99), hit("b", "Heat", null, null),
                                         hit("c", "Z", null, "5"), hit("d", "W", null, 5)},
                                        "heat")),
            "b a c d");
  // Shows: exact, then partial alternative titles before dates.
  EXPECT_EQ(ids(OXOmbrixAPI::rankShows({hit("p", "x", "2020-01-01", 9, {{"de", "Der Pfad Weit"}}),
                                        hit("e", "y", "1990-01-01", 1, {{"fr", "Pfad"}}),
                                        hit("n", "z", "2021-01-01", 50)},
                                       "pfad")),
            "e p n");
}

TEST_F(CloudAPI, CheckTokenRenewsOnlyWhenNeeded) {
  std::atomic<int> finished{0};
  const auto observer = ox::NotificationCenter::defaultCenter().addObserver(
      QStringLiteral("finishSession"), nullptr, [&](const ox::Notification&) { ++finished; });
  EXPECT_FALSE(api.checkToken());  // signed out
  EXPECT_EQ(finished, 1);
  api.setEmail(mail);  // an e-mail without a keychain item
  EXPECT_FALSE(api.checkToken());
  EXPECT_EQ(finished, 2);
  EXPECT_EQ(server.requestCount(), 0);

  ASSERT_TRUE(api.loginWithEmail(mail, QStringLiteral("pw")));
  EXPECT_TRUE(api.checkToken());
  EXPECT_EQ(sessions, 1);  // still valid: nothing sent
  api.setExpireToken(QDateTime::currentDateTimeUtc().addSecs(-1));
  EXPECT_TRUE(api.checkToken());
  EXPECT_EQ(sessions, 2);
  EXPECT_EQ(api.token(), QStringLiteral("tok2"));
  EXPECT_GT(api.expireToken(), QDateTime::currentDateTimeUtc());

  // An expiry that does not parse is not stored, so the next check renews again.
  expireAt = QStringLiteral("2015-03-01T12:30:00");
  api.setExpireToken({});
  EXPECT_TRUE(api.checkToken());
  EXPECT_FALSE(api.expireToken().isValid());
  EXPECT_TRUE(api.checkToken());
  EXPECT_EQ(sessions, 4);
  ox::NotificationCenter::defaultCenter().removeObserver(observer);
  EXPECT_EQ(finished, 2);
}

TEST_F(CloudAPI, AuthenticatedCallsReportErrorsAndNeverGoOutWithoutAToken) {
  ASSERT_TRUE(api.loginWithEmail(mail, QStringLiteral("pw")));
  server.setReply(QStringLiteral("/v1/denied"), json(QVariantMap{{"error", "not yours"}}));
  server.setReply(QStringLiteral("/v1/broken"), json(QVariantList{1, 2}, 500));
  OXOmbrixAPIErrorOut error;
  EXPECT_FALSE(api.sendAuthGetWithPath(QStringLiteral("/denied"), &error).isValid());
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->domain, QStringLiteral("not yours"));
  EXPECT_EQ(error->code, 200);
  EXPECT_EQ(error->userInfo.value("error"), QStringLiteral("not yours"));
  // The status is not examined by the synchronous frame.
  EXPECT_EQ(api.sendAuthGetWithPath(QStringLiteral("/broken")).toList().size(), 2);

  // The renewal fails: the check still answers YES, but nothing goes out unauthenticated.
  api.setExpireToken({});
  ox::setKeychainPassword(QStringLiteral("changed"), QStringLiteral("OmbrixMac"), mail);
  server.clearRequests();
  error.reset();
  EXPECT_FALSE(api.sendAuthGetWithPath(QStringLiteral("/broken"), &error).isValid());
  EXPECT_FALSE(error.has_value());
  EXPECT_EQ(requestsTo("/v1/broken"), 0);
  EXPECT_TRUE(api.token().isNull());
  EXPECT_EQ(api.email(), mail);
  EXPECT_TRUE(api.checkToken());
  EXPECT_FALSE(api.manualMatchWithParameters({{"os_hash", "1"}}, "tt1", 0, false));
  EXPECT_EQ(requestsTo("/v1/hashes/manual-match"), 0);

  int calls = 0;
  OXOmbrixAPIErrorOut asyncError;
  api.sendAuthAsyncRequestType("GET", {}, "/broken", [&](const QVariant&, const OXOmbrixAPIErrorOut& e) {
    ++calls;
    asyncError = e;
  });
  EXPECT_EQ(calls, 1);  // at once, on this thread
  EXPECT_EQ(asyncError->domain, QStringLiteral("can't refresh token"));
  EXPECT_EQ(asyncError->code, 422);

  // A server that cannot be reached is a transport error.
  qputenv("OMBRIX_API_URL", "http://127.0.0.1:1");
  error.reset();
  EXPECT_FALSE(api.sendRequestType("POST", {}, "/users", &error).isValid());
  EXPECT_TRUE(error.has_value());
}

TEST_F(CloudAPI, AsyncCallsAnswerOnceOnTheMainThreadAfterAChallenge) {
  ASSERT_TRUE(api.loginWithEmail(mail, QStringLiteral("pw")));
  auto challenged = [](LoopbackServer::Reply ok) {
    return [ok](const LoopbackServer::Request& r) {
      if (r.header("Authorization").isEmpty())
        return LoopbackServer::Reply{401, "{}", "application/json", {{"WWW-Authenticate", "Basic realm=\"cloud\""}}};
      return ok;
    };
  };
  server.setHandler("/v1/movies", challenged(json(QVariantList{QVariantMap{{"id", "m1"}}})));
  server.setHandler("/v1/tvshows", challenged(json(QVariantList{}, 500)));
  server.setHandler("/v1/users/reset-password", challenged({200, "[1]", "text/html", {}}));

  struct Outcome {
    int calls = 0;
    bool onMain = false;
    QVariant answer;
    OXOmbrixAPIErrorOut error;
  };
  auto record = [](Outcome& o) {
    return [&o](const QVariant& a, const OXOmbrixAPIErrorOut& e) {
      ++o.calls;
      o.onMain = ox::isMainThread();
      o.answer = a;
      o.error = e;
    };
  };
  Outcome movies, shows, reset, removed;
  api.findMovies(QStringLiteral("The Lord & Rings"), 0, 0, record(movies));
  api.findShows(QStringLiteral("Mad Men"), 10, 20, record(shows));
  api.resetUserPassword(mail, record(reset));
  api.sendAuthAsyncRequestType("DELETE", {}, "/movies/1", record(removed));
  EXPECT_EQ(movies.calls + shows.calls + reset.calls + removed.calls, 0);
  ASSERT_TRUE(oxtest::spinUntil([&] { return movies.calls && shows.calls && reset.calls && removed.calls; }));
  oxtest::spinFor(100);
  for (const Outcome* o : {&movies, &shows, &reset, &removed}) {
    EXPECT_EQ(o->calls, 1);
    EXPECT_TRUE(o->onMain);
  }
  EXPECT_EQ(movies.answer.toList().value(0).toMap().value("id"), QStringLiteral("m1"));
  EXPECT_FALSE(movies.error.has_value());
  EXPECT_EQ(shows.error->code, 500);  // the asynchronous frame wants a 2xx status
  EXPECT_TRUE(reset.error.has_value());  // and a JSON content type
  EXPECT_TRUE(removed.error.has_value());
  EXPECT_EQ(requestsTo("/v1/movies/1"), 0);

  QMap<QByteArray, LoopbackServer::Request> last;
  for (const auto& r : server.requests()) {
    if (r.path != "/v1/users/me/sessions") {
      EXPECT_TRUE(r.header("Authorization").isEmpty() || r.header("Authorization") == basic(mail, "tok1"));
      last[r.path] = r;
    }
  }
  EXPECT_EQ(last["/v1/movies"].target, "/v1/movies?tags=lord,rings");
  EXPECT_EQ(last["/v1/tvshows"].target, "/v1/tvshows?query=mad+men&limit=10&skip=20");
  // (The loopback server takes multipart bodies apart without recording them; only its content type is checked here.)
  EXPECT_TRUE(last["/v1/users/reset-password"].header("Content-Type").startsWith("multipart/form-data; boundary="));
}

TEST_F(CloudAPI, LookUpsEscapeValuesAndSkipWhatCannotBeSent) {
  ASSERT_TRUE(api.loginWithEmail(mail, QStringLiteral("pw")));
  // An id is one path segment, whatever it holds; top-level nulls are dropped.
  server.setReply("/v1/movies/tt 1&x", json(QVariantMap{{"id", 1}, {"gone", QVariant::fromValue(nullptr)}}));
  EXPECT_EQ(api.getMovieForID(QStringLiteral("tt 1&x")), QVariant(QVariantMap{{"id", 1}}));
  EXPECT_EQ(server.requests().constLast().target, "/v1/movies/tt%201%26x");

  server.clearRequests();
  EXPECT_FALSE(api.recognizerFiles({}).isValid());
  EXPECT_EQ(server.requestCount(), 0);

  server.setReply("/v1/hashes/search", json(QVariantMap{{"hit", 1}, {"none", QVariant::fromValue(nullptr)}}));
  const QVariantMap found = api.recognizerFiles({QVariantMap{{"os_hash", "a&b=c"}, {"moviePath", "/x"}},
                                                 QVariantMap{{"file_byte_size", 12}}})
                                .toMap();
  EXPECT_EQ(found, (QVariantMap{{"hit", 1}}));
  const auto search = server.requests().constLast();
  EXPECT_EQ(search.query, (QList<QPair<QString, QString>>{{"movies[][os_hash]", "a&b=c"},
                                                          {"movies[][file_byte_size]", "12"}}));
  EXPECT_EQ(search.header("Authorization"), basic(mail, "tok1"));

  server.setReply("/v1/hashes/manual-match", json(QVariantMap{{"ok", true}}));
  EXPECT_TRUE(api.manualMatchWithParameters({{"os_hash", "h"}, {"type", 1}, {"fulltext", "t"}}, QString(), 81189,
                                            true));
  EXPECT_EQ(server.requests().constLast().form(),
            (QList<QPair<QString, QString>>{{"imdb", ""}, {"os_hash", "h"}, {"overwrite", "1"}, {"tvdb", "81189"}}));

  // The popular list keeps only IMDb title links.
  server.setReply("/api/673xrasg",
                  json(QVariantMap{{"results", QVariantMap{{"collection1", QVariantList{
      QVariantMap{{"movies", QVariantMap{{"href", "http://www.imdb.com/title/tt0111161/?ref_=x"}}}},
      QVariantMap{{"movies", QVariantMap{{"href", "http://elsewhere.example/tt666/"}}}},
      QVariantMap{{"movies", QVariantMap{{"href", "http://www.imdb.com/title/tt0068646"}}}}}}}}}));
  server.setReply("/v1/movies", json(QVariantList{QVariantMap{{"id", "m"}, {"x", QVariant::fromValue(nullptr)}}}));
  EXPECT_EQ(api.getHomeMovieContents(), QVariant(QVariantList{QVariantMap{{"id", "m"}}}));
  EXPECT_EQ(server.requests().constLast().query,
            (QList<QPair<QString, QString>>{{"imdb_set", "tt0111161,tt0068646"}}));

  // The bulk look-ups use the developer account and no session.
  api.logOut();
  EXPECT_EQ(api.getMoviesForIMDBids({"0111161", "0068646"}).toList().size(), 1);
  const auto bulk = server.requests().constLast();
  EXPECT_EQ(bulk.query, (QList<QPair<QString, QString>>{{"imdb_set", "tt0111161,tt0068646"}}));
  EXPECT_TRUE(bulk.header("Authorization").startsWith("Basic "));
  EXPECT_NE(bulk.header("Authorization"), basic(mail, "tok1"));

  // The movie search domain: no credentials, ranked hits.
  server.setReply("/search/2013-01-01/search",
                  json(QVariantMap{{"hits", QVariantMap{{"hit", QVariantList{
      QVariantMap{{"id", "1"}, {"title", "Heat 2"}, {"extpopularity", 50}},
      QVariantMap{{"id", "2"}, {"title", "Heat"}, {"extpopularity", 1}}}}}}}));
  const QVariantList hits = api.findMoviesByFullText(QStringLiteral("Heat")).toList();
  ASSERT_EQ(hits.size(), 2);
  EXPECT_EQ(hits[0].toMap().value("id"), QStringLiteral("2"));
  EXPECT_TRUE(server.requests().constLast().header("Authorization").isEmpty());
}
