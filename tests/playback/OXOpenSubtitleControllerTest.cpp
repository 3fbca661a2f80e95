// The subtitle search before playback, against the OpenSubtitles stand-in: what goes on the wire, what comes back.
#include "playback/OXOpenSubtitleController.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "core/OXEpisode.h"
#include "core/OXLibrary.h"
#include "core/OXMovie.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/StandIn.h"

namespace {

class OpenSubtitles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(standIn().isRunning());
    standIn().clear();
    saved_ = OXLibrary::shareLibrary()->subtitleLanguages();
    setLanguages({{"English", true}, {"Klingon", true}, {"French", true}, {"Spanish", false}, {"German", true}});
    ASSERT_TRUE(scratch_.isValid());
  }
  void TearDown() override { OXLibrary::shareLibrary()->setSubtitleLanguages(saved_); }

  static oxtest::StandIn& standIn() { return oxtest::StandIn::shared(); }
  static void setLanguages(const QList<QPair<QString, bool>>& languages) {
    QVariantList list;
    for (const auto& [name, on] : languages) list << QVariantMap{{"LanguageName", name}, {"enable", on}};
    OXLibrary::shareLibrary()->setSubtitleLanguages(list);
  }
  // The XML-RPC calls the stand-in saw, as {"method", "params"}.
  static QVariantList calls() {
    QVariantList out;
    for (const QVariant& r : standIn().requests("opensubtitles"))
      if (r.toMap().contains("rpc")) out << r.toMap().value("rpc");
    return out;
  }
  static QVariantMap searchOf(const QVariant& call) {
    return call.toMap().value("params").toList().value(1).toList().value(0).toMap();
  }
  // A video file large enough to hash, known to the stand-in by that hash with `identity`. Its bytes begin with
  // its name, so that no two files of a run share a hash.
  std::shared_ptr<OXFile> knownFile(const QString& name, qint32 type, const QVariantMap& identity) {
    const QString path = scratch_.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray block(1 << 20, '\0');
    for (int i = 0; i < 5; ++i) {
      block.fill(char('a' + i));
      if (i == 0) block.replace(0, name.toUtf8().size(), name.toUtf8());
      f.write(block);
    }
    f.close();
    auto file = OXFile::initWithType(type);
    file->setFilePath(path);
    QVariantMap add = identity;
    add.insert({{"cmd", "addFile"}, {"os_hash", file->os()}, {"size", file->sizeStr()}});
    EXPECT_TRUE(standIn().command(add).value("ok").toBool());
    return file;
  }

  QVariantList saved_;
  QTemporaryDir scratch_;
};

std::shared_ptr<OXEpisode> episode(quint64 season, quint64 number, const QStringList& links = {}) {
  QVariantMap entry{{"id", 9}, {"showid", 812}, {"season", season}, {"episode", number}, {"title", "E"}};
  if (!links.isEmpty()) entry.insert("links", links);
  return OXEpisode::initWithStreamerDictionary(entry);
}

}  // namespace

TEST_F(OpenSubtitles, MovieByHashSizeAndIMDbCodeInOneSession) {
  auto movie = OXMovie::initWithStreamerDictionary({{"id", "tt9000001"}, {"title", "The Glass Harbour"}});
  movie->setFile(knownFile("movie.mkv", OXFile::kTypeMovie, {{"imdb", "tt9000001"}}));
  auto subtitles = OXOpenSubtitleController::init();
  ASSERT_TRUE(subtitles);
  ASSERT_FALSE(subtitles->token().isEmpty());

  // Two English hits and one French: the first of each language, sorted by name.
  const QVariantList found = subtitles->searchAllSubtitleForContent(movie);
  const QString base = standIn().baseUrl("opensubtitles");
  EXPECT_EQ(found, QVariantList({QVariantMap{{"LanguageName", "English"},
                                             {"ZipDownloadLink", base + "/download/subtitle/700001.zip"}},
                                 QVariantMap{{"LanguageName", "French"},
                                             {"ZipDownloadLink", base + "/download/subtitle/700002.zip"}}}));
  subtitles->close();
  subtitles->close();

  const QVariantList wire = calls();
  ASSERT_EQ(wire.size(), 3);
  EXPECT_EQ(wire[0].toMap().value("method"), "LogIn");
  EXPECT_EQ(wire[0].toMap().value("params"), QVariantList({"", "", "spa", "Movrel 2.4"}));
  EXPECT_EQ(wire[1].toMap().value("method"), "SearchSubtitles");
  EXPECT_EQ(wire[1].toMap().value("params").toList().value(0), subtitles->token());
  // The unknown language is left out; the disabled one too.
  EXPECT_EQ(searchOf(wire[1]), QVariantMap({{"moviehash", movie->file()->os()},
                                            {"moviebytesize", QString::number(5 << 20)},
                                            {"imdbid", "tt9000001"},
                                            {"sublanguageid", "eng,fre,ger"}}));
  EXPECT_EQ(wire[2].toMap().value("method"), "LogOut");
  EXPECT_EQ(wire[2].toMap().value("params"), QVariantList({subtitles->token()}));
}

TEST_F(OpenSubtitles, EpisodeBySeasonAndEpisodeWithItsFile) {
  auto e = episode(1, 3);
  e->setFile(knownFile("show.s01e03.mkv", OXFile::kTypeEpisode, {{"show", 812}, {"season", 1}, {"episode", 3}}));
  auto subtitles = OXOpenSubtitleController::init();
  ASSERT_TRUE(subtitles);
  const QVariantList found = subtitles->searchAllSubtitleForContent(e);
  ASSERT_EQ(found.size(), 2);
  EXPECT_EQ(found[0].toMap().value("LanguageName"), "English");
  EXPECT_EQ(found[1].toMap().value("LanguageName"), "German");
  const QVariantList wire = calls();
  ASSERT_EQ(wire.size(), 2);
  EXPECT_EQ(searchOf(wire[1]), QVariantMap({{"moviehash", e->file()->os()},
                                            {"moviebytesize", QString::number(5 << 20)},
                                            {"episode", 3},
                                            {"season", 1},
                                            {"query", e->file()->fulltext()},
                                            {"sublanguageid", "eng,fre,ger"}}));
}

TEST_F(OpenSubtitles, LooserSearchesAreSentOnlyWhenTheyDiffer) {
  auto subtitles = OXOpenSubtitleController::init();
  ASSERT_TRUE(subtitles);
  const auto searches = [] {
    QVariantList out;
    for (const QVariant& c : calls())
      if (c.toMap().value("method") == "SearchSubtitles") out << searchOf(c);
    return out;
  };

  // A movie the service does not know by its hash: then by its IMDb code alone, and never a third time.
  auto movie = OXMovie::initWithStreamerDictionary({{"id", "tt0000404"}, {"title", "Unknown"}});
  movie->setFile(knownFile("other.mkv", OXFile::kTypeMovie, {{"imdb", "tt0000999"}}));
  EXPECT_TRUE(subtitles->searchAllSubtitleForContent(movie).isEmpty());
  QVariantList sent = searches();
  ASSERT_EQ(sent.size(), 2);
  EXPECT_EQ(sent[1].toMap(), QVariantMap({{"imdbid", "tt0000404"}, {"sublanguageid", "eng,fre,ger"}}));

  // A streamed episode without hits: its query once, since the looser forms are the same.
  standIn().clear();
  EXPECT_TRUE(subtitles->searchAllSubtitleForContent(episode(4, 1, {"magnet:?xt=urn:btih:0&dn=No.Such.Show&tr=udp"}))
                  .isEmpty());
  sent = searches();
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent[0].toMap().value("query"), "No.Such.Show");

  // Without links, or without "&dn=", a streamed episode gives nothing to search by: nothing is sent.
  standIn().clear();
  EXPECT_TRUE(subtitles->searchAllSubtitleForContent(episode(1, 1)).isEmpty());
  EXPECT_TRUE(subtitles->searchAllSubtitleForContent(episode(1, 1, {"magnet:?xt=urn:btih:0"})).isEmpty());
  EXPECT_TRUE(subtitles->searchAllSubtitleForParameters({{"season", 1}, {"episode", 1}}).isEmpty());
  EXPECT_TRUE(searches().isEmpty());

  // With no language enabled the search still goes out, with an empty language list.
  setLanguages({{"English", false}});
  EXPECT_FALSE(subtitles->searchAllSubtitleForParameters({{"imdbid", "tt9000002"}}).isEmpty());
  EXPECT_EQ(searches().last().toMap().value("sublanguageid"), "");
}

TEST_F(OpenSubtitles, LoginFailuresGiveNoController) {
  // A fault answer without a token, an HTTP error, and an answer that is no XML-RPC.
  const QByteArray fault =
      "<?xml version='1.0'?><methodResponse><fault><value><struct><member><name>faultCode</name><value><int>1"
      "</int></value></member><member><name>faultString</name><value><string>no</string></value></member></struct>"
      "</value></fault></methodResponse>";
  const QByteArray noToken =
      "<?xml version='1.0'?><methodResponse><params><param><value><struct><member><name>status</name><value>"
      "<string>414 Unknown User Agent</string></value></member></struct></value></param></params></methodResponse>";
  ASSERT_TRUE(standIn().answer("opensubtitles", 200, fault, 1, "/xml-rpc", "text/xml"));
  EXPECT_FALSE(OXOpenSubtitleController::init());
  ASSERT_TRUE(standIn().answer("opensubtitles", 200, noToken, 1, "/xml-rpc", "text/xml"));
  EXPECT_FALSE(OXOpenSubtitleController::init());
  ASSERT_TRUE(standIn().fault("opensubtitles", "500", 1));
  EXPECT_FALSE(OXOpenSubtitleController::init());
  ASSERT_TRUE(standIn().fault("opensubtitles", "garbage", 1));
  EXPECT_FALSE(OXOpenSubtitleController::init());
  // The service itself is fine again.
  EXPECT_TRUE(OXOpenSubtitleController::init());
}

TEST(OpenSubtitlesLanguages, TableCodesAndUnknownNames) {
  EXPECT_EQ(OXOpenSubtitleController::languageCode("Brazilian"), "pob");
  EXPECT_EQ(OXOpenSubtitleController::languageCode("Serbian"), "scc");
  EXPECT_EQ(OXOpenSubtitleController::languageCode("Greek"), "ell");
  EXPECT_EQ(OXOpenSubtitleController::languageCode("english"), "");
  EXPECT_EQ(OXOpenSubtitleController::languageCode("Klingon"), "");
}

TEST_F(OpenSubtitles, CallsGiveUpOnAStalledServiceOrAnUnansweredConnect) {
  ASSERT_TRUE(standIn().fault("opensubtitles", "stall", 1, "/xml-rpc", 30));
  const OXXmlRpcClient stalled(QUrl(standIn().baseUrl("opensubtitles") + "/xml-rpc"), 300, 800);
  QString error;
  EXPECT_FALSE(stalled.call("LogIn", {"", "", "spa", "Movrel 2.4"}, nullptr, &error));
  EXPECT_FALSE(error.isEmpty());
  oxtest::StalledListener listener;
  ASSERT_TRUE(listener.isStalled());
  const OXXmlRpcClient unanswered(QUrl(QString("http://127.0.0.1:%1/xml-rpc").arg(listener.port())), 300, 800);
  EXPECT_FALSE(unanswered.call("LogIn", {}, nullptr, &error));
  standIn().clear();
}
