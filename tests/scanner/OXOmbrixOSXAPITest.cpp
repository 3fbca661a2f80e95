#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <numeric>
#include <random>

#include "scanner/OXOmbrixOSXAPI.h"
#include "scanner/TVDb.h"
#include "tests/support/StandIn.h"

namespace {

using Order = OXOmbrixOSXAPI::Order;

std::shared_ptr<OXMovie> movie(const QString& id, quint64 year, float score, quint64 popularity) {
  return OXMovie::initWithDictionary({{"id", id},
                                      {"fields", QVariantMap{{"year", QString::number(year)},
                                                             {"_score", QString::number(score)},
                                                             {"extpopularity", QString::number(popularity)}}}});
}

std::shared_ptr<OXShow> show(quint64 year, quint64 popularity, float score, float rating, quint64 id = 100) {
  return OXShow::initWithDictionary({{"id", QStringLiteral("s_%1").arg(id)},
                                     {"fields", QVariantMap{{"year", QString::number(year)},
                                                            {"extpopularity", QString::number(popularity)},
                                                            {"_score", QString::number(score)},
                                                            {"rating", QString::number(rating)}}}});
}

QByteArray answerWith(const QVariantList& hits) {
  return QJsonDocument::fromVariant(QVariantMap{{"hits", QVariantMap{{"found", hits.size()}, {"hit", hits}}}}).toJson();
}

QVariantMap movieHit(const QString& id, int year, double score) {
  return {{"id", id}, {"fields", QVariantMap{{"year", QString::number(year)}, {"_score", QString::number(score)}}}};
}

class FrontEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(standIn().isRunning());
    standIn().clear();
    TVDbClient::sharedInstance().setApiKey("4C7A19E2B05D83F6");
  }
  static oxtest::StandIn& standIn() { return oxtest::StandIn::shared(); }
  OXOmbrixOSXAPI api;
};

}  // namespace

TEST(FrontEndRules, AnswerCheck) {
  const auto check = &OXOmbrixOSXAPI::checkIntegrityResultAndGetHits;
  const QVariantList one{QVariantMap{{"id", "tt1"}}};
  EXPECT_EQ(check(QVariantMap{{"hits", QVariantMap{{"hit", one}}}}), one);
  EXPECT_EQ(check(QVariantMap{{"hits", QVariantMap{{"hit", QVariantList{}}}}}), QVariantList{});
  EXPECT_FALSE(check(QVariant()));
  EXPECT_FALSE(check(QVariantMap{{"error", "x"}, {"hits", QVariantMap{{"hit", one}}}}));
  EXPECT_FALSE(check(QVariantMap{{"hits", one}}));
  EXPECT_FALSE(check(QVariantMap{{"hits", QVariantMap{{"hit", "text"}}}}));
}

TEST(FrontEndRules, MovieRanking) {
  // 21 years apart the later film leads whatever its standing; 20 years apart the value decides.
  EXPECT_EQ(OXOmbrixOSXAPI::compareMovies(*movie("a", 1950, 9, 900), *movie("b", 1971, 1, 0)), Order::SecondFirst);
  EXPECT_EQ(OXOmbrixOSXAPI::compareMovies(*movie("a", 1971, 1, 0), *movie("b", 1950, 9, 900)), Order::FirstFirst);
  EXPECT_EQ(OXOmbrixOSXAPI::compareMovies(*movie("a", 1950, 9, 900), *movie("b", 1970, 1, 0)), Order::FirstFirst);
  EXPECT_EQ(OXOmbrixOSXAPI::compareMovies(*movie("a", 0, 9, 900), *movie("b", 2020, 1, 0)), Order::FirstFirst);
  // 7.5 + 0.01 x 300 = 10.5 against 9.0 + 0.01 x 100 = 10.0.
  EXPECT_EQ(OXOmbrixOSXAPI::compareMovies(*movie("a", 2000, 7.5f, 300), *movie("b", 2000, 9.0f, 100)),
            Order::FirstFirst);
  EXPECT_EQ(OXOmbrixOSXAPI::compareMovies(*movie("a", 2000, 8, 200), *movie("b", 2001, 9, 100)), Order::Same);
}

TEST(FrontEndRules, ShowRanking) {
  const auto cmp = [](const std::shared_ptr<OXShow>& a, const std::shared_ptr<OXShow>& b) {
    return OXOmbrixOSXAPI::compareShows(*a, *b);
  };
  // Popularity 500 against 0 wins against a far better score, a later year and a higher rating.
  EXPECT_EQ(cmp(show(2000, 500, 1, 1), show(2020, 0, 100, 9)), Order::FirstFirst);
  EXPECT_EQ(cmp(show(2020, 0, 100, 9), show(2000, 500, 1, 1)), Order::SecondFirst);
  // A: popularity 1 point; B: score 1 and the tied rating 1. Six years ahead is worth 1 point to A, five nothing.
  EXPECT_EQ(cmp(show(2010, 200, 1, 5), show(2004, 100, 2, 5)), Order::Same);
  EXPECT_EQ(cmp(show(2009, 200, 1, 5), show(2004, 100, 2, 5)), Order::SecondFirst);
  // 300 against 100 is 1 + 3 points, matching B's score, rating and ten years (2 points); 250 against 100 only 1.
  EXPECT_EQ(cmp(show(2000, 300, 1, 5), show(2010, 100, 2, 6)), Order::Same);
  EXPECT_EQ(cmp(show(2000, 250, 1, 5), show(2010, 100, 2, 6)), Order::SecondFirst);
  // Ties in every step give B 3 points, whichever show is compared second; ratings 6.5 and 6.6 both round to 7.
  const auto x = show(2000, 100, 2, 6.5f, 1);
  const auto y = show(2000, 100, 2, 6.6f, 2);
  EXPECT_EQ(cmp(x, y), Order::SecondFirst);
  EXPECT_EQ(cmp(y, x), Order::SecondFirst);
  // A score so far ahead that the ratio is infinite is far ahead still (B: popularity and rating ties, 2 points).
  EXPECT_EQ(cmp(show(2000, 100, 3e38f, 5), show(2000, 100, 1e-30f, 5)), Order::FirstFirst);
}

TEST(FrontEndRules, SortsFinishAndRepeatThemselves) {
  std::mt19937 random(20260612);
  auto pick = [&](int n) { return int(random() % unsigned(n)); };
  // Few distinct values, so ties, year gaps and zeros are frequent; every round is sorted twice from equal records.
  for (int round = 0; round < 400; ++round) {
    OXOmbrixOSXAPI::MovieList movies[2];
    OXOmbrixOSXAPI::ShowList shows[2];
    for (int i = 0, n = pick(41); i < n; ++i) {
      const quint64 year = pick(3) == 0 ? 0 : 1950 + 10 * quint64(pick(8));
      const float score = float(pick(4)), rating = float(pick(10));
      const quint64 popularity = quint64(pick(3) * 150);
      for (int copy = 0; copy < 2; ++copy) {
        movies[copy] << movie(QString::number(i), year, score, popularity);
        shows[copy] << show(year, popularity, score, rating, quint64(i));
      }
    }
    QStringList order[2];
    for (int copy = 0; copy < 2; ++copy) {
      for (const auto& m : OXOmbrixOSXAPI::sortMovieContents(movies[copy])) order[copy] << m->imdb();
      for (const auto& s : OXOmbrixOSXAPI::sortShowContents(shows[copy])) order[copy] << QString::number(s->showID());
    }
    EXPECT_EQ(order[0], order[1]);
    QStringList expected;
    for (const auto& m : movies[0]) expected << m->imdb();
    expected += expected;
    order[0].sort();
    expected.sort();
    EXPECT_EQ(order[0], expected);  // a permutation of the input
  }
  // Without years the movie rule is a plain value order, which the sort must then give.
  OXOmbrixOSXAPI::MovieList undated;
  for (int i = 0; i < 30; ++i) undated << movie(QString::number(i), 0, float(pick(10)), quint64(pick(500)));
  const auto sorted = OXOmbrixOSXAPI::sortMovieContents(undated);
  for (int i = 1; i < sorted.size(); ++i)
    EXPECT_NE(OXOmbrixOSXAPI::compareMovies(*sorted[i - 1], *sorted[i]), Order::SecondFirst);
  // Even a rule that answers at random leaves a permutation.
  QList<int> numbers(100);
  std::iota(numbers.begin(), numbers.end(), 0);
  QList<int> shuffled = oxMergeSort(numbers, [&](int, int) { return pick(2) == 0; });
  std::sort(shuffled.begin(), shuffled.end());
  EXPECT_EQ(shuffled, numbers);
}

TEST(FrontEndRules, EpisodeHitLeavesOutMissingValues) {
  TVDbEpisode bare;  // no name, image or first airing
  bare.setEpisodeId(7);
  EXPECT_EQ(OXOmbrixOSXAPI::episodeHit(bare, 5, 3, 4),
            (QVariantMap{{"id", "e_7"}, {"fields", QVariantMap{{"episode", "4"}, {"season", "3"}, {"showid", "5"}}}}));
}

TEST_F(FrontEnd, SearchesOverTheService) {
  // Ranked hits (2005, 1999, 1999): the year picks the first of its year, else the best-ranked one.
  const QVariantList ranked{movieHit("tt1", 2005, 3), movieHit("tt2", 1999, 2), movieHit("tt3", 1999, 1)};
  standIn().answer("search", 200, answerWith(ranked), 3);
  EXPECT_EQ(api.searchMovieFullTextAndYear("q", 1999)->imdb(), "tt2");
  EXPECT_EQ(api.searchMovieFullTextAndYear("q", 1980)->imdb(), "tt1");
  EXPECT_EQ(api.searchMovieFullTextAndYear("q", 0)->imdb(), "tt1");
  standIn().answer("search", 200, answerWith({}), 1);
  EXPECT_FALSE(api.searchMovieFullTextAndYear("q", 1999));
  standIn().fault("search", "garbage", 1);
  EXPECT_TRUE(api.searchMovieFullTextAndStart("q", 0).isEmpty());
  // A hit the record refuses is skipped, the others count.
  standIn().answer("search", 200,
                   answerWith({QVariantMap{{"id", "s"}, {"fields", QVariantMap{}}},
                               QVariantMap{{"id", "s_9"}, {"fields", QVariantMap{}}}}),
                   1);
  EXPECT_EQ(api.searchShowFullText("q", 0).size(), 1);

  const auto lantern = show(2009, 640, 1, 8.7f, 812);
  EXPECT_TRUE(api.episodeForShow(lantern, 1, 4)->imageThumb().isEmpty());  // TheTVDB has no image for it
  EXPECT_FALSE(api.episodeForShow(lantern, 9, 9));
  standIn().fault("tvdb", "500", 1);
  EXPECT_FALSE(api.episodeForShow(lantern, 1, 2));

  // The hash searches send nothing; a confirmed match goes to the queue of its kind, a show to none.
  QTemporaryDir dir;
  QFile out(dir.filePath("Pilot.mkv"));
  ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.resize(5 << 20));
  auto file = OXFile::initWithType(OXFile::kTypeEpisode);
  file->setFilePath(out.fileName());
  standIn().clear();
  EXPECT_FALSE(api.searchMovieHash(file));
  EXPECT_FALSE(api.searchEpisodeHash(file));
  EXPECT_TRUE(standIn().requests("search").isEmpty());
  auto pilot = api.episodeForShow(lantern, 1, 2);
  pilot->setFile(file);
  api.manualMatch(lantern);
  api.manualMatch(pilot);
  ASSERT_TRUE(OXOmbrixAPIRequest::waitForMessages(10000));
  const QVariantList sent = standIn().requests("queue");
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent[0].toMap().value("queue"), "EpisodeHashes");
}
