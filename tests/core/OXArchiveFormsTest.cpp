#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "core/OXArchiveClasses.h"
#include "core/OXEpisode.h"
#include "core/OXMovie.h"
#include "core/OXShow.h"
#include "tests/core/CorePrinters.h"
#include "tests/support/TestUtil.h"

namespace {

QVariantMap json(const char* text) { return QJsonDocument::fromJson(QByteArray(text)).toVariant().toMap(); }

QStringList keysOf(const QJsonObject& o) {
  QStringList keys;
  for (const QJsonValue& k : o["$keys"].toArray()) keys << k.toString();
  return keys;
}

QString md5Hex(const QByteArray& b) { return QCryptographicHash::hash(b, QCryptographicHash::Md5).toHex(); }

// A stand-in that archives under a core class name with only the keys given.
class PartialRecord final : public ox::Coding {
 public:
  PartialRecord(QString name, std::function<void(ox::Coder&)> keys) : name_(std::move(name)), keys_(std::move(keys)) {}
  QString archiveClassName() const override { return name_; }
  void encodeWithCoder(ox::Coder& coder) const override { keys_(coder); }

 private:
  QString name_;
  std::function<void(ox::Coder&)> keys_;
};

template <class T>
std::shared_ptr<T> roundTrip(const ox::CodingPtr& record) {
  registerCoreArchiveClasses();
  return ox::codingAs<T>(ox::unarchiveRootObject(ox::archivedDataWithRootObject(ox::wrapCoding(record))));
}

class ArchiveForms : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    videoPath = dir.filePath("Quiet.Orchard.1998.mkv");
    QByteArray data(4194304 + 333, Qt::Uninitialized);
    QRandomGenerator rng(9);
    for (char& c : data) c = char(rng.bounded(256));
    QFile f(videoPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
    f.close();

    movie = OXMovie::initWithDictionary(json(R"({"id": "tt0111161", "fields": {"title": "Quiet Orchard",
        "year": 1998, "runtime": 142, "rating": 9.1, "soundtrack": "http://h/s.m4a", "poster": "http://h/p.jpg",
        "image": "http://h/b.jpg", "extpopularity": 77, "_score": 3.25, "genre": ["Drama", "Crime"],
        "streamerLinks": ["magnet:?xt=1"], "trailers": ["http://h/t.mp4"]}})"));
    auto file = OXFile::initWithType(1);
    file->setFilePath(videoPath);
    md5 = file->md5();  // sampled: the archive carries the samples
    movie->setFile(file);
    show = OXShow::initWithDictionary(json(R"({"id": "s_81189", "fields": {"title": "Harbour Lights",
        "year": 2008, "runtime": 45, "rating": 8.25, "genre": ["0", "Drama"], "poster": "http://h/sp.jpg",
        "extpopularity": 5, "_score": 1.5}})"));
    episode = OXEpisode::initWithStreamerDictionary(json(R"({"id": 4242, "showid": 81189, "season": 2,
        "episode": 5, "title": "Low Tide", "image": "http://h/t.jpg",
        "links": ["magnet:?xt=urn:btih:abc;dn=Harbour.Lights.S02E05;tr=udp://t"]})"));
  }

  QTemporaryDir dir;
  QString videoPath;
  QString md5;
  std::shared_ptr<OXMovie> movie;
  std::shared_ptr<OXShow> show;
  std::shared_ptr<OXEpisode> episode;
};

}  // namespace

TEST_F(ArchiveForms, RecordsReadBackWithEqualFields) {
  auto m = roundTrip<OXMovie>(movie);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->imdb(), movie->imdb());
  EXPECT_EQ(m->title(), movie->title());
  EXPECT_EQ(m->year(), movie->year());
  EXPECT_EQ(m->runtime(), movie->runtime());
  EXPECT_EQ(m->genres(), movie->genres());
  EXPECT_EQ(m->rating(), movie->rating());
  EXPECT_EQ(m->soundtrack(), movie->soundtrack());
  EXPECT_EQ(m->poster(), movie->poster());
  EXPECT_EQ(m->backdrops(), movie->backdrops());
  EXPECT_EQ(m->popularity(), movie->popularity());
  EXPECT_EQ(m->score(), movie->score());
  EXPECT_EQ(m->links(), movie->links());
  EXPECT_EQ(m->trailers(), movie->trailers());
  ASSERT_TRUE(m->file());
  const auto f = m->file(), orig = movie->file();
  EXPECT_EQ(f->filePath(), orig->filePath());
  EXPECT_EQ(f->fulltext(), "quiet orchard");
  EXPECT_EQ(f->sizeStr(), orig->sizeStr());
  EXPECT_EQ(f->type(), 1);
  EXPECT_TRUE(f->isHashDataEnable());
  EXPECT_EQ(f->partialDataMD5(), orig->partialDataMD5());
  EXPECT_EQ(f->partialDataSHA1(), orig->partialDataSHA1());
  EXPECT_EQ(f->partialDataCRC32(), orig->partialDataCRC32());
  // The archived samples answer the digests; the file itself is no longer needed.
  const QString sha1 = orig->sha1(), crc = orig->crc32();
  ASSERT_TRUE(QFile::remove(videoPath));
  EXPECT_EQ(f->md5(), md5);
  EXPECT_EQ(f->sha1(), sha1);
  EXPECT_EQ(f->crc32(), crc);

  auto s = roundTrip<OXShow>(show);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->showID(), 81189u);
  EXPECT_EQ(s->title(), show->title());
  EXPECT_EQ(s->year(), show->year());
  EXPECT_EQ(s->runtime(), show->runtime());
  EXPECT_EQ(s->genres(), (QStringList{"0", "Drama"}));
  EXPECT_EQ(s->rating(), show->rating());
  EXPECT_EQ(s->poster(), show->poster());
  EXPECT_TRUE(s->soundtrack().isEmpty());
  EXPECT_EQ(s->popularity(), 5u);
  EXPECT_EQ(s->score(), show->score());

  auto e = roundTrip<OXEpisode>(episode);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->episodeID(), 4242u);
  EXPECT_EQ(e->imageThumb(), episode->imageThumb());
  EXPECT_EQ(e->title(), "Low Tide");
  EXPECT_EQ(e->showID(), 81189u);
  EXPECT_EQ(e->seasonNumber(), 2u);
  EXPECT_EQ(e->episodeNumber(), 5u);
  EXPECT_EQ(e->links(), episode->links());
  ASSERT_TRUE(e->file());
  EXPECT_EQ(e->file()->fulltext(), "Harbour.Lights.S02E05");
  EXPECT_TRUE(e->file()->filePath().isEmpty());
  EXPECT_FALSE(e->file()->isHashDataEnable());

  episode->setFile(nullptr);
  auto withoutFile = roundTrip<OXEpisode>(episode);
  ASSERT_TRUE(withoutFile);
  EXPECT_FALSE(withoutFile->file());
}

TEST_F(ArchiveForms, ReadableByAnIndependentReader) {
  const QString archivePath = dir.filePath("records.bin");
  const QVariantList roots{ox::wrapCoding(movie), ox::wrapCoding(show), ox::wrapCoding(episode)};
  ASSERT_TRUE(ox::writeFileAtomically(archivePath, ox::archivedDataWithRootObject(roots)));
  QByteArray out, err;
  ASSERT_EQ(oxtest::runPython(oxtest::sourcePath("tests/core/fixtures/read_records.py"), {archivePath}, &out, &err), 0)
      << err.constData();
  const QJsonArray records = QJsonDocument::fromJson(out).array();
  ASSERT_EQ(records.size(), 3);

  const QJsonObject m = records[0].toObject();
  EXPECT_EQ(m["$class"].toString(), "OXMovie");
  EXPECT_EQ(keysOf(m), (QStringList{"imdb", "title", "year", "runtime", "genres", "rating", "soundtrack", "poster",
                                    "backdrops", "popularity", "score", "file", "links", "trailers"}));
  EXPECT_EQ(m["imdb"].toString(), "tt0111161");
  EXPECT_EQ(m["title"].toString(), "Quiet Orchard");
  EXPECT_EQ(m["year"].toInteger(), 1998);
  EXPECT_EQ(m["runtime"].toInteger(), 142);
  EXPECT_EQ(m["genres"].toArray(), (QJsonArray{"Drama", "Crime"}));
  EXPECT_EQ(m["rating"].toDouble(), double(9.1f));
  EXPECT_EQ(m["soundtrack"].toString(), "http://h/s.m4a");
  EXPECT_EQ(m["poster"].toString(), "http://h/p.jpg");
  EXPECT_EQ(m["backdrops"].toString(), "http://h/b.jpg");
  EXPECT_EQ(m["popularity"].toInteger(), 77);
  EXPECT_EQ(m["score"].toDouble(), 3.25);
  EXPECT_EQ(m["links"].toArray(), QJsonArray{"magnet:?xt=1"});
  EXPECT_EQ(m["trailers"].toArray(), QJsonArray{"http://h/t.mp4"});

  const QJsonObject f = m["file"].toObject();
  EXPECT_EQ(f["$class"].toString(), "OXFile");
  EXPECT_EQ(f["$classes"].toArray(), (QJsonArray{"OXFile", "NSObject"}));
  EXPECT_EQ(keysOf(f), (QStringList{"partialDataCRC32", "partialDataMD5", "partialDataSHA1", "filePath", "fulltext",
                                    "sizeStr", "type", "isHashDataEnable"}));
  EXPECT_EQ(f["partialDataMD5"].toObject()["md5"].toString(), md5);
  EXPECT_EQ(f["partialDataMD5"].toObject()["length"].toInteger(), 1048576);
  EXPECT_EQ(f["partialDataSHA1"].toObject()["md5"].toString(), md5Hex(movie->file()->partialDataSHA1()));
  EXPECT_EQ(f["partialDataCRC32"].toObject()["md5"].toString(), md5Hex(movie->file()->partialDataCRC32()));
  EXPECT_EQ(f["filePath"].toString(), videoPath);
  EXPECT_EQ(f["fulltext"].toString(), "quiet orchard");
  EXPECT_EQ(f["sizeStr"].toString(), "4194637");
  EXPECT_EQ(f["type"].toInteger(), 1);
  EXPECT_EQ(f["isHashDataEnable"].toBool(), true);

  const QJsonObject s = records[1].toObject();
  EXPECT_EQ(s["$class"].toString(), "OXShow");
  EXPECT_EQ(keysOf(s), (QStringList{"showID", "title", "year", "runtime", "genres", "rating", "soundtrack", "poster",
                                    "backdrops", "popularity", "score"}));
  EXPECT_EQ(s["showID"].toInteger(), 81189);
  EXPECT_EQ(s["title"].toString(), "Harbour Lights");
  EXPECT_EQ(s["genres"].toArray(), (QJsonArray{"0", "Drama"}));
  EXPECT_EQ(s["rating"].toDouble(), 8.25);
  EXPECT_TRUE(s["soundtrack"].isNull());

  const QJsonObject e = records[2].toObject();
  EXPECT_EQ(e["$class"].toString(), "OXEpisode");
  EXPECT_EQ(keysOf(e), (QStringList{"episodeID", "imageThumb", "title", "showID", "episodeNumber", "seasonNumber",
                                    "file", "links"}));
  EXPECT_EQ(e["episodeID"].toInteger(), 4242);
  EXPECT_EQ(e["imageThumb"].toString(), "http://h/t.jpg");
  EXPECT_EQ(e["episodeNumber"].toInteger(), 5);
  EXPECT_EQ(e["seasonNumber"].toInteger(), 2);
  const QJsonObject ef = e["file"].toObject();
  EXPECT_TRUE(ef["filePath"].isNull());
  EXPECT_TRUE(ef["partialDataMD5"].isNull());
  EXPECT_EQ(ef["fulltext"].toString(), "Harbour.Lights.S02E05");
  EXPECT_EQ(ef["type"].toInteger(), 0);
  EXPECT_EQ(ef["isHashDataEnable"].toBool(), false);
}

TEST_F(ArchiveForms, MissingKeysAndDamagedSamples) {
  // Missing keys read as 0, 0.0 or empty.
  auto sparse = std::make_shared<PartialRecord>("OXMovie", [](ox::Coder& c) {
    c.encodeObject(QStringLiteral("tt9"), QStringLiteral("imdb"));
  });
  auto m = roundTrip<OXMovie>(sparse);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->imdb(), "tt9");
  EXPECT_TRUE(m->title().isEmpty());
  EXPECT_EQ(m->year(), 0u);
  EXPECT_EQ(m->rating(), 0.0f);
  EXPECT_TRUE(m->poster().isEmpty());
  EXPECT_TRUE(m->genres().isEmpty());
  EXPECT_FALSE(m->file());

  // Values of another kind under the right keys read as absent.
  auto odd = std::make_shared<PartialRecord>("OXEpisode", [](ox::Coder& c) {
    c.encodeObject(QStringLiteral("text"), QStringLiteral("episodeID"));
    c.encodeInt64(3, QStringLiteral("title"));
    c.encodeObject(QStringLiteral("not a file"), QStringLiteral("file"));
    c.encodeObject(QVariantList{1, QStringLiteral("magnet:?xt=1")}, QStringLiteral("links"));
  });
  auto e = roundTrip<OXEpisode>(odd);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->episodeID(), 0u);
  EXPECT_TRUE(e->title().isEmpty());
  EXPECT_FALSE(e->file());
  EXPECT_EQ(e->links(), QStringList{"magnet:?xt=1"});

  // A file record claiming samples it does not hold whole is sampled again rather than trusted.
  auto damaged = std::make_shared<PartialRecord>("OXFile", [this](ox::Coder& c) {
    c.encodeObject(QByteArray("short"), QStringLiteral("partialDataCRC32"));
    c.encodeObject(QByteArray("short"), QStringLiteral("partialDataMD5"));
    c.encodeObject(QByteArray("short"), QStringLiteral("partialDataSHA1"));
    c.encodeObject(videoPath, QStringLiteral("filePath"));
    c.encodeInt64(1, QStringLiteral("type"));
    c.encodeBool(true, QStringLiteral("isHashDataEnable"));
  });
  auto f = roundTrip<OXFile>(damaged);
  ASSERT_TRUE(f);
  EXPECT_FALSE(f->isHashDataEnable());
  EXPECT_EQ(f->md5(), md5);
  EXPECT_TRUE(f->isHashDataEnable());
}
