// The stand-ins that later clients rely on: what they answer and how they fail.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QUrlQuery>

#include "platform/foundation/HttpClient.h"
#include "platform/foundation/KeyedArchiver.h"
#include "scanner/XMLReader.h"
#include "tests/support/StandIn.h"

namespace {

class StandInServices : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(standIn().isRunning());
    standIn().clear();
  }
  static oxtest::StandIn& standIn() { return oxtest::StandIn::shared(); }
  static QUrl url(const QString& service, const QString& path) { return QUrl(standIn().baseUrl(service) + path); }
  static QVariant json(const ox::HttpResponse& r) { return QJsonDocument::fromJson(r.body).toVariant(); }
};

}  // namespace

TEST_F(StandInServices, CloudAccountWithBasicChallenge) {
  ox::HttpRequest signUp;
  signUp.method = "POST";
  signUp.url = url("api", "/v1/users");
  signUp.form = {{"email", "new@ombrix.test"}, {"nickname", "new@ombrix.test"}, {"password", "pw"}};
  const ox::HttpResponse created = ox::httpPerform(signUp);
  EXPECT_EQ(created.status, 201);
  EXPECT_TRUE(json(created).toMap().contains("id"));
  EXPECT_EQ(ox::httpPerform(signUp).status, 409);

  ox::HttpRequest login;
  login.method = "POST";
  login.url = url("api", "/v1/users/me/sessions");
  login.form = {{"user", "new@ombrix.test"}, {"password", "pw"}};
  const QVariantMap session = json(ox::httpPerform(login)).toMap();
  ASSERT_TRUE(session.contains("token"));
  EXPECT_TRUE(session.value("expireAt").toString().endsWith("+01:00"));
  login.form = {{"user", "new@ombrix.test"}, {"password", "wrong"}};
  EXPECT_EQ(ox::httpPerform(login).status, 401);

  ox::HttpRequest movie;
  movie.url = url("api", "/v1/movies/tt9000001");
  const ox::HttpResponse challenged = ox::httpPerform(movie);
  EXPECT_EQ(challenged.status, 401);
  EXPECT_TRUE(challenged.header("WWW-Authenticate").startsWith("Basic"));
  movie.auth = ox::HttpRequest::Auth::BasicOnChallenge;
  movie.user = "new@ombrix.test";
  movie.password = session.value("token").toString();
  const ox::HttpResponse answered = ox::httpPerform(movie);
  EXPECT_EQ(answered.status, 200);
  EXPECT_EQ(json(answered).toMap().value("title"), "The Glass Harbour");
  const QVariantList recorded = standIn().requests("api");
  EXPECT_EQ(recorded.last().toMap().value("headers").toMap().value("authorization").toString().left(6), "Basic ");

  ox::HttpRequest developer;
  developer.url = url("api", "/v1/movies?imdb_set=tt9000001,tt9000002");
  developer.auth = ox::HttpRequest::Auth::BasicPreemptive;
  developer.user = "developer@ombrix.test";
  developer.password = "velutina.3846";
  EXPECT_EQ(json(ox::httpPerform(developer)).toList().size(), 2);
}

TEST_F(StandInServices, OpenSubtitlesOverXmlRpc) {
  const auto call = [](const QByteArray& method, const QByteArray& params) {
    ox::HttpRequest r;
    r.method = "POST";
    r.url = url("opensubtitles", "/xml-rpc");
    r.contentType = "text/xml";
    r.body = "<?xml version=\"1.0\"?><methodCall><methodName>" + method + "</methodName><params>" + params +
             "</params></methodCall>";
    return XMLReader::dictionaryForXMLData(ox::httpPerform(r).body);
  };
  const QByteArray logIn = "<param><value><string></string></value></param><param><value><string></string></value>"
                           "</param><param><value><string>spa</string></value></param>"
                           "<param><value><string>Movrel 2.4</string></value></param>";
  const QVariant answer = call("LogIn", logIn);
  const QVariantList members = retrieveForPath(answer, "methodResponse.params.param.value.struct.member").toList();
  QString token;
  for (const QVariant& m : members)
    if (m.toMap().value("name") == "token") token = retrieveForPath(m, "value.string").toString();
  ASSERT_FALSE(token.isEmpty());
  const QVariantList seen = standIn().requests("opensubtitles");
  EXPECT_EQ(retrieveForPath(seen.last(), "rpc.method"), "LogIn");
  EXPECT_EQ(retrieveForPath(seen.last(), "rpc.params").toList().value(3), "Movrel 2.4");

  const ox::HttpResponse zip = ox::httpGet(url("opensubtitles", "/download/subtitle/700001.zip"));
  EXPECT_EQ(zip.status, 200);
  EXPECT_TRUE(zip.body.startsWith("PK\x03\x04"));
}

TEST_F(StandInServices, ContentBucket) {
  const ox::HttpResponse list = ox::httpGet(url("bucket", "/homeBackdropsMovies.txt"));
  const QList<QByteArray> urls = list.body.split(',');
  ASSERT_EQ(urls.size(), 10);
  EXPECT_TRUE(urls.first().contains("/original/"));
  const ox::HttpResponse image = ox::httpGet(QUrl(QString::fromUtf8(urls.first()).replace("/original/", "/w1920/")));
  EXPECT_EQ(image.status, 200);
  EXPECT_TRUE(urls.first().endsWith(".jpg"));  // the home slideshow reads JPEG files
  EXPECT_TRUE(image.body.startsWith("\xff\xd8\xff"));
  EXPECT_TRUE(ox::httpGet(url("bucket", "/images/w500/poster_tt9000001.png")).body.startsWith("\x89PNG"));
  EXPECT_EQ(ox::httpGet(url("bucket", "/previews/tt9000001.wav")).body.left(4), "RIFF");
  const ox::HttpResponse trailers = ox::httpGet(url("bucket", "/trailers_en.ox"));
  const QVariantList hits = ox::unarchiveRootObject(trailers.body, "listS3").toList();
  ASSERT_EQ(hits.size(), 10);
  EXPECT_EQ(hits.first().toMap().value("id"), "tt9000001");
  EXPECT_EQ(retrieveForPath(hits.first(), "fields.title"), "The Glass Harbour");
  EXPECT_EQ(retrieveForPath(hits.first(), "fields.trailers").toList().size(), 1);
  EXPECT_EQ(ox::httpGet(url("bucket", "/missing.txt")).status, 404);
  EXPECT_EQ(ox::httpGet(url("scrape", "/api/673xrasg?apikey=a07c5e19d2b84f63e1905c2d7b6a48f1")).status, 200);
}

TEST_F(StandInServices, FaultsAreCountedAndCleared) {
  ASSERT_TRUE(standIn().fault("bucket", "500", 2, "/homeBackdrops"));
  EXPECT_EQ(ox::httpGet(url("bucket", "/homeBackdropsShows.txt")).status, 500);
  EXPECT_EQ(ox::httpGet(url("bucket", "/previews/tt9000001.wav")).status, 200);  // another path
  EXPECT_EQ(ox::httpGet(url("bucket", "/homeBackdropsShows.txt")).status, 500);
  EXPECT_EQ(ox::httpGet(url("bucket", "/homeBackdropsShows.txt")).status, 200);
  ASSERT_TRUE(standIn().fault("*", "garbage"));
  EXPECT_FALSE(ox::httpGet(url("tvdb", "/api//Updates.php?type=none")).body.startsWith("<?xml"));
  EXPECT_TRUE(standIn().clear());
  EXPECT_TRUE(standIn().requests().isEmpty());
  EXPECT_TRUE(ox::httpGet(url("tvdb", "/api//Updates.php?type=none")).body.startsWith("<?xml"));
}
