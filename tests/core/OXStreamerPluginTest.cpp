#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/OXLibrary.h"
#include "core/OXStreamerPlugin.h"
#include "platform/foundation/KeyedArchiver.h"
#include "tests/core/CorePrinters.h"
#include "tests/core/LibraryTestUtil.h"

namespace {

class Streamers : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
  QString streamers(const QString& relative = {}) const {
    return tmp.path() + "/Ombrix/streamers" + (relative.isEmpty() ? QString() : "/" + relative);
  }
  void install(const QString& module, const QString& bundle, const QString& name) {
    ASSERT_TRUE(QDir().mkpath(streamers(bundle)));
    ASSERT_TRUE(QFile::copy(module, streamers(bundle + "/" + name)));
  }
  QTemporaryDir tmp;
};

TEST_F(Streamers, OnlyBundlesThatLoadAndAnswerYesAreKept) {
  install(OX_TEST_STREAMER_REFUSED, "A.bundle", "refused.so");
  install(OX_TEST_STREAMER_ADMITTED, "B.bundle", "admitted.so");
  install(OX_TEST_STREAMER_ADMITTED, "B.bundle/Contents/Inner.bundle", "admitted.so");
  install(OX_TEST_STREAMER_ADMITTED, "C.Bundle", "admitted.so");  // not a bundle: the suffix is case-sensitive
  ASSERT_TRUE(libtest::writeFile(streamers("D.bundle/broken.so"), "not a shared object"));
  ASSERT_TRUE(QDir().mkpath(streamers("E.bundle")));  // no code at all

  EXPECT_EQ(OXLibrary::getAllStreamerFilesFromPath(streamers()),
            QStringList({streamers("A.bundle"), streamers("B.bundle"), streamers("B.bundle/Contents/Inner.bundle"),
                         streamers("D.bundle"), streamers("E.bundle")}));

  const auto library = OXLibrary::libraryWithSupportFolder(tmp.path());
  const OXLibrary::StreamerList loaded = library->streamers();
  ASSERT_EQ(loaded.size(), 2);
  EXPECT_EQ(loaded[0]->bundlePath(), streamers("B.bundle"));
  EXPECT_EQ(loaded[1]->bundlePath(), streamers("B.bundle/Contents/Inner.bundle"));

  // The refresh's calls: the instance answers its name and catalogue; terminate reaches the plug-in.
  const OXStreamerPlugin::Instance instance = loaded[0]->plugin();
  ASSERT_TRUE(instance.isValid());
  EXPECT_EQ(instance.name(), "Admitted|" + streamers("B.bundle") + "|0");
  const QStringList movies = instance.getMovieList();
  ASSERT_EQ(movies.size(), 2);
  EXPECT_TRUE(movies[0].startsWith("{\"id\": \"tt0000001\""));
  ASSERT_EQ(instance.getShowList().size(), 1);
  EXPECT_TRUE(instance.getShowList()[0].contains("\"episodes\": [\"{\\\"id\\\": 1}\""));
  loaded[0]->terminate();
  EXPECT_TRUE(instance.name().endsWith("|1"));

  // A refused plug-in answers no instance and no catalogue.
  const auto refused = OXStreamerPlugin::bundleWithPath(streamers("A.bundle"));
  ASSERT_TRUE(refused);
  EXPECT_FALSE(refused->initializeClass(streamers("A.bundle")));
  EXPECT_FALSE(refused->plugin().isValid());
  EXPECT_TRUE(refused->plugin().getMovieList().isEmpty());
  EXPECT_FALSE(OXStreamerPlugin::bundleWithPath(streamers("D.bundle")));

  // Reloading reads the folder again.
  ASSERT_TRUE(QDir(streamers("B.bundle")).removeRecursively());
  library->updateStreamers();
  EXPECT_TRUE(library->streamers().isEmpty());
}

TEST_F(Streamers, WithoutAFolderThereAreNoPluginsAndTheFolderIsMade) {
  const auto library = OXLibrary::libraryWithSupportFolder(tmp.path());
  EXPECT_TRUE(library->streamers().isEmpty());
  EXPECT_TRUE(QFileInfo(streamers()).isDir());
}

TEST_F(Streamers, EqualTitlesMergeTheirLinksAndShowsKeepTheFirst) {
  const auto library = OXLibrary::libraryWithSupportFolder(tmp.path());
  const auto movie = [](const char* link) {
    return OXMovie::initWithStreamerDictionary({{"id", "tt1"}, {"title", "Quiet Orchard"}, {"links", QVariantList{link}}});
  };
  library->addStreamContent(movie("l1"));
  library->addStreamContent(movie("l2"));
  const OXLibrary::MovieList earlier = library->moviesToStreams();
  library->addStreamContent(movie("l1"));
  ASSERT_EQ(library->moviesToStreams().size(), 1);
  EXPECT_EQ(library->moviesToStreams().first()->links(), QStringList({"l1", "l2", "l1"}));
  EXPECT_EQ(library->moviesToStreams().first()->title(), "Quiet Orchard");
  EXPECT_EQ(earlier.first()->links(), QStringList({"l1", "l2"}));  // a list handed out earlier stays as it was
  library->addStreamContent(OXMovie::initWithStreamerDictionary({{"id", "tt2"}}));
  EXPECT_EQ(library->moviesToStreams().size(), 2);

  library->addStreamContent(OXShow::initWithStreamerDictionary({{"id", 7}, {"title", "First"}}));
  library->addStreamContent(OXShow::initWithStreamerDictionary({{"id", 7}, {"title", "Second"}}));
  ASSERT_EQ(library->showsToStreams().size(), 1);
  EXPECT_EQ(library->showsToStreams().first()->title(), "First");

  const auto episode = [](const char* link) {
    return OXEpisode::initWithStreamerDictionary(
        {{"id", 70}, {"showid", 7}, {"links", QVariantList{QString("magnet:?xt=urn:btih:x;dn=Tide.S01E01;tr=") + link}}});
  };
  library->addStreamContent(episode("a"));
  library->addStreamContent(episode("b"));
  ASSERT_EQ(library->episodesToStreams().size(), 1);
  const auto merged = library->episodesToStreams().first();
  EXPECT_EQ(merged->links().size(), 2);
  ASSERT_TRUE(merged->file());
  EXPECT_EQ(merged->file()->fulltext(), "Tide.S01E01");

  library->addStreamContent(libtest::file(1, "/m/x.mkv"));  // not a streamer title
  library->setLastStreamersUpdate(QDateTime::currentDateTimeUtc());
  library->clearStreamsData();
  EXPECT_TRUE(library->moviesToStreams().isEmpty() && library->showsToStreams().isEmpty() &&
              library->episodesToStreams().isEmpty());
  EXPECT_TRUE(library->lastStreamersUpdate().isValid());
}

// Whatever the list held before, loaded from the store or cleared, a merged title goes to the first listed record of
// its key, as a scan of the list finds it: the rest keep their order, and titles without a key are one title.
TEST_F(Streamers, MergedTitlesGoToTheFirstOfTheirKeyAndTheOrderStays) {
  const auto movie = [](const QVariant& id, const char* link) {
    QVariantMap entry{{"links", QVariantList{link}}};
    if (id.isValid()) entry.insert("id", id);
    return OXMovie::initWithStreamerDictionary(entry);
  };
  const auto ids = [](const OXLibrary::MovieList& movies) {
    QStringList out;
    for (const auto& m : movies) out << m->imdb() + ":" + m->links().join(',');
    return out;
  };
  // A file of an earlier store may list a key twice.
  QVariantList stored;
  for (const auto& m : {movie("tt1", "a"), movie("tt2", "b"), movie("tt1", "c")}) stored << ox::wrapCoding(m);
  ASSERT_TRUE(libtest::writeFile(tmp.path() + "/Ombrix/library.bin",
                                 ox::archivedDataWithRootObject(stored, "moviesStreamers")));
  const auto library = OXLibrary::libraryWithSupportFolder(tmp.path());
  ASSERT_EQ(library->moviesToStreams().size(), 3);
  for (const auto& m : {movie("tt1", "d"), movie({}, "e"), movie("tt3", "f"), movie("", "g"), movie("tt2", "h")})
    library->addStreamContent(m);
  EXPECT_EQ(ids(library->moviesToStreams()), QStringList({"tt1:a,d", "tt2:b,h", "tt1:c", ":e,g", "tt3:f"}));

  library->clearStreamsData();
  for (const auto& m : {movie("tt2", "i"), movie("tt1", "j"), movie("tt2", "k")}) library->addStreamContent(m);
  EXPECT_EQ(ids(library->moviesToStreams()), QStringList({"tt2:i,k", "tt1:j"}));
  const struct {
    QVariant id;
    const char* link;
  } episodes[] = {{8, "a"}, {{}, "b"}, {7, "c"}, {0, "d"}, {8, "e"}};
  for (const auto& e : episodes)
    library->addStreamContent(OXEpisode::initWithStreamerDictionary({{"id", e.id}, {"links", QVariantList{e.link}}}));
  QStringList links;
  for (const auto& e : library->episodesToStreams()) links << e->links().join(',');
  EXPECT_EQ(links, QStringList({"a,e", "b,d", "c"}));
}

}  // namespace
