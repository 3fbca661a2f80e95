#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include "core/OXApplicationSupport.h"
#include "core/OXServiceHosts.h"
#include "platform/foundation/Info.h"
#include "tests/core/CorePrinters.h"
#include "tests/core/LibraryTestUtil.h"

namespace {

TEST(ImageSizes, OriginalBecomesTheAskedSizeButTheTvdbKeepsItsOwn) {
  const QUrl poster("https://img.example/t/images/original/abc.jpg");
  EXPECT_EQ(OXApplicationSupport::get500ModeFromURL(poster), "https://img.example/t/images/w500/abc.jpg");
  EXPECT_EQ(OXApplicationSupport::get780ModeFromURL(poster), "https://img.example/t/images/w780/abc.jpg");
  EXPECT_EQ(OXApplicationSupport::get1920ModeFromURL(poster), "https://img.example/t/images/w1920/abc.jpg");
  EXPECT_EQ(OXApplicationSupport::get500ModeFromURL(QUrl("https://img.example/ORIGINAL/a.jpg")),
            "https://img.example/w500/a.jpg");
  EXPECT_EQ(OXApplicationSupport::get500ModeFromURL(QUrl("https://img.example/w300/a.jpg")),
            "https://img.example/w300/a.jpg");
  EXPECT_TRUE(OXApplicationSupport::get500ModeFromURL(QUrl()).isNull());
  EXPECT_TRUE(OXApplicationSupport::get1920ModeFromURL(QUrl()).isNull());

  // TheTVDB's images, at whatever address its client uses (a stand-in here, the site itself by default).
  const QUrl standIn(OXServiceHosts::baseURL(OXService::TVDb) + "/banners/original/81189.jpg");
  EXPECT_EQ(OXApplicationSupport::get1920ModeFromURL(standIn), standIn.toString());
  const QByteArray saved = qgetenv("OMBRIX_TVDB_URL");
  qputenv("OMBRIX_TVDB_URL", "thetvdb.com");
  const QUrl tvdb("http://thetvdb.com/banners/original/81189.jpg");
  EXPECT_EQ(OXApplicationSupport::get1920ModeFromURL(tvdb), tvdb.toString());
  EXPECT_EQ(OXApplicationSupport::get500ModeFromURL(tvdb), "http://thetvdb.com/banners/w500/81189.jpg");
  EXPECT_EQ(OXApplicationSupport::get1920ModeFromURL(QUrl("https://thetvdb.com/banners/original/1.jpg")),
            "https://thetvdb.com/banners/w1920/1.jpg");
  qputenv("OMBRIX_TVDB_URL", saved);
}

class PlayerCache : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp.isValid());
    qputenv("XDG_DATA_HOME", tmp.path().toLocal8Bit());
    ox::registerInfoValues({{"CFBundleName", "Ombrix"}});
    support = OXApplicationSupport::initWithFolderName("Player");
    ASSERT_TRUE(support);
  }
  QString root(const QString& relative = {}) const {
    return tmp.path() + "/Ombrix/Player" + (relative.isEmpty() ? QString() : "/" + relative);
  }
  QTemporaryDir tmp;
  std::unique_ptr<OXApplicationSupport> support;
};

TEST_F(PlayerCache, TheRootIsMadeUnderTheBundleNameAndUnfitNamesGiveNone) {
  EXPECT_EQ(support->folderBaseName(), root());
  EXPECT_TRUE(QFileInfo(root()).isDir());
  EXPECT_EQ(support->pathWithFilename("x"), root("x"));
  EXPECT_EQ(support->createAndGetPathWithFilename("p.jpg", "Poster500"), root("Poster500/p.jpg"));
  EXPECT_TRUE(QFileInfo(root("Poster500")).isDir());
  EXPECT_FALSE(QFile::exists(root("Poster500/p.jpg")));
  EXPECT_FALSE(OXApplicationSupport::initWithFolderName(".."));
  EXPECT_FALSE(OXApplicationSupport::initWithFolderName("a/b"));
  ox::registerInfoValues({{"CFBundleName", ""}});
  EXPECT_FALSE(OXApplicationSupport::initWithFolderName("Player"));
  // A root that cannot be created: the bundle-name folder is a file.
  ASSERT_TRUE(libtest::writeFile(tmp.path() + "/Blocked", "x"));
  ox::registerInfoValues({{"CFBundleName", "Blocked"}});
  EXPECT_FALSE(OXApplicationSupport::initWithFolderName("Player"));
  ox::registerInfoValues({{"CFBundleName", "Ombrix"}});
}

TEST_F(PlayerCache, SubtitlePathsMakeOnlyTheSubtitleFolderAndCleaningEmptiesIt) {
  EXPECT_FALSE(support->existFileForLanguage("English"));
  EXPECT_TRUE(QFileInfo(root("Subtitles")).isDir());
  EXPECT_EQ(support->pathForSubtitleLanguageName("English"), root("Subtitles/English"));
  EXPECT_FALSE(QFile::exists(root("Subtitles/English")));
  EXPECT_EQ(support->pathForSubtitleLanguageNameZIP("English"), root("Subtitles/English.zip"));
  EXPECT_EQ(support->pathForSubtitleLanguageName("English", "movie.srt"), root("Subtitles/English/movie.srt"));
  ASSERT_TRUE(QDir().mkpath(support->pathForSubtitleLanguageName("English")));
  ASSERT_TRUE(libtest::writeFile(support->pathForSubtitleLanguageName("English", "movie.srt"), "1\n"));
  EXPECT_TRUE(support->existFileForLanguage("English"));

  support->cleanSubtitleFolder();
  EXPECT_FALSE(QFile::exists(root("Subtitles")));
  EXPECT_FALSE(support->existFileForLanguage("English"));
  support->cleanSubtitleFolder();  // nothing there: nothing happens
}

TEST_F(PlayerCache, NamesFromTheNetworkNeverLeaveTheirFolder) {
  ASSERT_TRUE(libtest::writeFile(tmp.path() + "/Ombrix/secret", "x"));
  for (const QString& name : {QString(".."), QString("."), QString(), QString("../secret"), QString("a/b"),
                              QString("/etc/passwd"), QString("a") + QChar(0) + "b"}) {
    EXPECT_TRUE(support->pathForSubtitleLanguageName(name).isEmpty()) << name.toStdString();
    EXPECT_TRUE(support->pathForSubtitleLanguageNameZIP(name).isEmpty());
    EXPECT_TRUE(support->pathForSubtitleLanguageName("English", name).isEmpty());
    EXPECT_TRUE(support->pathForSubtitleLanguageName(name, "x.srt").isEmpty());
    EXPECT_FALSE(support->existFileForLanguage(name));
  }
  EXPECT_FALSE(support->existFileForLanguage("../../secret"));
  EXPECT_EQ(support->pathForSubtitleLanguageName("a..b"), root("Subtitles/a..b"));
  // Made safe, every such name stays one folder inside "Subtitles".
  for (const QString& name : {QString(".."), QString("."), QString(), QString("../secret"), QString("a\\..\\b"),
                              QString("/etc/passwd"), QString("a") + QChar(0) + "b"}) {
    const QString safe = OXApplicationSupport::safeName(name);
    EXPECT_TRUE(OXApplicationSupport::isSafeName(safe)) << safe.toStdString();
    EXPECT_EQ(QFileInfo(support->pathForSubtitleLanguageName(safe)).path(), root("Subtitles"));
  }
  EXPECT_EQ(OXApplicationSupport::safeName("Brazilian"), "Brazilian");
  // An image whose name would climb out is not stored.
  support->saveMoviePoster500(QImage(4, 4, QImage::Format_RGB32), QUrl("https://img.example/original/%2E%2E"));
  EXPECT_TRUE(QDir(root("Poster500")).isEmpty());
}

TEST_F(PlayerCache, WithoutARootNothingIsMadeOrDeleted) {
  QTemporaryDir cwd;
  ASSERT_TRUE(QDir().mkpath(cwd.path() + "/Subtitles/English"));
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(cwd.path()));
  OXApplicationSupport plain;
  plain.cleanSubtitleFolder();
  EXPECT_TRUE(plain.pathForSubtitleLanguageName("English").isEmpty());
  EXPECT_FALSE(plain.existFileForLanguage("English"));
  EXPECT_TRUE(plain.createAndGetPathWithFilename("x", "Poster500").isEmpty());
  EXPECT_TRUE(plain.loadLibrary().isEmpty());
  QDir::setCurrent(previous);
  EXPECT_TRUE(QFileInfo(cwd.path() + "/Subtitles/English").isDir());
  EXPECT_EQ(plain.get500ModeFromURL(QUrl("https://a/original/b.jpg")), "https://a/w500/b.jpg");
}

TEST_F(PlayerCache, JpegSavesAnswerTheRealResultAndImagesComeBackByUrl) {
  QImage image(32, 16, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  EXPECT_TRUE(OXApplicationSupport::saveImageAsJpeg(image, root("one.jpg")));
  EXPECT_EQ(QImageReader(root("one.jpg")).format(), "jpeg");
  EXPECT_FALSE(OXApplicationSupport::saveImageAsJpeg(image, root("missing/folder/two.jpg")));
  EXPECT_FALSE(OXApplicationSupport::saveImageAsJpeg(QImage(), root("three.jpg")));

  const QUrl url("https://img.example/t/p/original/orchard.jpg");
  support->saveMoviePoster500(image, url);
  EXPECT_TRUE(QFile::exists(root("Poster500/orchard")));
  EXPECT_EQ(support->moviePoster500ForURL(url).size(), QSize(32, 16));
  EXPECT_TRUE(support->moviePoster780ForURL(url).isNull());
  support->saveMoviePoster780(image, url);
  EXPECT_FALSE(support->moviePoster780ForURL(url).isNull());
  support->saveBackdropImage(image, url);
  EXPECT_EQ(support->movieBackdropImageForURL(url).size(), QSize(32, 16));
}

TEST_F(PlayerCache, ListsAreKeptAsPropertyListsForTheDay) {
  EXPECT_TRUE(support->getTopMovieTodayCache().isEmpty());
  const QVariantList top{QVariantMap{{"title", "Quiet Orchard"}, {"year", 1998}, {"rating", 7.5}},
                         QVariantList{"a", true}};
  support->saveTopMovieCache(top);
  const QString name = "topMovieCache_" + QDate::currentDate().toString("dd_MM_yyyy");
  EXPECT_TRUE(QFile::exists(root("DataCache/" + name)));
  const QVariantList back = support->getTopMovieTodayCache();
  ASSERT_EQ(back.size(), 2);
  EXPECT_EQ(back[0].toMap().value("title"), "Quiet Orchard");
  EXPECT_EQ(back[0].toMap().value("year").toInt(), 1998);
  EXPECT_EQ(back[1].toList(), QVariantList({"a", true}));

  EXPECT_TRUE(support->loadLibrary().isEmpty());
  support->saveLibrary({"x", 2});
  EXPECT_TRUE(QFile::exists(root("Library/PlayerLibrary")));
  EXPECT_EQ(support->loadLibrary().size(), 2);
  ASSERT_TRUE(libtest::writeFile(root("Library/PlayerLibrary"), "bplist00 broken"));
  EXPECT_TRUE(support->loadLibrary().isEmpty());
}

}  // namespace
