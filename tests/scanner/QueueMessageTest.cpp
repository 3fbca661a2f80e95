#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "core/OXEpisode.h"
#include "core/OXFile.h"
#include "core/OXMovie.h"
#include "core/OXShow.h"
#include "scanner/OXOmbrixAPIRequest.h"
#include "tests/support/StandIn.h"

namespace {

class QueueMessage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(standIn().isRunning());
    standIn().clear();
    ASSERT_TRUE(dir.isValid());
    path = dir.filePath("Harbour.Lights.1971.mkv");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    QByteArray chunk(1 << 20, '\0');
    for (int i = 0; i < 5; ++i) {
      chunk.fill(char('a' + i));
      out.write(chunk);
    }
    out.close();
    file = OXFile::initWithType(OXFile::kTypeMovie);
    file->setFilePath(path);
    file->setSizeStr(file->calculateSizeStr());
  }
  static oxtest::StandIn& standIn() { return oxtest::StandIn::shared(); }
  QString keys() const {
    return QStringList{file->crc32(), file->md5(), file->sha1(), file->os(), file->sizeStr(), "mkv"}.join('.');
  }
  QTemporaryDir dir;
  QString path;
  std::shared_ptr<OXFile> file;
};

}  // namespace

TEST_F(QueueMessage, ComposedFromTheFileKeysAndTheRecord) {
  auto movie = OXMovie::initWithDictionary({{"id", "tt0000001"}, {"fields", QVariantMap{}}});
  auto episode = OXEpisode::initWithDictionary({{"id", "e_4242"}, {"fields", QVariantMap{}}});
  ASSERT_TRUE(movie && episode);
  EXPECT_TRUE(OXOmbrixAPIRequest::composeMessage(movie).isNull());  // no file yet
  movie->setFile(file);
  episode->setFile(file);
  ASSERT_FALSE(file->md5().isEmpty());
  EXPECT_EQ(OXOmbrixAPIRequest::composeMessage(movie), keys() + ".tt0000001");
  EXPECT_EQ(OXOmbrixAPIRequest::composeMessage(episode), keys() + ".4242");
  const auto show = OXShow::initWithDictionary({{"id", "s_812"}, {"fields", QVariantMap{}}});
  EXPECT_TRUE(OXOmbrixAPIRequest::composeMessage(show).isNull());
  EXPECT_TRUE(OXOmbrixAPIRequest::composeMessage(nullptr).isNull());
}

TEST_F(QueueMessage, QueueFollowsTheRecordClass) {
  auto movie = OXMovie::initWithDictionary({{"id", "tt0000001"}, {"fields", QVariantMap{}}});
  auto episode = OXEpisode::initWithDictionary({{"id", "e_4242"}, {"fields", QVariantMap{}}});
  movie->setFile(file);
  episode->setFile(file);
  OXOmbrixAPIRequest request;
  request.sendMessageToMovieQueue(episode);  // the class decides, not the operation
  request.sendMessageToEpisodeQueue(OXShow::initWithDictionary({{"id", "s_812"}, {"fields", QVariantMap{}}}));
  ASSERT_TRUE(OXOmbrixAPIRequest::waitForMessages(10000));
  request.sendMessageToEpisodeQueue(movie);
  ASSERT_TRUE(OXOmbrixAPIRequest::waitForMessages(10000));
  const QVariantList seen = standIn().waitForRequests("queue", 2);
  ASSERT_EQ(seen.size(), 2);
  EXPECT_EQ(seen[0].toMap().value("queue"), "EpisodeHashes");
  EXPECT_EQ(seen[0].toMap().value("message"), keys() + ".4242");
  EXPECT_EQ(seen[1].toMap().value("path"), "/482913650217/MovieHashes/?Action=SendMessage&MessageBody=" + keys() +
                                               ".tt0000001&Version=2009-02-01");
}
