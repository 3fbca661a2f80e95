#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QUrlQuery>

#include "scanner/OXOmbrixAPIRequest.h"
#include "scanner/XMLReader.h"
#include "tests/support/StandIn.h"

namespace {

class SearchRequest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(standIn().isRunning());
    standIn().clear();
  }
  static oxtest::StandIn& standIn() { return oxtest::StandIn::shared(); }
  // The raw request target of the last search the stand-in saw.
  static QString lastSearchPath() {
    const QVariantList seen = standIn().requests("search");
    return seen.isEmpty() ? QString() : seen.last().toMap().value("path").toString();
  }
  static QStringList hitIds(const QVariant& answer) {
    QStringList ids;
    for (const QVariant& hit : retrieveForPath(answer, "hits.hit").toList()) ids << hit.toMap().value("id").toString();
    return ids;
  }
  OXOmbrixAPIRequest request;
};

}  // namespace

TEST_F(SearchRequest, FullTextRequestOnTheWire) {
  const QVariant answer = request.requestShowsFullText("The Lord of the Rings", 40);
  ASSERT_EQ(answer.typeId(), QMetaType::QVariantMap);
  EXPECT_EQ(lastSearchPath(),
            "/2013-01-01/search?q=The+Lord+of+the+Rings&return=_all_fields,_score&sort=extpopularity+desc&size=20"
            "&fq=type:'s'&start=40");
  EXPECT_EQ(retrieveForPath(answer, "hits.found"), 0);

  // Hits come with their fields as text and the score inside "fields", best-known first.
  const QVariant harbour = request.requestMoviesFullText("Harbour Lights");
  EXPECT_TRUE(lastSearchPath().endsWith("fq=type:'m'&start=0"));
  EXPECT_EQ(hitIds(harbour), QStringList({"tt9000009", "tt9000010"}));
  const QVariantMap fields = retrieveForPath(harbour, "hits.hit.0.fields").toMap();
  EXPECT_EQ(fields.value("year"), "1971");
  EXPECT_TRUE(fields.contains("_score"));
  EXPECT_EQ(fields.value("genre").toList().size(), 1);

  request.requestMoviesFullText("Two  Spaces", 0);
  EXPECT_TRUE(lastSearchPath().startsWith("/2013-01-01/search?q=Two++Spaces&return="));
}

TEST_F(SearchRequest, AccentsFoldIntoPrecomposedLetters) {
  EXPECT_EQ(OXOmbrixAPIRequest::cleanQuery(QString::fromUtf8("Cafe\u0301")), "Caf%C3%A9");
  EXPECT_EQ(OXOmbrixAPIRequest::cleanQuery(QString::fromUtf8("CAFE\u0301")), "CAF%C3%A9");
  EXPECT_EQ(OXOmbrixAPIRequest::cleanQuery(QString::fromUtf8("Caf\u00e9")), "Caf%C3%A9");
  EXPECT_EQ(OXOmbrixAPIRequest::cleanQuery(QString::fromUtf8("Sen\u0303or Sen\u0301or")), "Sen%CC%83or+Se%C3%B1or");
  EXPECT_EQ(OXOmbrixAPIRequest::cleanQuery(QString::fromUtf8("U\u0308ber a\u0300 i\u0308")), "%C3%BCber+%C3%A0+%C3%AF");
  EXPECT_EQ(OXOmbrixAPIRequest::cleanQuery(QString::fromUtf8("c\u0327a")), "c%CC%A7a");  // a cedilla stays decomposed
  EXPECT_EQ(OXOmbrixAPIRequest::cleanQuery("Mission: Impossible (1996) 'x'"), "Mission:+Impossible+(1996)+'x'");

  // On the wire the stand-in decodes the composed title and finds it.
  const QVariant answer = request.requestMoviesFullText(QString::fromUtf8("Cafe\u0301 Noe\u0308l"), 0);
  EXPECT_TRUE(lastSearchPath().startsWith("/2013-01-01/search?q=Caf%C3%A9+No%C3%ABl&return="));
  EXPECT_EQ(hitIds(answer), QStringList({"tt9000004"}));
}

TEST_F(SearchRequest, QueryTextCannotInjectParameters) {
  EXPECT_EQ(OXOmbrixAPIRequest::cleanQuery("Salt & Pepper"), "Salt+%26+Pepper");
  EXPECT_EQ(OXOmbrixAPIRequest::cleanQuery("Two + Two"), "Two+%2B+Two");
  EXPECT_EQ(OXOmbrixAPIRequest::cleanQuery("Room #9 a=b 100% ;x"), "Room+%239+a%3Db+100%25+%3Bx");

  EXPECT_EQ(hitIds(request.requestMoviesFullText("Salt & Pepper", 0)), QStringList({"tt9000003"}));
  EXPECT_TRUE(lastSearchPath().endsWith("&fq=type:'m'&start=0"));
  EXPECT_EQ(hitIds(request.requestMoviesFullText("Two + Two", 0)), QStringList({"tt9000005"}));
  EXPECT_EQ(hitIds(request.requestMoviesFullText("Room #9", 0)), QStringList({"tt9000006"}));
  // A query that tries to smuggle its own filter and offset stays one value.
  request.requestMoviesFullText("x&fq=type:'s'&start=99", 0);
  const QUrlQuery sent{QUrl(lastSearchPath())};
  EXPECT_EQ(sent.queryItemValue("fq"), "type:'m'");
  EXPECT_EQ(sent.queryItemValue("start"), "0");
}

TEST_F(SearchRequest, DocumentAndEpisodeCodeForms) {
  const QVariant movie = request.requestMoviesID("tt9000001");
  EXPECT_EQ(lastSearchPath(), "/2013-01-01/search?q=_id:'tt9000001'&q.parser=structured");
  EXPECT_EQ(retrieveForPath(movie, "hits.hit.0.fields.title"), "The Glass Harbour");

  const QVariant show = request.requestEpisodeID("s_812");
  EXPECT_EQ(lastSearchPath(), "/2013-01-01/search?q=_id:'s_812'&q.parser=structured");
  EXPECT_EQ(hitIds(show), QStringList({"s_812"}));

  const QVariant episode = request.requestEpisodeShowID(812, 1, 3);
  EXPECT_EQ(lastSearchPath(), "/2013-01-01/search?q=812_1_3&return=_all_fields&fq=type:'e'");
  EXPECT_EQ(hitIds(episode), QStringList({"e_4242"}));
  EXPECT_EQ(retrieveForPath(episode, "hits.hit.0.fields.title"), "Tom & Jerry");

  // An id with quote or ampersand stays inside its own value.
  request.requestMoviesID("tt1'&q.parser=simple");
  EXPECT_EQ(lastSearchPath(), "/2013-01-01/search?q=_id:'tt1'%26q.parser%3Dsimple'&q.parser=structured");
}

TEST_F(SearchRequest, HashLookUpSendsNothing) {
  EXPECT_FALSE(request.requestMoviesHash("a.b.c").isValid());
  EXPECT_FALSE(request.requestEpisodeHash("a.b.c").isValid());
  EXPECT_FALSE(request.requestFullText("x", 9).isValid());
  EXPECT_TRUE(standIn().requests("search").isEmpty());
}

TEST_F(SearchRequest, AnswersOfTheWrongKindGiveNone) {
  const struct {
    int status;
    const char* body;
    bool accepted;
  } cases[] = {{200, "[]", false},        {200, "null", false},        {200, "\"text\"", false},
               {200, "{\"hits\":", false}, {500, "{\"error\":{}}", true}, {200, "{\"hits\":[1,2]}", true}};
  for (const auto& c : cases) {
    standIn().clear();
    ASSERT_TRUE(standIn().answer("search", c.status, c.body, 1));
    EXPECT_EQ(request.requestMoviesFullText("x", 0).isValid(), c.accepted) << c.body;
  }
  // A closed connection is retried once by the transport when it was a kept-alive one, so it stays closed here.
  for (const char* kind : {"500", "garbage", "close"}) {
    standIn().clear();
    ASSERT_TRUE(standIn().fault("search", kind, QByteArray(kind) == "close" ? -1 : 1));
    EXPECT_FALSE(request.requestMoviesID("tt9000001").isValid()) << kind;
  }
}

TEST_F(SearchRequest, StalledSearchEndsAtItsTimeout) {
  request.searchTimeoutMs = 1200;
  ASSERT_TRUE(standIn().fault("search", "stall", 1));
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(request.requestShowsFullText("Lantern Street", 0).isValid());
  EXPECT_GE(clock.elapsed(), 1000);
  EXPECT_LT(clock.elapsed(), 5000);
  standIn().clear();
  // A closed port fails at once.
  qputenv("OMBRIX_SEARCH_URL", "http://127.0.0.1:9");
  EXPECT_FALSE(request.requestShowsFullText("Lantern Street", 0).isValid());
  qputenv("OMBRIX_SEARCH_URL", standIn().baseUrl("search").toUtf8());
}

TEST_F(SearchRequest, QueueMessagesAreEscapedAndSentInTheBackground) {
  OXOmbrixAPIRequest::sendMessage("MovieHashes", "C.M.S.O.Z.mkv.tt0000001");
  OXOmbrixAPIRequest::sendMessage("EpisodeHashes", "C.M.S.O.Z.m&v=1+2 #.4242");
  EXPECT_TRUE(OXOmbrixAPIRequest::waitForMessages(10000));
  QVariantList seen = standIn().waitForRequests("queue", 2);
  ASSERT_EQ(seen.size(), 2);
  std::sort(seen.begin(), seen.end(), [](const QVariant& a, const QVariant& b) {
    return a.toMap().value("queue").toString() > b.toMap().value("queue").toString();
  });
  const QVariantMap movie = seen[0].toMap(), episode = seen[1].toMap();
  EXPECT_EQ(movie.value("path"),
            "/482913650217/MovieHashes/?Action=SendMessage&MessageBody=C.M.S.O.Z.mkv.tt0000001&Version=2009-02-01");
  EXPECT_EQ(episode.value("queue"), "EpisodeHashes");
  EXPECT_EQ(episode.value("message"), "C.M.S.O.Z.m&v=1+2 #.4242");
  EXPECT_TRUE(episode.value("path").toString().endsWith("&Version=2009-02-01"));
}
