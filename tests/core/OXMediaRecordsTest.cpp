#include <gtest/gtest.h>

#include <QJsonDocument>

#include "core/OXEpisode.h"
#include "core/OXMovie.h"
#include "core/OXShow.h"
#include "tests/core/CorePrinters.h"

namespace {

QVariantMap json(const char* text) {
  QJsonParseError error{};
  const QVariantMap map = QJsonDocument::fromJson(QByteArray(text), &error).toVariant().toMap();
  EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
  return map;
}

}  // namespace

TEST(MediaRecords, MovieFromSearchHit) {
  auto m = OXMovie::initWithDictionary(json(R"({"id": "tt0111161", "fields": {
      "title": "Quiet Orchard", "year": "1998", "runtime": 142, "rating": "8.5", "soundtrack": "http://h/s.m4a",
      "poster": "http://h/p.jpg", "image": "http://h/b.jpg", "extpopularity": "77 votes", "_score": 3.25,
      "genre": ["0", "Drama", "0", "Crime"], "streamerLinks": ["magnet:?xt=1"], "trailers": ["http://h/t.mp4"]}})"));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->imdb(), "tt0111161");
  EXPECT_EQ(m->title(), "Quiet Orchard");
  EXPECT_EQ(m->year(), 1998u);
  EXPECT_EQ(m->runtime(), 142u);
  EXPECT_FLOAT_EQ(m->rating(), 8.5f);
  EXPECT_EQ(m->soundtrack(), QUrl("http://h/s.m4a"));
  EXPECT_EQ(m->poster(), QUrl("http://h/p.jpg"));
  EXPECT_EQ(m->backdrops(), QUrl("http://h/b.jpg"));
  EXPECT_EQ(m->popularity(), 77u);
  EXPECT_FLOAT_EQ(m->score(), 3.25f);
  EXPECT_EQ(m->genres(), (QStringList{"Drama", "Crime"}));
  EXPECT_EQ(m->links(), QStringList{"magnet:?xt=1"});
  EXPECT_EQ(m->trailers(), QStringList{"http://h/t.mp4"});
  EXPECT_FALSE(m->file());
  EXPECT_EQ(m->description(), "Quiet Orchard (tt0111161)");

  auto bare = OXMovie::initWithDictionary(json(R"({"id": "t1", "fields": {}})"));
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->imdb(), "t1");  // a short id is still the whole code
  EXPECT_EQ(bare->title(), "Untitle");
  EXPECT_EQ(bare->year(), 0u);
  EXPECT_TRUE(bare->poster().isEmpty());
  EXPECT_FALSE(OXMovie::initWithDictionary(json(R"({"id": "tt1", "title": "x"})")));
}

TEST(MediaRecords, ShowAndEpisodeFromSearchHit) {
  auto s = OXShow::initWithDictionary(json(R"({"id": "s_81189", "fields": {"year": 2008, "rating": 9.1,
      "genre": ["0", "Drama", "0"], "image": "http://h/b.jpg", "extpopularity": 5, "_score": "1.5"}})"));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->showID(), 81189u);
  EXPECT_TRUE(s->title().isNull());  // no substitute title for shows
  EXPECT_EQ(s->genres(), (QStringList{"0", "Drama", "0"}));
  EXPECT_EQ(s->backdrops(), QUrl("http://h/b.jpg"));
  EXPECT_EQ(s->popularity(), 5u);
  EXPECT_FLOAT_EQ(s->score(), 1.5f);
  EXPECT_FLOAT_EQ(s->rating(), 9.1f);
  EXPECT_EQ(s->description(), "(null) (81189)");

  EXPECT_FALSE(OXShow::initWithDictionary(json(R"({"id": "s_", "fields": {}})")));
  EXPECT_FALSE(OXShow::initWithDictionary(json(R"({"fields": {}})")));
  EXPECT_FALSE(OXShow::initWithDictionary(json(R"({"id": "s_1"})")));
  EXPECT_EQ(OXShow::initWithDictionary(json(R"({"id": "s_7", "fields": {}})"))->showID(), 7u);
  EXPECT_EQ(OXShow::initWithDictionary(json(R"({"id": "s_x", "fields": {}})"))->showID(), 0u);

  auto e = OXEpisode::initWithDictionary(json(R"({"id": "e_4242", "fields": {"showid": "81189", "season": "2",
      "episode": 5, "image": "episodes/81189/4242.jpg", "title": "Low Tide"}})"));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->episodeID(), 4242u);
  EXPECT_EQ(e->showID(), 81189u);
  EXPECT_EQ(e->seasonNumber(), 2u);
  EXPECT_EQ(e->episodeNumber(), 5u);
  EXPECT_EQ(e->imageThumb(), "episodes/81189/4242.jpg");  // kept as text, not a URL
  EXPECT_EQ(e->title(), "Low Tide");
  EXPECT_FALSE(e->file());
  EXPECT_TRUE(e->links().isEmpty());
  EXPECT_EQ(e->description(), "2x5 - Low Tide (4242)");
  EXPECT_FALSE(OXEpisode::initWithDictionary(json(R"({"id": "e_", "fields": {}})")));
  EXPECT_FALSE(OXEpisode::initWithDictionary(json(R"({"id": "e_12"})")));
  EXPECT_EQ(OXEpisode::initWithDictionary(json(R"({"id": "e_9", "fields": {}})"))->episodeID(), 9u);

  // Titles are text, whatever they hold.
  EXPECT_EQ(OXShow::initWithDictionary(json(R"({"id": "s_12", "fields": {"title": "T %1 x"}})"))->description(),
            "T %1 x (12)");
  EXPECT_EQ(OXEpisode::initWithDictionary(
                json(R"({"id": "e_12", "fields": {"season": 1, "episode": 2, "title": "%2 of %1"}})"))
                ->description(),
            "1x2 - %2 of %1 (12)");
}

TEST(MediaRecords, FromStreamerEntries) {
  auto m = OXMovie::initWithStreamerDictionary(json(R"({"id": "tt42", "year": 2001, "rating": "6.1",
      "poster": "http://h/p.jpg", "links": ["a", "b"], "genre": ["0", "Drama"]})"));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->imdb(), "tt42");
  EXPECT_TRUE(m->title().isNull());  // no substitute from a streamer
  EXPECT_EQ(m->genres(), (QStringList{"0", "Drama"}));
  EXPECT_EQ(m->links(), (QStringList{"a", "b"}));
  EXPECT_EQ(m->popularity(), 0u);
  EXPECT_FLOAT_EQ(m->score(), 0.0f);
  EXPECT_TRUE(m->trailers().isEmpty());
  auto noId = OXMovie::initWithStreamerDictionary(json(R"({"title": "Nameless"})"));
  ASSERT_TRUE(noId);
  EXPECT_TRUE(noId->imdb().isNull());

  auto s = OXShow::initWithStreamerDictionary(json(R"({"id": "81189", "genre": ["Drama"]})"));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->showID(), 81189u);
  EXPECT_EQ(s->title(), "Untitle");
  EXPECT_FALSE(OXShow::initWithStreamerDictionary(json(R"({"id": 0, "title": "x"})")));
  EXPECT_FALSE(OXShow::initWithStreamerDictionary(json(R"({"title": "x"})")));

  auto e = OXEpisode::initWithStreamerDictionary(json(R"({"id": "4242", "showid": 81189, "season": 2,
      "episode": 5, "title": "Low Tide", "image": "http://h/t.jpg",
      "links": ["magnet:?xt=urn:btih:abc;dn=Harbour.Lights.S02E05.720p;tr=udp://t", "magnet:?xt=2"]})"));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->episodeID(), 4242u);  // the whole id: nothing dropped
  ASSERT_TRUE(e->file());
  EXPECT_EQ(e->file()->fulltext(), "Harbour.Lights.S02E05.720p");
  EXPECT_TRUE(e->file()->filePath().isNull());
  EXPECT_EQ(e->file()->type(), 0);

  auto untilEnd = OXEpisode::initWithStreamerDictionary(json(R"({"links": ["magnet:?xt=1;dn=Name.Only"]})"));
  EXPECT_EQ(untilEnd->file()->fulltext(), "Name.Only");
  auto ampersand = OXEpisode::initWithStreamerDictionary(json(R"({"links": ["magnet:?xt=1&dn=Name&tr=x"]})"));
  ASSERT_TRUE(ampersand->file());
  EXPECT_TRUE(ampersand->file()->fulltext().isNull());
  EXPECT_FALSE(OXEpisode::initWithStreamerDictionary(json(R"({"links": ["http://x;dn=a;tr=b", "magnet:?xt=1"]})"))->file());
  EXPECT_FALSE(OXEpisode::initWithStreamerDictionary(json(R"({"links": []})"))->file());
  EXPECT_FALSE(OXEpisode::initWithStreamerDictionary({})->file());
}

TEST(MediaRecords, AddLinksAppendsNewOnesOnce) {
  auto m = OXMovie::initWithStreamerDictionary(json(R"({"links": ["b"]})"));
  m->addLinks({"a", "b", "a"});
  EXPECT_EQ(m->links(), (QStringList{"b", "a"}));
  auto e = OXEpisode::initWithStreamerDictionary(json(R"({"links": ["b"]})"));
  e->addLinks({"a", "b"});
  EXPECT_EQ(e->links(), (QStringList{"b", "a"}));
  auto fresh = OXMovie::initWithDictionary(json(R"({"id": "tt1", "fields": {}})"));
  fresh->addLinks({"x"});
  EXPECT_EQ(fresh->links(), QStringList{"x"});

  auto file = OXFile::initWithType(1);
  m->setFile(file);
  EXPECT_EQ(m->file(), file);
  e->setFile(nullptr);
  EXPECT_FALSE(e->file());
}

TEST(MediaRecords, WrongTypesAndNullsAreAbsent) {
  // Damaged answers: nulls, numbers for texts, texts for lists, objects for numbers.
  auto m = OXMovie::initWithDictionary(json(R"({"id": 12, "fields": {"title": null, "year": {"y": 1}, "runtime": [1],
      "rating": true, "poster": 5, "image": "not a url with spaces", "soundtrack": null, "genre": "Drama",
      "streamerLinks": [1, "magnet:?xt=1", null], "trailers": null, "extpopularity": -4, "_score": null}})"));
  ASSERT_TRUE(m);
  EXPECT_TRUE(m->imdb().isNull());
  EXPECT_EQ(m->title(), "Untitle");
  EXPECT_EQ(m->year(), 0u);
  EXPECT_EQ(m->runtime(), 0u);
  EXPECT_FLOAT_EQ(m->rating(), 0.0f);
  EXPECT_TRUE(m->poster().isEmpty());
  EXPECT_TRUE(m->backdrops().isEmpty());
  EXPECT_TRUE(m->soundtrack().isEmpty());
  EXPECT_TRUE(m->genres().isEmpty());
  EXPECT_EQ(m->links(), QStringList{"magnet:?xt=1"});
  EXPECT_TRUE(m->trailers().isEmpty());
  EXPECT_EQ(m->popularity(), 0u);  // a negative count is no count

  EXPECT_FALSE(OXMovie::initWithDictionary(json(R"({"id": "tt1", "fields": null})")));
  EXPECT_FALSE(OXMovie::initWithDictionary(json(R"({"id": "tt1", "fields": "title"})")));
  EXPECT_FALSE(OXShow::initWithDictionary(json(R"({"id": 81189, "fields": {}})")));
  EXPECT_FALSE(OXShow::initWithStreamerDictionary(json(R"({"id": null})")));
  EXPECT_FALSE(OXShow::initWithStreamerDictionary(json(R"({"id": true})")));
  EXPECT_EQ(OXShow::initWithStreamerDictionary(json(R"({"id": 81189.7})"))->showID(), 81189u);

  auto e = OXEpisode::initWithStreamerDictionary(json(R"({"id": null, "showid": "x", "season": [2], "title": 4,
      "image": {"u": 1}, "links": {"a": "magnet:?xt="}})"));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->episodeID(), 0u);
  EXPECT_TRUE(e->title().isNull());
  EXPECT_TRUE(e->imageThumb().isNull());
  EXPECT_TRUE(e->links().isEmpty());
  EXPECT_FALSE(e->file());
}
