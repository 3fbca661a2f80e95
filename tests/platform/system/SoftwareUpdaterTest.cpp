#include <gtest/gtest.h>

#include <QUrl>

#include "platform/foundation/Info.h"
#include "platform/foundation/MainQueue.h"
#include "platform/system/SoftwareUpdater.h"
#include "platform/system/Workspace.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestUtil.h"

using ox::SoftwareUpdater;

namespace {

QByteArray appcast(const QString& version, const QString& itemLink = "https://ombrix.example/releases/9") {
  return QStringLiteral(
             "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak"
             ".org/xml-namespaces/sparkle\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
             "<channel><title>Ombrix</title><link>https://ombrix.example/</link>"
             "<item><title>Ombrix %1</title><link>%2</link>"
             "<enclosure url=\"https://ombrix.example/Ombrix-%1.tar.gz\" sparkle:version=\"%1\" "
             "sparkle:shortVersionString=\"%1\" length=\"1\" type=\"application/octet-stream\" sparkle:os=\"linux\" "
             "sparkle:edSignature=\"7cLALFUHSwvEJWSkV8aMreoBe4fhRa4FncC5NoThKxwThL6FDR7hTiPJh1fo2uagnPogisnQ==\" "
             "sparkle:dsaSignature=\"MC0CFBfeCa1JyW30nbkBwainOzrN6EQuAhUAlX1Uvw+2s5lX5hU1+M3DM2vNzRg=\"/></item>"
             "<item><title>older</title><enclosure sparkle:version=\"0.1\"/></item></channel></rss>")
      .arg(version, itemLink)
      .toUtf8();
}

class UpdaterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Time enough for a busy machine to answer; a feed that never answers is given up on quickly where a test asks.
    SoftwareUpdater::shared().setTimeouts(10000, 20000);
    ox::registerInfoValues({{"SUFeedURL", server.url("/appcast.xml").toString()}, {"CFBundleVersion", "1.2.9"}});
    ox::Workspace::shared().setURLOpener([this](const QUrl& url) {
      opened << url;
      return true;
    });
  }
  void TearDown() override {
    ox::Workspace::shared().setURLOpener({});
    SoftwareUpdater::shared().setTimeouts(1500, 3000);
  }
  oxtest::LoopbackServer server;
  QList<QUrl> opened;
};

}  // namespace

TEST(SoftwareUpdaterVersions, ComponentsCompareAsNumbers) {
  EXPECT_GT(SoftwareUpdater::compareVersions("1.2.10", "1.2.9"), 0);
  EXPECT_GT(SoftwareUpdater::compareVersions("1.3", "1.2.1"), 0);
  EXPECT_LT(SoftwareUpdater::compareVersions("0.9", "0.10"), 0);
  EXPECT_EQ(SoftwareUpdater::compareVersions("1.2", "1.2.0"), 0);
  EXPECT_EQ(SoftwareUpdater::compareVersions("01.002", "1.2"), 0);
  EXPECT_GT(SoftwareUpdater::compareVersions("2", "1.99.99"), 0);
  EXPECT_GT(SoftwareUpdater::compareVersions("123456789012345678901234567890", "99"), 0);  // no overflow
  EXPECT_GT(SoftwareUpdater::compareVersions("1.2b", "1.2a"), 0);
  EXPECT_FALSE(SoftwareUpdater::isNewer("", "1.0"));
  EXPECT_FALSE(SoftwareUpdater::isNewer("1.0", "1.0"));
  EXPECT_TRUE(SoftwareUpdater::isNewer("1.2.10", "1.2.9"));
}

TEST(SoftwareUpdaterFeed, TheFirstVersionAttributeAndTheFirstItemsPageCount) {
  EXPECT_EQ(SoftwareUpdater::versionInFeed(appcast("1.4")), "1.4");
  EXPECT_TRUE(SoftwareUpdater::versionInFeed("<rss><channel/></rss>").isNull());
  EXPECT_TRUE(SoftwareUpdater::versionInFeed("").isNull());
  EXPECT_EQ(SoftwareUpdater::versionInFeed("sparkle:version=\"2.0"), "2.0");  // cut off: the rest is the version
  EXPECT_EQ(SoftwareUpdater::releasePageInFeed(appcast("1.4")), QUrl("https://ombrix.example/releases/9"));
  const QByteArray notes =
      "<rss xmlns:sparkle=\"s\"><channel><link>https://ombrix.example/</link><item>"
      "<sparkle:releaseNotesLink>https://ombrix.example/notes</sparkle:releaseNotesLink></item></channel></rss>";
  EXPECT_EQ(SoftwareUpdater::releasePageInFeed(notes), QUrl("https://ombrix.example/notes"));
  // Read without namespace processing, which costs time quadratic in nested declarations (bench/bench_xml_check.cpp):
  // names are matched as written, declared or not.
  EXPECT_EQ(SoftwareUpdater::releasePageInFeed(QByteArray(notes).replace(" xmlns:sparkle=\"s\"", "")),
            QUrl("https://ombrix.example/notes"));
  // Only web pages: a link to a local file or a script is never opened.
  EXPECT_EQ(SoftwareUpdater::releasePageInFeed(appcast("1.4", "file:///etc/passwd")), QUrl("https://ombrix.example/"));
  EXPECT_TRUE(SoftwareUpdater::releasePageInFeed("not xml").isEmpty());
}

TEST_F(UpdaterTest, FeedIsReadOverTheLoopbackAndFailuresGiveNothing) {
  server.setReply("/appcast.xml", {200, appcast("1.3"), "application/rss+xml", {}});
  EXPECT_EQ(SoftwareUpdater::versionInFeed(SoftwareUpdater::shared().fetchFeed()), "1.3");
  // Shapes that hold the XML reader for seconds (bench/bench_xml_check.cpp times them) are no feed.
  QByteArray attributes;
  for (int i = 0; i < 100000; ++i) attributes += " a" + QByteArray::number(i) + "=\"\"";
  server.setReply("/appcast.xml", {200, appcast("1.3").replace("<rss ", "<rss" + attributes + " "), "text/xml", {}});
  EXPECT_TRUE(SoftwareUpdater::shared().fetchFeed().isEmpty());
  server.setReply("/appcast.xml", {200, appcast("1.3").replace("<rss ", "<!DOCTYPE rss><rss "), "text/xml", {}});
  EXPECT_TRUE(SoftwareUpdater::shared().fetchFeed().isEmpty());
  server.setReply("/appcast.xml", {404, "gone", "text/plain", {}});
  EXPECT_TRUE(SoftwareUpdater::shared().fetchFeed().isEmpty());
  SoftwareUpdater::shared().setTimeouts(300, 600);
  server.setNeverAnswer(true);
  EXPECT_TRUE(SoftwareUpdater::shared().fetchFeed().isEmpty());  // given up after the timeout
  server.setNeverAnswer(false);
  ox::registerInfoValues({{"SUFeedURL", ""}});
  EXPECT_TRUE(SoftwareUpdater::shared().fetchFeed().isEmpty());
}

TEST_F(UpdaterTest, CheckOpensTheReleasePageOnlyForANewerVersionAndDownloadsNothing) {
  server.setReply("/appcast.xml", {200, appcast("1.2.9"), "application/rss+xml", {}});
  SoftwareUpdater::shared().checkForUpdates();
  ASSERT_TRUE(server.waitForRequests(1));
  oxtest::spinFor(100);
  EXPECT_TRUE(opened.isEmpty());

  server.setReply("/appcast.xml", {200, appcast("1.2.10"), "application/rss+xml", {}});
  SoftwareUpdater::shared().checkForUpdates();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !opened.isEmpty(); }));
  EXPECT_EQ(opened, QList<QUrl>{QUrl("https://ombrix.example/releases/9")});
  for (const auto& r : server.requests()) EXPECT_EQ(r.path, "/appcast.xml");  // never the enclosure
}

// A program on its way out stops a check whose feed does not answer: it ends at once rather than at its time limit,
// and nobody is told of it. Stopping is for good in this process, so this test comes last.
TEST_F(UpdaterTest, StoppingEndsACheckTheFeedDoesNotAnswerAtOnce) {
  SoftwareUpdater::shared().setTimeouts(1500, 20000);
  server.setNeverAnswer(true);
  bool answered = false;
  SoftwareUpdater::shared().checkForUpdates([&answered](const SoftwareUpdater::CheckResult&) { answered = true; });
  ASSERT_TRUE(server.waitForRequests(1));
  EXPECT_LT(oxtest::msTakenBy([] { SoftwareUpdater::shared().stopChecking(); }), 1000);
  oxtest::spinFor(200);
  EXPECT_FALSE(answered);
  server.setNeverAnswer(false);
}
