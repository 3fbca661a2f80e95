#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

#include "core/OXLibrary.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/core/CorePrinters.h"
#include "tests/core/LibraryTestUtil.h"
#include "tests/support/TestUtil.h"

namespace {

using libtest::episode;
using libtest::file;
using libtest::movie;
using libtest::show;

// Counts a notification while alive.
struct Counter {
  explicit Counter(const QString& name) {
    token = ox::NotificationCenter::defaultCenter().addObserver(name, nullptr, [this](const ox::Notification&) {
      ++count;
    });
  }
  ~Counter() { ox::NotificationCenter::defaultCenter().removeObserver(token); }
  std::atomic<int> count{0};
  ox::NotificationCenter::Token token = 0;
};

class Library : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
  std::shared_ptr<OXLibrary> open() { return OXLibrary::libraryWithSupportFolder(tmp.path()); }
  QString storePath(const QString& name) const { return tmp.path() + "/Ombrix/" + name; }
  // Writes a store file with the root keys given.
  void writeArchive(const QString& name, const std::function<void(ox::KeyedArchiver&)>& keys) {
    ox::KeyedArchiver archiver;
    keys(archiver);
    ASSERT_TRUE(libtest::writeFile(storePath(name), archiver.finish()));
  }
  QJsonObject readWithPython(const QString& name) {
    QByteArray out, err;
    const int code = oxtest::runPython(oxtest::sourcePath("tests/core/fixtures/read_library.py"), {storePath(name)},
                                       &out, &err);
    EXPECT_EQ(code, 0) << err.toStdString();
    return QJsonDocument::fromJson(out).object();
  }

  QTemporaryDir tmp;
};

TEST_F(Library, WithoutAFileTheStoreStartsEmptyWithItsDefaults) {
  Counter changed("libraryChanged");
  const auto library = open();
  EXPECT_EQ(changed.count, 1);
  EXPECT_TRUE(library->isLibraryEmpty());
  EXPECT_EQ(library->rootList()->numberOfMovieRootPaths() + library->rootList()->numberOfEpisodesRootPaths(), 0u);
  EXPECT_TRUE(library->movieList().isEmpty() && library->showList().isEmpty() && library->episodeList().isEmpty());
  EXPECT_TRUE(library->unknownMovieList().isEmpty() && library->unknownEpisodeList().isEmpty());
  EXPECT_TRUE(library->cacheShow().isEmpty() && library->ratioList().isEmpty() && library->streamers().isEmpty());
  EXPECT_FALSE(library->lastStreamersUpdate().isValid());
  EXPECT_TRUE(library->listenSoundtracks());
  // Both download dates are at 1970: hundreds of thousands of hours ago.
  EXPECT_GT(library->hoursFromLastUpdateHomeBackdrops(), 400000u);
  EXPECT_GT(library->hoursFromLastUpdateTrailers(), 400000u);

  const QVariantList languages = library->subtitleLanguages();
  ASSERT_EQ(languages.size(), 33);
  EXPECT_EQ(languages.first().toMap().value("LanguageName"), "Arabic");
  EXPECT_EQ(languages.last().toMap().value("LanguageName"), "Turkish");
  QStringList enabled;
  for (const QVariant& v : languages)
    if (v.toMap().value("enable").toBool()) enabled << v.toMap().value("LanguageName").toString();
  EXPECT_EQ(enabled, QStringList({"English", "French", "German", "Italian", "Portuguese", "Spanish"}));
}

TEST_F(Library, ThemeMusicIsOnUnlessTheFileSaysOtherwise) {
  writeArchive("library.bin", [](ox::KeyedArchiver& a) { a.encodeObject(QVariantList(), "movieList"); });
  EXPECT_TRUE(open()->listenSoundtracks());
  writeArchive("library.bin", [](ox::KeyedArchiver& a) { a.encodeBool(false, "listenSoundtracks"); });
  const auto library = open();
  EXPECT_FALSE(library->listenSoundtracks());
  // What the archive lacks takes its default.
  EXPECT_EQ(library->subtitleLanguages().size(), 33);
  EXPECT_GT(library->hoursFromLastUpdateTrailers(), 400000u);
}

TEST_F(Library, AdditionsKeepOneRecordPerFilePathOrShowAndRemovalsTakeThatVeryObject) {
  const auto library = open();
  const auto first = movie("tt1", "/m/a.mkv");
  library->addContent(first);
  library->addContent(movie("tt2", "/m/a.mkv"));
  library->addContent(show(5, "First"));
  library->addContent(show(5, "Second"));
  library->addContent(episode(9, 5, "/s/e1.mkv"));
  library->addContent(episode(9, 5, "/s/e2.mkv"));
  ASSERT_EQ(library->movieList(), OXLibrary::MovieList{first});
  ASSERT_EQ(library->showList().size(), 1);
  EXPECT_EQ(library->showList().first()->title(), "First");
  EXPECT_EQ(library->episodeList().size(), 2);
  EXPECT_TRUE(library->showAlreadyExistInList(show(5)));
  EXPECT_FALSE(library->showAlreadyExistInList(show(6)));

  // A list handed out does not change afterwards.
  const OXLibrary::MovieList before = library->movieList();
  library->addContent(movie("tt3", "/m/b.mkv"));
  EXPECT_EQ(before.size(), 1);
  EXPECT_EQ(library->movieList().size(), 2);

  // Removal compares objects, not values; a removed path can be added again.
  library->removeContent(movie("tt1", "/m/a.mkv"));
  EXPECT_EQ(library->movieList().size(), 2);
  library->removeContent(first);
  EXPECT_EQ(library->movieList().size(), 1);
  library->addContent(movie("tt1", "/m/a.mkv"));
  EXPECT_EQ(library->movieList().size(), 2);
}

TEST_F(Library, UnknownFilesGoToTheListOfTheirKindOnce) {
  const auto library = open();
  const auto m = file(OXFile::kTypeMovie, "/m/x.mkv");
  const auto e = file(OXFile::kTypeEpisode, "/s/y.mkv");
  library->addUnknown(m);
  library->addUnknown(file(OXFile::kTypeMovie, "/m/x.mkv"));
  library->addUnknown(e);
  library->addUnknown(file(2, "/m/z.mkv"));
  library->addUnknown(file(0, "/m/w.mkv"));
  EXPECT_EQ(library->unknownMovieList(), OXLibrary::FileList{m});
  EXPECT_EQ(library->unknownEpisodeList(), OXLibrary::FileList{e});
  // Shows and unknown files leave the library empty.
  library->addContent(show(1));
  EXPECT_TRUE(library->isLibraryEmpty());

  library->removeContent(e);  // from whichever unknown list holds it
  EXPECT_TRUE(library->unknownEpisodeList().isEmpty());
  library->removeUnknown(m);
  EXPECT_TRUE(library->unknownMovieList().isEmpty());
  library->addUnknown(file(OXFile::kTypeMovie, "/m/x.mkv"));
  EXPECT_EQ(library->unknownMovieList().size(), 1);

  library->addUnknownEpisodeToReSearch(e);
  library->addUnknownEpisodeToReSearch(file(OXFile::kTypeEpisode, "/s/y.mkv"));
  EXPECT_EQ(library->unknownEpisodeToReSearch(), OXLibrary::FileList{e});
  library->removeUnknownEpisodeToReSearch(e);
  EXPECT_TRUE(library->unknownEpisodeToReSearch().isEmpty());
  library->addUnknownEpisodeToReSearch(e);
  library->clearUnknownEpisodeToReSearch();
  EXPECT_TRUE(library->unknownEpisodeToReSearch().isEmpty());
}

TEST_F(Library, ClearingEmptiesContentFoldersRatiosAndDatesButKeepsTheChoices) {
  const auto library = open();
  library->rootList()->addURLs({QUrl::fromLocalFile(tmp.path())}, 1);
  library->addContent(movie("tt1", "/m/a.mkv"));
  library->addUnknown(file(OXFile::kTypeEpisode, "/s/u.mkv"));
  library->addUnknownEpisodeToReSearch(file(OXFile::kTypeEpisode, "/s/u.mkv"));
  library->setCachedShow("salt roads", show(4));
  QVariantList languages = library->subtitleLanguages();
  languages[0] = QVariantMap{{"LanguageName", "Arabic"}, {"enable", true}};
  library->setSubtitleLanguages(languages);
  library->setListenSoundtracks(false);
  library->homeBackdropsUpdated();
  library->setRatioForIMDB(0.5f, "tt1");

  library->clearLibrary();
  EXPECT_EQ(library->rootList()->numberOfMovieRootPaths(), 0u);
  EXPECT_TRUE(library->movieList().isEmpty() && library->unknownEpisodeList().isEmpty());
  EXPECT_EQ(library->ratioForIMDB("tt1"), 0.f);
  EXPECT_GT(library->hoursFromLastUpdateHomeBackdrops(), 400000u);
  EXPECT_EQ(library->subtitleLanguages(), languages);
  EXPECT_EQ(library->cachedShow("salt roads")->showID(), 4u);
  EXPECT_FALSE(library->listenSoundtracks());
  EXPECT_EQ(library->unknownEpisodeToReSearch().size(), 1);
  // The ratio file is not touched.
  EXPECT_FLOAT_EQ(open()->ratioForIMDB("tt1"), 0.5f);
}

TEST_F(Library, PathsAreBuiltInTheStoreFolderAndFailWhenItCannotBeMade) {
  const auto library = open();
  EXPECT_EQ(library->pathWithFolder("", "x.bin"), library->pathWithFolder({}, "x.bin"));
  EXPECT_EQ(library->pathWithFolder({}, "x.bin"), storePath("x.bin"));
  EXPECT_EQ(library->pathWithFolder("Updates", "update.bin"), storePath("Updates/update.bin"));
  EXPECT_TRUE(QFileInfo(storePath("Updates")).isDir());
  EXPECT_EQ(library->pathWithFolder("posters", {}), storePath("posters"));

  // A support folder that is a file: nothing can be made under it.
  ASSERT_TRUE(libtest::writeFile(tmp.path() + "/plain", "x"));
  const auto broken = OXLibrary::libraryWithSupportFolder(tmp.path() + "/plain");
  EXPECT_TRUE(broken->pathWithFolder({}, "library.bin").isEmpty());
  EXPECT_FALSE(broken->saveLibrary());
  EXPECT_FALSE(broken->saveRatios());
}

TEST_F(Library, DownloadDatesCountWholeHoursRoundedHalfAway) {
  const QDateTime now = QDateTime::currentDateTimeUtc();
  writeArchive("library.bin", [&](ox::KeyedArchiver& a) {
    a.encodeObject(now.addSecs(-(5 * 3600 + 1800)), "lastHomeBackdropUpdate");
    a.encodeObject(now.addSecs(-(2 * 3600 + 1700)), "lastTrailersUpdate");
  });
  const auto library = open();
  EXPECT_EQ(library->hoursFromLastUpdateHomeBackdrops(), 6u);
  EXPECT_EQ(library->hoursFromLastUpdateTrailers(), 2u);
  library->trailersUpdated();
  EXPECT_EQ(library->hoursFromLastUpdateTrailers(), 0u);
}

TEST_F(Library, SavedLibraryReadsBackEqualWithOneObjectPerRecordAndTheArchiveLayout) {
  {
    const auto library = open();
    library->rootList()->addURLs({QUrl::fromLocalFile("/srv/Movies/")}, 1);
    library->rootList()->addURLs({QUrl::fromLocalFile("/srv/Shows/")}, 3);
    library->addUnknown(file(OXFile::kTypeMovie, "/srv/Movies/odd.mkv"));
    library->addUnknown(file(OXFile::kTypeEpisode, "/srv/Shows/odd.mkv"));
    library->addContent(movie("tt0111161", "/srv/Movies/Quiet.Orchard.1998.mkv"));
    const auto salt = show(81189);
    library->addContent(salt);
    library->addContent(episode(301, 81189, "/srv/Shows/Salt.Roads.S01E01.mkv"));
    library->setCachedShow("salt roads", salt);  // the same object as in the show list
    QVariantList languages = library->subtitleLanguages();
    languages[1] = QVariantMap{{"LanguageName", "Bosnian"}, {"enable", true}};
    library->setSubtitleLanguages(languages);
    library->homeBackdropsUpdated();
    auto streamed = OXMovie::initWithStreamerDictionary({{"id", "tt2"}, {"title", "Long Harbour"},
                                                         {"links", QVariantList{"magnet:?xt=a"}}});
    library->addStreamContent(streamed);
    library->addStreamContent(OXShow::initWithStreamerDictionary({{"id", 7}, {"title", "Tide"}}));
    library->addStreamContent(OXEpisode::initWithStreamerDictionary({{"id", 70}, {"showid", 7}}));
    library->setLastStreamersUpdate(QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC));
    library->setListenSoundtracks(false);
    ASSERT_TRUE(library->saveLibrary());
  }

  const auto library = open();
  EXPECT_EQ(library->rootList()->moviePaths(), QList<QUrl>{QUrl::fromLocalFile("/srv/Movies/")});
  EXPECT_EQ(library->rootList()->episodePaths(), QList<QUrl>{QUrl::fromLocalFile("/srv/Shows/")});
  ASSERT_EQ(library->unknownMovieList().size(), 1);
  EXPECT_EQ(library->unknownMovieList().first()->filePath(), "/srv/Movies/odd.mkv");
  EXPECT_EQ(library->unknownEpisodeList().first()->type(), OXFile::kTypeEpisode);
  ASSERT_EQ(library->movieList().size(), 1);
  const auto m = library->movieList().first();
  EXPECT_EQ(m->imdb(), "tt0111161");
  EXPECT_EQ(m->title(), "Quiet Orchard");
  EXPECT_EQ(m->year(), 1998u);
  EXPECT_FLOAT_EQ(m->rating(), 7.5f);
  EXPECT_EQ(m->file()->filePath(), "/srv/Movies/Quiet.Orchard.1998.mkv");
  EXPECT_EQ(library->episodeList().first()->episodeID(), 301u);
  EXPECT_EQ(library->episodeList().first()->file()->filePath(), "/srv/Shows/Salt.Roads.S01E01.mkv");
  ASSERT_EQ(library->showList().size(), 1);
  EXPECT_EQ(library->cachedShow("salt roads").get(), library->showList().first().get());
  EXPECT_EQ(library->subtitleLanguages().at(1).toMap().value("enable"), true);
  EXPECT_EQ(library->hoursFromLastUpdateHomeBackdrops(), 0u);
  EXPECT_EQ(library->moviesToStreams().first()->links(), QStringList{"magnet:?xt=a"});
  EXPECT_EQ(library->showsToStreams().first()->showID(), 7u);
  EXPECT_EQ(library->episodesToStreams().first()->episodeID(), 70u);
  EXPECT_EQ(library->lastStreamersUpdate(), QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC));
  EXPECT_FALSE(library->listenSoundtracks());
  // The duplicate test knows the loaded records.
  library->addContent(movie("tt9", "/srv/Movies/Quiet.Orchard.1998.mkv"));
  EXPECT_EQ(library->movieList().size(), 1);

  const QJsonObject archive = readWithPython("library.bin");
  EXPECT_EQ(archive["archiver"], "NSKeyedArchiver");
  EXPECT_EQ(archive["version"], 100000);
  EXPECT_EQ(archive["top"].toArray(),
            QJsonArray({"rootList", "unknownMovieList", "unknownEpisodeList", "movieList", "showList", "episodeList",
                        "subtitleLanguages", "lastHomeBackdropUpdate", "lastTrailersUpdate", "cacheShow",
                        "moviesStreamers", "showsStreamers", "episodesStreamers", "lastStreamersUpdate",
                        "listenSoundtracks"}));
  const QJsonObject root = archive["root"].toObject();
  const QJsonObject rootList = root["rootList"].toObject();
  EXPECT_EQ(rootList["$class"], "OXRootList");
  EXPECT_EQ(rootList["$keys"].toArray(), QJsonArray({"moviePaths", "episodePaths"}));
  EXPECT_EQ(rootList["moviePaths"].toArray(), QJsonArray{"file:///srv/Movies/"});
  EXPECT_EQ(root["unknownMovieList"][0]["$class"], "OXFile");
  const QJsonObject m0 = root["movieList"][0].toObject();
  EXPECT_EQ(m0["$class"], "OXMovie");
  EXPECT_EQ(m0["file"]["$class"], "OXFile");
  EXPECT_EQ(root["showList"][0]["$class"], "OXShow");
  EXPECT_EQ(root["episodeList"][0]["$class"], "OXEpisode");
  EXPECT_EQ(root["cacheShow"]["salt roads"]["$uid"], root["showList"][0]["$uid"]);
  EXPECT_EQ(root["subtitleLanguages"][1].toObject(), QJsonObject({{"LanguageName", "Bosnian"}, {"enable", true}}));
  EXPECT_TRUE(root["lastHomeBackdropUpdate"].toObject().contains("$date"));
  EXPECT_EQ(root["lastTrailersUpdate"]["$date"].toDouble(), -978307200.0);
  EXPECT_EQ(root["moviesStreamers"][0]["links"].toArray(), QJsonArray{"magnet:?xt=a"});
  EXPECT_EQ(root["listenSoundtracks"], false);

  // With no streamer refresh the date is left out.
  library->setLastStreamersUpdate({});
  ASSERT_TRUE(library->saveLibrary());
  EXPECT_FALSE(readWithPython("library.bin")["top"].toArray().contains("lastStreamersUpdate"));
}

TEST_F(Library, ADamagedLibraryFileIsMovedAsideAndTheStoreGoesOnEmpty) {
  ASSERT_TRUE(libtest::writeFile(storePath("library.bin"), "bplist00 not really a property list at all"));
  Counter changed("libraryChanged");
  const auto library = open();
  EXPECT_EQ(changed.count, 1);
  EXPECT_TRUE(library->isLibraryEmpty());
  EXPECT_EQ(library->subtitleLanguages().size(), 33);
  EXPECT_FALSE(QFile::exists(storePath("library.bin")));
  EXPECT_EQ(libtest::readFile(storePath("library.bin.corrupt")), "bplist00 not really a property list at all");
  library->addContent(movie("tt1", "/m/a.mkv"));
  ASSERT_TRUE(library->saveLibrary());
  EXPECT_EQ(open()->movieList().size(), 1);

  // A sound archive whose lists hold records of another kind would lose them at the next save: it goes aside whole.
  writeArchive("library.bin", [](ox::KeyedArchiver& a) {
    a.encodeObject(QVariantList{ox::wrapCoding(show(3)), ox::wrapCoding(movie("tt5", "/m/b.mkv")), "text"},
                   "movieList");
    a.encodeObject("not a list", "showList");
  });
  const QByteArray mixedBytes = libtest::readFile(storePath("library.bin"));
  const auto mixed = open();
  EXPECT_TRUE(mixed->movieList().isEmpty());
  EXPECT_FALSE(QFile::exists(storePath("library.bin")));
  const QStringList copies = QDir(storePath("")).entryList({"library.bin.corrupt-*"});
  ASSERT_EQ(copies.size(), 1);
  EXPECT_EQ(libtest::readFile(storePath(copies.first())), mixedBytes);
}

TEST_F(Library, SomethingUnreadableInThePlaceOfAStoreFileIsMovedAsideSoSavesWork) {
  ASSERT_TRUE(QDir().mkpath(storePath("library.bin/inside")));
  ASSERT_TRUE(QDir().mkpath(storePath("ratios.bin")));
  const auto library = open();
  EXPECT_TRUE(library->isLibraryEmpty());
  EXPECT_TRUE(QFileInfo(storePath("library.bin.corrupt/inside")).isDir());
  EXPECT_TRUE(QFileInfo(storePath("ratios.bin.corrupt")).isDir());
  library->addContent(movie("tt1", "/m/a.mkv"));
  EXPECT_TRUE(library->saveLibrary());
  library->setRatioForIMDB(0.25f, "tt1");
  const auto reopened = open();
  EXPECT_EQ(reopened->movieList().size(), 1);
  EXPECT_EQ(reopened->ratioForIMDB("tt1"), 0.25f);
}

TEST_F(Library, PosterAndBackdropEntriesOfACloudMovie) {
  EXPECT_EQ(OXLibrary::posterContent({{"poster", "p.jpg"}, {"posters", "q.jpg"}}), "p.jpg");
  EXPECT_EQ(OXLibrary::posterContent({{"posters", "q.jpg"}}), "q.jpg");
  EXPECT_EQ(OXLibrary::posterContent({{"posters", QVariantList{"a", "b"}}}), "a");
  EXPECT_FALSE(OXLibrary::posterContent({{"posters", QVariantList{}}}).isValid());
  EXPECT_FALSE(OXLibrary::posterContent({}).isValid());
  EXPECT_EQ(OXLibrary::backdropsContent({{"backdrops_Mac", "m"}, {"backdrops", QVariantList{"a"}}}), "m");
  EXPECT_EQ(OXLibrary::backdropsContent({{"backdrops", QVariantList{"1", "2", "3", "4", "5"}}}),
            QVariantList({"1", "2", "3"}));
  EXPECT_EQ(OXLibrary::backdropsContent({{"backdrops", QVariantList{"1"}}}), QVariantList{"1"});
  EXPECT_FALSE(OXLibrary::backdropsContent({{"backdrops", QVariantList{}}}).isValid());
}

TEST_F(Library, MovieListAsJsonLeavesOutAbsentValues) {
  const auto library = open();
  library->addContent(movie("tt1", "/m/Quiet.Orchard.1998.mkv"));
  library->addContent(OXMovie::initWithStreamerDictionary({{"title", "Bare"}}));
  const QVariantList json = library->getMovieListJSON();
  ASSERT_EQ(json.size(), 2);
  const QVariantMap first = json.at(0).toMap();
  EXPECT_EQ(first.value("imdb"), "tt1");
  EXPECT_EQ(first.value("year").toULongLong(), 1998u);
  EXPECT_EQ(first.value("genre").toStringList(), QStringList{"Drama"});
  EXPECT_EQ(first.value("poster"), "https://img.example/t/p/original/orchard.jpg");
  EXPECT_EQ(first.value("filePath"), "/m/Quiet.Orchard.1998.mkv");
  EXPECT_EQ(first.value("fulltext"), "quiet orchard");
  const QVariantMap bare = json.at(1).toMap();
  EXPECT_EQ(bare.value("title"), "Bare");
  for (const char* key : {"imdb", "poster", "soundtrack", "backdrops", "filePath", "fulltext", "genre"})
    EXPECT_FALSE(bare.contains(key)) << key;
  EXPECT_TRUE(bare.contains("rating") && bare.contains("popularity"));
}

TEST_F(Library, HomeBackdropsAreTheJpegFilesOfTheirFolders) {
  const auto library = open();
  EXPECT_TRUE(library->getHomeMovieImagesPath().isEmpty());
  EXPECT_TRUE(QFileInfo(storePath("homeMoviesBackdrops")).isDir());
  for (const char* name : {"homeMoviesBackdrops/b.jpg", "homeMoviesBackdrops/a.JPG", "homeMoviesBackdrops/x/c.jpg",
                           "homeShowsBackdrops/s.jpg", "homeShowsBackdrops/t.png"})
    ASSERT_TRUE(libtest::writeFile(storePath(name), "x"));
  EXPECT_EQ(library->getHomeMovieImagesPath(),
            QStringList({storePath("homeMoviesBackdrops/b.jpg"), storePath("homeMoviesBackdrops/x/c.jpg")}));
  EXPECT_EQ(library->getHomeShowImagesPath(), QStringList{storePath("homeShowsBackdrops/s.jpg")});
}

// ---- watched ratios ---------------------------------------------------------------------------------------------

TEST_F(Library, RatiosAreStoredPerTitleAndSurviveARestart) {
  {
    const auto library = open();
    EXPECT_EQ(library->ratioForIMDB("tt1"), 0.f);
    EXPECT_EQ(library->ratioForEpisodeID(1), 0.f);
    EXPECT_FALSE(QFile::exists(storePath("ratios.bin")));
    library->setRatioForIMDB(0.1f, "tt1");
    library->setRatioForIMDB(0.42f, "tt1");
    library->setRatioEpisodeID(0.7f, 1);
    library->setRatioEpisodeID(0.f, 2);  // marked unwatched: an entry that reads 0
    EXPECT_EQ(library->ratioForIMDB("tt1"), 0.42f);
  }
  const auto library = open();
  EXPECT_EQ(library->ratioForIMDB("tt1"), 0.42f);
  EXPECT_EQ(library->ratioForEpisodeID(1), 0.7f);
  EXPECT_EQ(library->ratioForEpisodeID(2), 0.f);
  EXPECT_EQ(library->ratioForIMDB("1"), 0.f);  // a movie and an episode never share a key
  EXPECT_EQ(library->ratioList().size(), 3);
  EXPECT_EQ(library->ratioList().value("episodeID|2").toMap().value("type"), "episodeID");

  const QJsonObject archive = readWithPython("ratios.bin");
  EXPECT_EQ(archive["top"].toArray(), QJsonArray{"ratioList"});
  const QJsonObject ratios = archive["root"]["ratioList"].toObject();
  EXPECT_EQ(ratios.keys(), QStringList({"episodeID|1", "episodeID|2", "imdbCode|tt1"}));
  EXPECT_EQ(ratios["imdbCode|tt1"]["type"], "imdbCode");
  EXPECT_EQ(ratios["imdbCode|tt1"]["value"], "tt1");
  EXPECT_FLOAT_EQ(float(ratios["imdbCode|tt1"]["ratio"].toDouble()), 0.42f);
  EXPECT_EQ(ratios["episodeID|1"]["value"], 1);
}

TEST_F(Library, ADamagedRatioFileIsMovedAsideAndReadsAsNoRatios) {
  ASSERT_TRUE(libtest::writeFile(storePath("ratios.bin"), QByteArray("\x00\x01garbage", 9)));
  const auto library = open();
  EXPECT_TRUE(library->ratioList().isEmpty());
  EXPECT_TRUE(QFile::exists(storePath("ratios.bin.corrupt")));
  library->setRatioForIMDB(1.f, "tt7");
  EXPECT_EQ(open()->ratioForIMDB("tt7"), 1.f);
}

// ---- the process's store ----------------------------------------------------------------------------------------

// The only test that uses the shared store: its first use must come from here.
TEST(SharedLibrary, IsCreatedOnceAndAnnouncedWhenAnObserverCanAlreadyReachIt) {
  QTemporaryDir data;
  ASSERT_TRUE(data.isValid());
  qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
  std::atomic<int> posted{0};
  std::atomic<OXLibrary*> seen{nullptr};
  auto& centre = ox::NotificationCenter::defaultCenter();
  const auto token = centre.addObserver("libraryChanged", nullptr, [&](const ox::Notification&) {
    seen = OXLibrary::shareLibrary();  // would deadlock if posted while the store was being made
    ++posted;
  });
  std::vector<std::thread> threads;
  std::vector<OXLibrary*> answers(8);
  for (size_t i = 0; i < answers.size(); ++i) threads.emplace_back([&, i] { answers[i] = OXLibrary::shareLibrary(); });
  for (auto& t : threads) t.join();
  centre.removeObserver(token);
  for (OXLibrary* answer : answers) EXPECT_EQ(answer, answers.front());
  EXPECT_EQ(posted, 1);
  EXPECT_EQ(seen, answers.front());
  EXPECT_EQ(answers.front()->pathWithFolder({}, "library.bin"), data.path() + "/Ombrix/library.bin");
}

}  // namespace
