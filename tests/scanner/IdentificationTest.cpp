#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <atomic>
#include <thread>

#include "platform/foundation/MainQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/UserDefaults.h"
#include "scanner/OXCoreLibrary.h"
#include "scanner/OXScanEpisodesUnknown.h"
#include "scanner/OXScanRoot.h"
#include "scanner/TVDb.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

namespace {

// Every delegate call, with whether it came on the main thread.
class Recorder : public OXCoreLibraryDelegate {
 public:
  struct Event {
    QString text;
    bool onMain;
  };
  void unknownAdded(const std::shared_ptr<OXFile>& file) override { add("unknown " + file->filePath()); }
  void removeUnknown(const std::shared_ptr<OXFile>& file) override { add("removeUnknown " + file->filePath()); }
  void contentAdded(const ox::CodingPtr& item) override {
    if (const auto m = std::dynamic_pointer_cast<OXMovie>(item)) add("movie " + m->imdb());
    if (const auto s = std::dynamic_pointer_cast<OXShow>(item)) add(QStringLiteral("show %1").arg(s->showID()));
    if (const auto e = std::dynamic_pointer_cast<OXEpisode>(item))
      add(QStringLiteral("episode %1").arg(e->episodeID()));
  }
  QList<Event> events() const {
    std::lock_guard hold(mutex_);
    return events_;
  }
  QStringList texts() const {
    QStringList out;
    for (const Event& e : events()) out << e.text;
    return out;
  }

 private:
  void add(const QString& text) {
    std::lock_guard hold(mutex_);
    events_ << Event{text, ox::isMainThread()};
  }
  mutable std::mutex mutex_;
  QList<Event> events_;
};

class Identification : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(standIn().isRunning());
    standIn().clear();
    TVDbClient::sharedInstance().setApiKey(kKey);
    ASSERT_TRUE(dir.isValid());
    library = OXLibrary::libraryWithSupportFolder(dir.filePath("support"));
    recorder = std::make_shared<Recorder>();
    stopsToken = ox::NotificationCenter::defaultCenter().addObserver(
        OXCoreLibrary::kStopScanningState, nullptr, [this](const ox::Notification&) { ++stops; });
  }
  void TearDown() override { ox::NotificationCenter::defaultCenter().removeObserver(stopsToken); }
  static oxtest::StandIn& standIn() { return oxtest::StandIn::shared(); }

  // An engine over the folders "Movies" and "TV", with neither the daily pass nor the streamer refresh due.
  std::unique_ptr<OXCoreLibrary> engineOverFolders() {
    ox::UserDefaults::setValue("lastHashScanTimestamp", QDateTime::currentDateTimeUtc());
    library->setLastStreamersUpdate(QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(library->rootList()->addURLs({QUrl::fromLocalFile(dir.filePath("Movies"))}, 1));
    EXPECT_TRUE(library->rootList()->addURLs({QUrl::fromLocalFile(dir.filePath("TV"))}, 3));
    return std::make_unique<OXCoreLibrary>(library, false);
  }
  // One cycle of the engine, to its end-of-cycle save.
  void cycle(OXCoreLibrary& engine) {
    const int before = stops;
    engine.updateLibrary();
    ASSERT_TRUE(oxtest::spinUntil([&] { return !engine.isUpdating() && stops > before; }, 60000));
  }

  // A sparse video file of 4 MiB and a little more, large enough to be sampled.
  QString video(const QString& relative) {
    const QString path = dir.filePath(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.resize((4 << 20) + 4096));
    return path;
  }
  std::unique_ptr<OXScanRoot> scanRoot(const QString& relative, qint32 type) {
    auto root = OXScanRoot::initWithPath(video(relative), type);
    EXPECT_TRUE(root);
    if (root) {
      root->setLibrary(library);
      root->setDelegate(recorder);
    }
    return root;
  }
  void reidentify() {
    OXScanEpisodesUnknown pass;
    pass.setLibrary(library);
    pass.setDelegate(recorder);
    pass.findUnknownEpisodesBySameFolder();
  }
  // Episode records of the show whose files lie at the given places.
  void listEpisodes(quint64 showID, const QStringList& relatives) {
    int n = 0;
    for (const QString& relative : relatives) {
      auto e = OXEpisode::initWithDictionary({{"id", QStringLiteral("e_%1").arg(showID * 100 + quint64(++n))},
                                              {"fields", QVariantMap{{"showid", QString::number(showID)}}}});
      auto f = OXFile::initWithType(OXFile::kTypeEpisode);
      f->setFilePath(dir.filePath(relative));
      e->setFile(f);
      library->addContent(e);
    }
  }
  std::shared_ptr<OXFile> reSearch(const QString& relative) {
    auto f = OXFile::initWithType(OXFile::kTypeEpisode);
    f->setFilePath(dir.filePath(relative));
    library->addUnknownEpisodeToReSearch(f);
    return f;
  }
  QStringList queries(const QString& service) const {
    QStringList out;
    for (const QVariant& seen : standIn().requests(service)) out << seen.toMap().value("path").toString();
    return out;
  }
  static QString search(const QString& q, char type) {
    return QStringLiteral(
               "/2013-01-01/search?q=%1&return=_all_fields,_score&sort=extpopularity+desc&size=20&fq=type:'%2'&start=0")
        .arg(q)
        .arg(QLatin1Char(type));
  }
  static QString tvdb(int show, int season, int episode) {
    return QStringLiteral("/api/%1/series/%2/default/%3/%4").arg(kKey).arg(show).arg(season).arg(episode);
  }

  static constexpr const char* kKey = "4C7A19E2B05D83F6";
  QTemporaryDir dir;
  std::shared_ptr<OXLibrary> library;
  std::shared_ptr<Recorder> recorder;
  std::atomic<int> stops{0};
  ox::NotificationCenter::Token stopsToken = 0;
};

std::shared_ptr<OXShow> showWithID(quint64 id) {
  return OXShow::initWithDictionary({{"id", QStringLiteral("s_%1").arg(id)}, {"fields", QVariantMap{}}});
}

}  // namespace

TEST_F(Identification, OneWordEmptyTitleHashModeAndBundles) {
  scanRoot("Zzyzx.mkv", 1)->runScan();
  EXPECT_EQ(queries("search"), QStringList({search("zzyzx", 'm')}));  // one attempt
  scanRoot("720p.Untitled.mkv", 1)->runScan();                        // an empty title is not searched
  // Hash mode searches nothing: a movie is announced unknown again, an episode waits for re-identification.
  auto movie = scanRoot("Midnight Orchard.avi", 1);
  movie->setHashMode(true);
  movie->runScan();
  auto episode = scanRoot("TV/Lantern Street/Lantern.Street.S01E02.mkv", 3);
  episode->setHashMode(true);
  episode->runScan();
  EXPECT_EQ(queries("search").size(), 1);
  EXPECT_TRUE(queries("tvdb").isEmpty());
  EXPECT_EQ(recorder->texts(),
            QStringList({"unknown " + dir.filePath("Zzyzx.mkv"), "unknown " + dir.filePath("720p.Untitled.mkv"),
                         "unknown " + dir.filePath("Midnight Orchard.avi")}));
  EXPECT_EQ(library->unknownMovieList().size(), 3);
  EXPECT_EQ(library->unknownEpisodeToReSearch(), OXLibrary::FileList{episode->file()});
  EXPECT_TRUE(library->unknownEpisodeList().isEmpty());

  // Files inside a ".ite" bundle never get an identifier.
  const QString bundled = dir.filePath("Pack.ite/Midnight Orchard.avi");
  EXPECT_FALSE(OXScanRoot::initWithPath(bundled, 1));
  auto file = OXFile::initWithType(1);
  file->setFilePath(bundled);
  EXPECT_FALSE(OXScanRoot::initWithFile(file, 1));
  EXPECT_TRUE(OXScanRoot::initWithFile(library->unknownMovieList()[0], 1));
}

TEST_F(Identification, EpisodesTryCandidatesAndReuseTheShowCache) {
  // The better-ranked Orbit Station (2018) has no episode 2x01; the older one has, and is cached and announced.
  scanRoot("TV/Orbit Station/Orbit.Station.S02E01.mkv", 3)->runScan();
  EXPECT_EQ(queries("search"), QStringList({search("orbit+station", 's')}));
  EXPECT_EQ(queries("tvdb"), QStringList({tvdb(4402, 2, 1), tvdb(3310, 2, 1)}));
  EXPECT_EQ(library->cachedShow("orbit station")->showID(), 3310u);
  // The next file of that title asks no show search and tries the cached show alone; the show is not announced
  // again.
  standIn().clear();
  scanRoot("TV/Orbit Station/Orbit.Station.S01E02.mkv", 3)->runScan();
  EXPECT_TRUE(queries("search").isEmpty());
  EXPECT_EQ(queries("tvdb"), QStringList({tvdb(3310, 1, 2)}));
  EXPECT_EQ(recorder->texts(), QStringList({"show 3310", "episode 4366", "episode 4358"}));
  EXPECT_EQ(library->showList().size(), 1);
  ASSERT_EQ(library->episodeList().size(), 2);
  EXPECT_EQ(library->episodeList()[1]->file()->filePath(), dir.filePath("TV/Orbit Station/Orbit.Station.S01E02.mkv"));

  // A cached show without the episode: the file waits for re-identification; nothing new is cached.
  standIn().clear();
  scanRoot("TV/Orbit Station/Orbit.Station.S03E09.mkv", 3)->runScan();
  // The cut title "orbit" is not cached, so the second attempt searches (with the whole title) and tries both.
  EXPECT_EQ(queries("search"), QStringList({search("orbit+station", 's')}));
  EXPECT_EQ(queries("tvdb"), QStringList({tvdb(3310, 3, 9), tvdb(4402, 3, 9), tvdb(3310, 3, 9)}));
  EXPECT_EQ(library->unknownEpisodeToReSearch().size(), 1);
  EXPECT_EQ(library->cacheShow().size(), 1);
}

TEST(IdentificationRules, ShareOfTheFolder) {
  OXLibrary::EpisodeList list;
  for (int id : {7, 7, 9, 7, 7})
    list << OXEpisode::initWithDictionary({{"id", "e_1"}, {"fields", QVariantMap{{"showid", QString::number(id)}}}});
  const QVariantMap stats = OXScanEpisodesUnknown::populationStadisticsForList(list);
  EXPECT_EQ(stats.value("showID").toULongLong(), 7u);
  EXPECT_GT(double(stats.value("percentage").toFloat()), 0.8);  // four in five passes in single precision
  list.removeLast();
  EXPECT_EQ(OXScanEpisodesUnknown::populationStadisticsForList(list).value("percentage"), 0.75f);
  EXPECT_EQ(OXScanEpisodesUnknown::populationStadisticsForList({}),
            (QVariantMap{{"showID", QString()}, {"percentage", 0}}));
}

TEST_F(Identification, ReidentificationBySameFolder) {
  library->addContent(showWithID(812));
  library->addContent(showWithID(1201));
  // Four in five of Lantern Street, one of them in a sub-folder: passes.
  listEpisodes(812, {"TV/A/1.mkv", "TV/A/2.mkv", "TV/A/3.mkv", "TV/A/Season 2/4.mkv"});
  listEpisodes(1201, {"TV/A/5.mkv"});
  // Three in four: too few.
  listEpisodes(812, {"TV/B/1.mkv", "TV/B/2.mkv", "TV/B/3.mkv"});
  listEpisodes(1201, {"TV/B/4.mkv"});
  // A show that is no longer listed.
  listEpisodes(5150, {"TV/C/1.mkv"});

  const auto passes = reSearch("TV/A/x.s02e03.mkv");
  library->addUnknown(passes);  // sent back by the daily pass: it sits in the unknown list too
  const auto tooFew = reSearch("TV/B/x.s02e03.mkv");
  const auto gone = reSearch("TV/C/x.s01e01.mkv");
  const auto noEpisode = reSearch("TV/A/Season 2/x.s09e09.mkv");
  const auto episodes = library->episodeList().size();
  reidentify();
  EXPECT_EQ(queries("tvdb"), QStringList({tvdb(812, 2, 3), tvdb(812, 9, 9)}));
  // Nothing changes before the main queue runs; the re-search list is settled at once.
  EXPECT_EQ(library->episodeList().size(), episodes);
  EXPECT_TRUE(library->unknownEpisodeToReSearch().isEmpty());
  oxtest::spinUntil([&] { return recorder->events().size() >= 5; });
  QStringList expected{"episode 4347", "removeUnknown " + passes->filePath(), "unknown " + tooFew->filePath(),
                       "unknown " + gone->filePath(), "unknown " + noEpisode->filePath()};
  EXPECT_EQ(recorder->texts(), expected);
  for (const auto& event : recorder->events()) EXPECT_TRUE(event.onMain) << event.text.toStdString();
  EXPECT_EQ(library->episodeList().last()->file(), passes);
  EXPECT_EQ(library->unknownEpisodeList(), (OXLibrary::FileList{tooFew, gone, noEpisode}));

  // Files put on the list while a pass runs stay for the next one.
  const auto first = reSearch("TV/D/x.s01e01.mkv");
  standIn().fault("tvdb", "stall", 1, {}, 1);
  library->addContent(showWithID(2047));
  listEpisodes(2047, {"TV/D/1.mkv"});
  std::thread pass([&] { reidentify(); });
  standIn().waitForRequests("tvdb", 3, 10000);
  const auto late = reSearch("TV/D/y.s01e02.mkv");
  pass.join();
  EXPECT_EQ(library->unknownEpisodeToReSearch(), OXLibrary::FileList{late});
  oxtest::spinUntil([&] { return library->unknownEpisodeList().contains(first); });
}

namespace {

// What the scan engine does with the files of one cycle: one block per new file in one operation, and on its
// completion the re-identification of the episodes that found no show. Answers once the main queue has settled it.
void identifyAsTheEngineDoes(const std::shared_ptr<OXLibrary>& library, const std::shared_ptr<Recorder>& recorder) {
  const std::weak_ptr<OXCoreLibraryDelegate> delegate = recorder;
  auto operation = std::make_shared<ox::Operation>();
  const auto rootList = library->rootList();
  for (const auto& [paths, type] : {std::pair{rootList->getMovieFilesNotScanned(), OXFile::kTypeMovie},
                                    std::pair{rootList->getEpisodeFilesNotScanned(), OXFile::kTypeEpisode}}) {
    for (const QString& path : paths) {
      operation->addExecutionBlock([=] {
        auto root = OXScanRoot::initWithPath(path, type);
        if (!root) return;
        root->setLibrary(library);
        root->setDelegate(delegate);
        root->runScan();
      });
    }
  }
  auto settled = std::make_shared<std::atomic<bool>>(false);
  operation->setCompletionBlock([=] {
    OXScanEpisodesUnknown pass;
    pass.setLibrary(library);
    pass.setDelegate(delegate);
    pass.findUnknownEpisodesBySameFolder();
    ox::dispatchMain([settled] { *settled = true; });
  });
  ox::OperationQueue queue(4);
  queue.addOperation(operation);
  ASSERT_TRUE(oxtest::spinUntil([&] { return settled->load(); }, 60000));
}

}  // namespace

TEST_F(Identification, FolderOfReleasesEndToEnd) {
  const QStringList movies{"Movies/The.Glass.Harbour.1998.1080p.BluRay.x264-GRP.mkv",
                           "Movies/Harbour Lights (1971) [Extended].avi",  // the year picks the older film
                           "Movies/Copper.Lanterns.Remastered.mkv",        // found without its last word
                           "Movies/Midnight Orchard.avi",
                           "Movies/Collection/Salt.&.Pepper.2011.DVDRip.XviD.avi",
                           "Movies/Nobody.Knows.This.Film.2003.mkv",
                           "Movies/Extras.ite/Midnight Orchard.mkv"};  // inside a bundle: skipped
  const QStringList episodes{"TV/Lantern Street/Lantern.Street.S01E02.720p.HDTV.x264.mkv",
                             "TV/Lantern Street/Season 2/03 - Low Tide.avi",
                             "TV/The Quiet Neighbours/the.quiet.neighbours.1x02.mkv",
                             "TV/The Quiet Neighbours/qn.s01e03.mkv",  // no show found: settled by its folder
                             "TV/Comedy/Tom & Jerome/Season 1/Tom & Jerome - 1x03 - The Hinge.mkv",
                             "TV/Lantern/ls.s01e01.mkv",  // "Lantern" does not take in "Lantern Street"
                             "TV/Mystery Show/Mystery.Show.S01E01.mkv"};
  for (const QString& relative : movies + episodes) video(relative);
  const auto rootList = library->rootList();
  ASSERT_TRUE(rootList->addURLs({QUrl::fromLocalFile(dir.filePath("Movies"))}, 1));
  ASSERT_TRUE(rootList->addURLs({QUrl::fromLocalFile(dir.filePath("TV"))}, 3));

  identifyAsTheEngineDoes(library, recorder);

  auto relative = [&](const QString& path) { return path.mid(dir.path().size() + 1); };
  auto fileOf = [&](const auto& record) { return relative(record->file()->filePath()); };
  QMap<QString, QString> found;
  for (const auto& m : library->movieList()) found.insert(fileOf(m), m->imdb());
  EXPECT_EQ(found, (QMap<QString, QString>{{movies[0], "tt9000001"},
                                           {movies[1], "tt9000009"},
                                           {movies[2], "tt9000002"},
                                           {movies[3], "tt9000007"},
                                           {movies[4], "tt9000003"}}));
  found.clear();
  for (const auto& e : library->episodeList())
    found.insert(fileOf(e), QStringLiteral("%1 %2x%3 %4")
                                .arg(e->showID())
                                .arg(e->seasonNumber())
                                .arg(e->episodeNumber())
                                .arg(e->episodeID()));
  EXPECT_EQ(found, (QMap<QString, QString>{{episodes[0], "812 1x2 4342"},
                                           {episodes[1], "812 2x3 4347"},
                                           {episodes[2], "1201 1x2 4349"},
                                           {episodes[3], "1201 1x3 4350"},
                                           {episodes[4], "2047 1x3 4356"}}));
  QList<quint64> shows;
  for (const auto& s : library->showList()) shows << s->showID();
  std::sort(shows.begin(), shows.end());
  EXPECT_EQ(shows, (QList<quint64>{812, 1201, 2047}));
  QStringList unknown;
  for (const auto& f : library->unknownMovieList() + library->unknownEpisodeList()) unknown << relative(f->filePath());
  unknown.sort();
  EXPECT_EQ(unknown, QStringList({movies[5], episodes[5], episodes[6]}));
  EXPECT_TRUE(library->unknownEpisodeToReSearch().isEmpty());

  // Each item is announced once, a show before its episodes; the folder pass speaks on the main thread.
  const QList<Recorder::Event> events = recorder->events();
  QStringList texts = recorder->texts();
  EXPECT_EQ(texts.size(), 5 + 3 + 5 + 3);
  EXPECT_EQ(QSet<QString>(texts.begin(), texts.end()).size(), texts.size());
  for (const auto& [show, episode] : {std::pair{"show 812", "episode 4342"}, std::pair{"show 812", "episode 4347"},
                                      std::pair{"show 1201", "episode 4349"}, std::pair{"show 1201", "episode 4350"},
                                      std::pair{"show 2047", "episode 4356"}})
    EXPECT_LT(texts.indexOf(show), texts.indexOf(episode)) << episode;
  EXPECT_TRUE(events[texts.indexOf("episode 4350")].onMain);
  EXPECT_TRUE(events[texts.indexOf("unknown " + dir.filePath(episodes[6]))].onMain);
  EXPECT_FALSE(events[texts.indexOf("unknown " + dir.filePath(movies[5]))].onMain);

  // The requests, in the forms of the services.
  QStringList searches = queries("search");
  searches.sort();
  QStringList expected{search("the+glass+harbour", 'm'),
                       search("harbour+lights", 'm'),
                       search("copper+lanterns+remastered", 'm'),
                       search("copper+lanterns", 'm'),
                       search("midnight+orchard", 'm'),
                       search("salt+pepper", 'm'),
                       search("nobody+knows+this+film", 'm'),
                       search("nobody+knows+this", 'm'),
                       search("lantern+street", 's'),
                       search("Lantern+Street", 's'),
                       search("the+quiet+neighbours", 's'),
                       search("qn", 's'),
                       search("tom+jerome", 's'),
                       search("ls", 's'),
                       search("mystery+show", 's'),
                       search("mystery+show", 's')};  // the show search keeps the whole title on the second try
  expected.sort();
  EXPECT_EQ(searches, expected);
  QStringList lookUps = queries("tvdb");
  lookUps.sort();
  expected = QStringList{tvdb(812, 1, 2), tvdb(812, 2, 3), tvdb(1201, 1, 2), tvdb(2047, 1, 3), tvdb(1201, 1, 3)};
  expected.sort();
  EXPECT_EQ(lookUps, expected);
}

TEST_F(Identification, FourBlocksAtOnceAnnounceEachShowOnce) {
  for (const QString relative :
       {"TV/Lantern Street/Lantern.Street.S01E01.mkv", "TV/Lantern Street/Lantern.Street.S01E02.mkv",
        "TV/Lantern Street/lantern street 1x03.mkv", "TV/Orbit/Orbit.Station.S01E01.mkv"})
    video(relative);
  for (int round = 0; round < 3; ++round) {
    library = OXLibrary::libraryWithSupportFolder(dir.filePath("support"));
    recorder = std::make_shared<Recorder>();
    ASSERT_TRUE(library->rootList()->addURLs({QUrl::fromLocalFile(dir.filePath("TV"))}, 3));
    identifyAsTheEngineDoes(library, recorder);
    const QStringList texts = recorder->texts();
    QStringList sorted = texts;
    sorted.sort();
    EXPECT_EQ(sorted,
              QStringList({"episode 4242", "episode 4341", "episode 4342", "episode 4360", "show 4402", "show 812"}));
    for (const char* episode : {"episode 4341", "episode 4342", "episode 4242"})
      EXPECT_LT(texts.indexOf("show 812"), texts.indexOf(episode));
    EXPECT_EQ(library->showList().size(), 2);
    EXPECT_EQ(library->episodeList().size(), 4);
  }
}

// The search service answers errors, then TheTVDB is down: the files met meanwhile are filed nowhere, and each
// cycle after the services came back identifies them. Only a real empty answer makes a file unknown.
TEST_F(Identification, FilesMetDuringAnOutageAreIdentifiedAtTheNextCycle) {
  const QStringList movies{"Movies/The.Glass.Harbour.1998.mkv", "Movies/Midnight Orchard.avi",
                           "Movies/Nobody.Knows.This.Film.2003.mkv"};
  const QString episode = "TV/Lantern Street/Lantern.Street.S01E02.mkv";
  for (const QString& relative : movies + QStringList{episode}) video(relative);
  const auto engine = engineOverFolders();
  const auto listed = [&] {
    return QStringLiteral("%1 movies, %2 episodes, %3 unknown")
        .arg(library->movieList().size())
        .arg(library->episodeList().size())
        .arg(library->unknownMovieList().size() + library->unknownEpisodeList().size());
  };

  ::testing::internal::CaptureStderr();
  // An error status is no answer, even with a body shaped as an empty one.
  ASSERT_TRUE(standIn()
                  .command({{"cmd", "fault"}, {"service", "search"}, {"kind", "answer"}, {"status", 503}, {"count", -1},
                            {"body", R"({"hits": {"found": 0, "start": 0, "hit": []}})"}})
                  .value("ok")
                  .toBool());
  cycle(*engine);
  EXPECT_EQ(listed().toStdString(), "0 movies, 0 episodes, 0 unknown");
  standIn().clear();
  ASSERT_TRUE(standIn().fault("search", "500"));
  cycle(*engine);
  EXPECT_EQ(listed().toStdString(), "0 movies, 0 episodes, 0 unknown");
  standIn().clear();
  ASSERT_TRUE(standIn().fault("tvdb", "close"));
  cycle(*engine);
  EXPECT_EQ(listed().toStdString(), "2 movies, 0 episodes, 1 unknown");
  standIn().clear();
  cycle(*engine);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(listed().toStdString(), "2 movies, 1 episodes, 1 unknown");
  ASSERT_EQ(library->unknownMovieList().size(), 1);
  EXPECT_EQ(library->unknownMovieList().first()->filePath(), dir.filePath(movies[2]));
}

// A title with nothing to search is not searched, a title the service refuses for good (stop words alone, a 404, a
// 422) finds nothing: after one cycle all of them are listed as not recognised. A service that asks to be asked later
// (408, 429) has answered nothing, and the next cycle searches that file again.
TEST_F(Identification, TitlesThatCannotBeFoundAreNotRecognisedAfterOneCycle) {
  const QStringList unknown{"Movies/a.mkv", QStringLiteral("Movies/\u0001.mkv"), "Movies/Gone Film.mkv",
                            "Movies/Malformed Film.mkv", "TV/The.S01E01.mkv"};
  const QStringList later{"Movies/Throttled Film.mkv", "Movies/Slow Film.mkv"};
  for (const QString& relative : unknown + later) video(relative);
  const auto answer = [](int status, const QString& path) {
    return standIn()
        .command({{"cmd", "fault"}, {"service", "search"}, {"kind", "answer"}, {"status", status}, {"count", -1},
                  {"path", path}, {"body", "<html>no</html>"}, {"contentType", "text/html"}})
        .value("ok")
        .toBool();
  };
  ASSERT_TRUE(answer(404, "gone"));
  ASSERT_TRUE(answer(422, "malformed"));
  ASSERT_TRUE(answer(429, "throttled"));
  ASSERT_TRUE(answer(408, "slow"));
  const auto engine = engineOverFolders();
  engine->setDelegate(recorder);
  const auto listed = [&] {
    QStringList paths;
    for (const auto& file : library->unknownMovieList() + library->unknownEpisodeList())
      paths << QDir(dir.path()).relativeFilePath(file->filePath());
    paths.sort();
    return paths;
  };

  ::testing::internal::CaptureStderr();
  cycle(*engine);
  QStringList expected = unknown;
  expected.sort();
  EXPECT_EQ(listed(), expected);
  EXPECT_EQ(recorder->texts().filter("unknown ").size(), unknown.size());
  EXPECT_TRUE(queries("search").filter("q=%01").isEmpty());  // nothing to search, nothing sent

  standIn().clear();
  cycle(*engine);
  ::testing::internal::GetCapturedStderr();
  expected = unknown + later;
  expected.sort();
  EXPECT_EQ(listed(), expected);
  EXPECT_EQ(queries("search").size(), 2 * later.size());  // the two waiting files alone, each title and a word less
}
