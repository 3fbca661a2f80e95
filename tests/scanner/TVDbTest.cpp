#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "scanner/TVDb.h"
#include "tests/support/StandIn.h"

namespace {

class TVDb : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(standIn().isRunning());
    standIn().clear();
    TVDbClient::sharedInstance().setApiKey("4C7A19E2B05D83F6");
    TVDbClient::sharedInstance().setTimeoutMs(60000);
  }
  static oxtest::StandIn& standIn() { return oxtest::StandIn::shared(); }
  static QString base() { return standIn().baseUrl("tvdb"); }
  static QString lastPath() {
    const QVariantList seen = standIn().requests("tvdb");
    return seen.isEmpty() ? QString() : seen.last().toMap().value("path").toString();
  }
};

}  // namespace

TEST_F(TVDb, EpisodeBySeriesSeasonAndNumber) {
  EXPECT_EQ(TVDbEpisode::episodeUrlByShowId(812, 1, 3), "4C7A19E2B05D83F6/series/812/default/1/3");
  const auto e = TVDbEpisode::findByShowId(812, 1, 3);
  EXPECT_EQ(lastPath(), "/api/4C7A19E2B05D83F6/series/812/default/1/3");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->episodeId(), 4242);
  EXPECT_EQ(e->title(), "Tom & Jerry");
  EXPECT_EQ(e->seasonNumber(), 1);
  EXPECT_EQ(e->episodeNumber(), 3);
  EXPECT_EQ(e->showId(), 812);
  EXPECT_EQ(e->banner(), base() + "/banners/episodes/812/4242.jpg");
  EXPECT_EQ(e->bannerThumbnail(), base() + "/banners/_cache/episodes/812/4242.jpg");
  EXPECT_EQ(e->bannerAspectRatio(), 1);
  EXPECT_EQ(e->writer(), QStringList({"Ines Marr", "Otto Pell"}));
  EXPECT_EQ(e->director(), QStringList({"Rhea Lund"}));
  EXPECT_TRUE(e->gueststars().isEmpty());  // an empty element
  EXPECT_EQ(e->premiereDate(), QDateTime(QDate(2009, 9, 22), QTime(0, 0)));
  EXPECT_EQ(e->imdbId(), "tt9204242");
  EXPECT_FALSE(e->rating().isEmpty());

  // An empty "filename" gives no image, whatever the flag; an unknown first airing gives no date.
  const auto noImage = TVDbEpisode::findByShowId(812, 1, 4);
  ASSERT_TRUE(noImage);
  EXPECT_TRUE(noImage->banner().isNull());
  EXPECT_TRUE(noImage->bannerThumbnail().isNull());
  EXPECT_EQ(noImage->bannerAspectRatio(), 0);
  const auto noDate = TVDbEpisode::findByShowId(812, 2, 1);
  ASSERT_TRUE(noDate);
  EXPECT_FALSE(noDate->premiereDate().isValid());

  const auto byId = TVDbEpisode::findById(4242);
  EXPECT_EQ(lastPath(), "/api/4C7A19E2B05D83F6/episodes/4242");
  ASSERT_TRUE(byId);
  EXPECT_EQ(byId->title(), "Tom & Jerry");
}

TEST_F(TVDb, ImageFlagsAndShapes) {
  const auto flag = [](const char* value) {
    return TVDbEpisode::initWithDictionary(QVariantMap{{"filename", "episodes/1/2.jpg"}, {"EpImgFlag", value}})
        ->bannerAspectRatio();
  };
  EXPECT_EQ(flag("1"), 0);
  EXPECT_EQ(flag("5"), 4);
  EXPECT_EQ(flag("7"), 5);
  EXPECT_EQ(flag("x"), 5);
  EXPECT_FALSE(TVDbEpisode::initWithDictionary(QVariant()));
  EXPECT_FALSE(TVDbEpisode::initWithDictionary(QStringLiteral("text")));
  // Several episodes where one is expected: the first.
  const QVariantList two{QVariantMap{{"id", "1"}}, QVariantMap{{"id", "2"}}};
  EXPECT_EQ(TVDbEpisode::initWithDictionary(two)->episodeId(), 1);
  EXPECT_EQ(TVDbImage("posters/812-1.jpg").thumbnailUrl(), base() + "/banners/_cache/posters/812-1.jpg");
}

TEST_F(TVDb, MissingAndBrokenAnswersGiveNone) {
  EXPECT_FALSE(TVDbEpisode::findByShowId(812, 9, 9));  // a 404 page that is valid XML, without Data.Episode
  TVDbClient::sharedInstance().setApiKey("0000000000000000");
  EXPECT_FALSE(TVDbEpisode::findByShowId(812, 1, 3));
  TVDbClient::sharedInstance().setApiKey("4C7A19E2B05D83F6");

  bool unanswered = false;
  for (const char* kind : {"500", "garbage"}) {
    standIn().clear();
    ASSERT_TRUE(standIn().fault("tvdb", kind, 1));
    EXPECT_FALSE(TVDbEpisode::findByShowId(812, 1, 3, &unanswered)) << kind;
    EXPECT_TRUE(unanswered) << kind;
  }
  // A refusal is TheTVDB's answer whatever its body; a status asking to be asked later is none.
  for (const int status : {404, 400, 429, 408}) {
    standIn().clear();
    ASSERT_TRUE(standIn().answer("tvdb", status, "<html>no</html>", 1, {}, "text/html"));
    EXPECT_FALSE(TVDbEpisode::findByShowId(812, 1, 3, &unanswered)) << status;
    EXPECT_EQ(unanswered, status == 429 || status == 408) << status;
  }
  standIn().clear();
  standIn().answer("tvdb", 200, "<Data><Episode><id>11</id></Episode><Episode><id>12</id></Episode></Data>", 1, {},
                   "text/xml");
  const auto first = TVDbEpisode::findByShowId(812, 1, 3);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->episodeId(), 11);

  standIn().clear();
  TVDbClient::sharedInstance().setTimeoutMs(1200);
  ASSERT_TRUE(standIn().fault("tvdb", "stall", 1));
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(TVDbEpisode::findByShowId(812, 1, 3));
  EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(TVDb, SeriesRecords) {
  const auto show = TVDbShow::findById(812);
  EXPECT_EQ(lastPath(), "/api/4C7A19E2B05D83F6/series/812/all/");
  ASSERT_TRUE(show);
  EXPECT_EQ(show->showId(), 812);
  EXPECT_EQ(show->title(), "Lantern Street");
  EXPECT_EQ(show->genre(), QStringList({"Drama", "Crime"}));
  EXPECT_EQ(show->actors(), QStringList({"Ada Quill"}));
  EXPECT_EQ(show->poster(), base() + "/banners/posters/812-1.jpg");
  EXPECT_EQ(show->fanartThumbnail(), base() + "/banners/_cache/fanart/original/812-1.jpg");
  EXPECT_EQ(show->bannerThumbnail(), base() + "/banners/_cache/graphical/812-g.jpg");
  EXPECT_EQ(show->premiereDate(), QDateTime(QDate(2009, 9, 1), QTime(0, 0)));
  EXPECT_EQ(show->runtime(), "22");
  EXPECT_EQ(show->imdbId(), "tt9100812");
  ASSERT_TRUE(show->episodes().has_value());
  EXPECT_EQ(show->episodes()->size(), 7);

  // Without an "Episode" entry the episodes stay unset; with a text in its place they are an empty list.
  EXPECT_FALSE(TVDbShow::initWithDictionary(QVariantMap{{"Series", QVariantMap{{"id", "5"}}}})->episodes());
  const auto odd = TVDbShow::initWithDictionary(QVariantMap{{"id", "5"}, {"Episode", "x"}});
  EXPECT_EQ(odd->showId(), 5);
  ASSERT_TRUE(odd->episodes().has_value());
  EXPECT_TRUE(odd->episodes()->isEmpty());

  // An answer without "Data" still gives a record, with its fields empty; no answer gives none.
  standIn().answer("tvdb", 200, "<Error>none</Error>", 1, {}, "text/xml");
  const auto empty = TVDbShow::findById(812);
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->title().isNull());
  standIn().clear();
  standIn().fault("tvdb", "500", 1);
  EXPECT_FALSE(TVDbShow::findById(812));
}

TEST_F(TVDb, SeriesSearch) {
  EXPECT_EQ(TVDbShow::findByName("Orbit Station").size(), 2);
  EXPECT_EQ(lastPath(), "/api/GetSeries.php?seriesname=Orbit%20Station&language=en");
  const TVDbShowList one = TVDbShow::findByName("Tom & Jerome");
  EXPECT_EQ(lastPath(), "/api/GetSeries.php?seriesname=Tom%20%26%20Jerome&language=en");
  ASSERT_EQ(one.size(), 1);
  EXPECT_EQ(one.first()->showId(), 2047);
  EXPECT_EQ(one.first()->title(), "Tom & Jerome");
  EXPECT_TRUE(TVDbShow::findByName("Nothing Like It").isEmpty());
  EXPECT_EQ(TVDbShow::findByName(QString::fromUtf8("Ni\u00f1os del R\u00edo")).size(), 1);
}

TEST_F(TVDb, UpdateFeed) {
  TVDbUpdater& updater = TVDbUpdater::sharedInstance();
  updater.updateLastUpdatedAtTimestamp();
  EXPECT_EQ(lastPath(), "/api//Updates.php?type=none");
  EXPECT_EQ(updater.lastUpdatedAt(), "1262304000");
  EXPECT_EQ(updater.showUpdates().toList().size(), 3);
  EXPECT_EQ(lastPath(), "/api//Updates.php?type=series&time=1262304000");
  EXPECT_EQ(updater.episodeUpdates().toList().size(), 5);
  EXPECT_TRUE(updater.updates().toMap().contains("Items"));
  EXPECT_EQ(lastPath(), "/api//Updates.php?type=all&time=1262304000");
}
