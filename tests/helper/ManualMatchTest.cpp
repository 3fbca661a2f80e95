#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <cstdio>
#include <unistd.h>

#include "core/OXLibrary.h"
#include "helper/OXContentListViewController.h"
#include "helper/OXPanelListController.h"
#include "helper/OXSearchListViewController.h"
#include "platform/foundation/FileName.h"
#include "platform/foundation/Info.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewTag.h"
#include "scanner/OXCoreLibrary.h"
#include "scanner/TVDb.h"
#include "tests/helper/HelperTestSupport.h"
#include "tests/support/StandIn.h"
#include "tests/support/TemporaryDir.h"
#include "tests/support/TestUtil.h"

using helpertest::episodeRecord;
using helpertest::showRecord;

namespace {

QStringList titles(const QAbstractItemModel& model) { return helpertest::modelTitles(model); }

QStringList titles(const OXContentListViewController::Rows& rows) {
  QStringList out;
  for (const auto& row : rows) {
    if (row.isHeader())
      out << row.header;
    else if (auto file = std::dynamic_pointer_cast<OXFile>(row.item))
      out << file->fulltext();
    else if (auto movie = std::dynamic_pointer_cast<OXMovie>(row.item))
      out << movie->title();
  }
  return out;
}

QVariantList queueMessages(int count) { return oxtest::StandIn::shared().waitForRequests("queue", count, 10000); }

// What the store's file says of a file's content: its digests, size and extension, then the identity.
QString expectedMessage(const QString& path, const QString& identity) {
  OXFile fresh(OXFile::kTypeMovie);
  fresh.setFilePath(path);
  return QStringList{fresh.crc32(), fresh.md5(), fresh.sha1(), fresh.os(), "5242880", QFileInfo(path).suffix(),
                     identity}
      .join('.');
}

class ManualMatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(oxtest::StandIn::shared().isRunning());
    helpertest::resetHelperState();
    TVDbClient::sharedInstance().setApiKey("4C7A19E2B05D83F6");
    ASSERT_TRUE(oxtest::spinUntil([] { return !OXCoreLibrary::shareCoreLibrary()->isUpdating(); }, 30000));
    oxtest::StandIn::shared().clear();
  }
  OXLibrary* library() const { return OXLibrary::shareLibrary(); }
  oxtest::TemporaryDir dir;
};

}  // namespace

TEST_F(ManualMatch, AScanFillsTheOpenListAndAFileIdentifiedByHandMovesToItsPlace) {
  OXPanelListController panel;
  OXContentListViewController* list = panel.contentListViewController();
  panel.view()->show();
  panel.setPopUpState(1);
  const QString movies = dir.filePath("Movies");
  const QString unknown = movies + "/Galss Harbour Lights.mkv";
  for (const QString& name : {QString("The Glass Harbour (1998).mkv"), QString("Copper Lanterns 2004.mkv")})
    helpertest::writeVideoFile(movies + "/" + name);
  helpertest::writeVideoFile(unknown);
  int resets = 0;
  QObject::connect(list, &QAbstractItemModel::modelReset, [&] { ++resets; });
  int inserts = 0;
  QObject::connect(list, &QAbstractItemModel::rowsInserted, [&] { ++inserts; });

  // The searches wait until the cycle's opening rebuild of the list is done, so that what they find comes live.
  oxtest::StandIn::shared().fault("search", "delay", -1, {}, 30);
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  engine->addURLsToRootList({QUrl::fromLocalFile(movies + "/")}, 1);
  ASSERT_TRUE(oxtest::spinUntil([&] { return resets > 0; }));
  ASSERT_EQ(inserts, 0);
  oxtest::StandIn::shared().clear();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !engine->isUpdating(); }, 30000));
  ASSERT_TRUE(oxtest::spinUntil([&] { return !list->isSyncing(); }));
  oxtest::spinFor(50);
  const QStringList scanned{"Not recognized", "galss harbour lights", "C", "Copper Lanterns", "T", "The Glass Harbour"};
  EXPECT_EQ(titles(*list), scanned);
  EXPECT_EQ(titles(OXContentListViewController::buildMovieList()), scanned);  // as a rebuild would list them
  EXPECT_GE(inserts, 3);

  // A picture of the panel once the posters are in.
  QWidget* copper = list->cellForKey("tt9000002");
  ASSERT_NE(copper, nullptr);
  QLabel* poster = ox::viewWithTag<QLabel>(copper, 1);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !poster->pixmap().isNull(); }));
  oxtest::spinFor(ox::TableView::kFadeMs + 100);  // the last rows in have faded in
  const QImage shot = panel.view()->grab().toImage();
  QDir().mkpath(OX_BINARY_DIR "/test-frames");
  EXPECT_TRUE(shot.save(OX_BINARY_DIR "/test-frames/helper_lists_after_scan.png"));
  const QPoint centre = poster->mapTo(panel.view(), poster->rect().center());
  EXPECT_NE(shot.pixelColor(centre * shot.devicePixelRatio()), QColor(0xe3, 0xe3, 0xe8));  // the empty frame

  // The unrecognised file by hand: its own title finds nothing, an edited one does.
  QWidget* row = list->contentTableView()->viewAtRow(1);
  auto* identify = qobject_cast<QAbstractButton*>(ox::viewWithTag(row, 4));
  ASSERT_NE(identify, nullptr);
  EXPECT_EQ(identify->text(), "Identify Movie");
  identify->click();
  OXSearchListViewController* search = panel.searchListViewController();
  ASSERT_TRUE(oxtest::spinUntil([&] { return search->message()->text() == "No results were found"; }));
  EXPECT_EQ(panel.popUpTitle()->text(), "Identify Movie");
  search->searchTextField()->setText("Harbour Lights");
  search->search();
  ASSERT_TRUE(oxtest::spinUntil([&] { return search->rowCount() == 2 && !search->contentTableView()->isHidden(); }));
  ASSERT_TRUE(oxtest::spinUntil([&] { return search->contentTableView()->viewAtRow(0) != nullptr; }));
  EXPECT_EQ(std::dynamic_pointer_cast<OXMovie>(search->sourceArray()[0])->imdb(), "tt9000010");  // the 2016 one
  qobject_cast<QAbstractButton*>(ox::viewWithTag(search->contentTableView()->viewAtRow(0), 4))->click();
  EXPECT_EQ(search->message()->text(), "Applying changes");

  ASSERT_TRUE(oxtest::spinUntil([&] { return !panel.isFixing() && titles(*list).contains("Harbour Lights"); }));
  EXPECT_EQ(titles(*list), (QStringList{"C", "Copper Lanterns", "H", "Harbour Lights", "T", "The Glass Harbour"}));
  EXPECT_TRUE(oxtest::spinUntil([&] { return panel.popUpTitle()->text() == "Ombrix Helper"; }));
  EXPECT_TRUE(library()->unknownMovieList().isEmpty());

  // The saved store has it, with the file; the queue has the exact report; the poster came in.
  const auto saved = OXLibrary::libraryWithSupportFolder(ox::applicationSupportDirectory());
  std::shared_ptr<OXMovie> found;
  for (const auto& movie : saved->movieList())
    if (movie->imdb() == "tt9000010") found = movie;
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->file()->filePath(), unknown);
  EXPECT_TRUE(saved->unknownMovieList().isEmpty());
  const QVariantList sent = queueMessages(1);
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent[0].toMap().value("queue").toString(), "MovieHashes");
  EXPECT_EQ(sent[0].toMap().value("message").toString(), expectedMessage(unknown, "tt9000010"));
  engine->waitForDownloads();
  EXPECT_TRUE(QFileInfo::exists(library()->pathWithFolder("posters", "poster_tt9000010.png")));
}

TEST_F(ManualMatch, Latin1NamesAreSearchedAndShownAsTheLettersTheyHold) {
  const QByteArray movies = QFile::encodeName(dir.filePath("Movies"));
  QDir().mkpath(dir.filePath("Movies"));
  const QByteArray known = movies + "/Caf\xe9 No\xebl 2007.mkv", unknown = movies + "/Vid\xe9o du Caf\xe9.mkv";
  for (const QByteArray& name : {known, unknown}) {
    std::FILE* f = std::fopen(name.constData(), "wb");
    ASSERT_TRUE(f);
    std::fclose(f);
    ASSERT_EQ(::truncate(name.constData(), 5 * 1048576), 0);
  }
  OXPanelListController panel;
  OXContentListViewController* list = panel.contentListViewController();
  panel.view()->show();
  panel.setPopUpState(1);
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  engine->addURLsToRootList({QUrl::fromLocalFile(dir.filePath("Movies") + "/")}, 1);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !engine->isUpdating(); }, 30000));
  ASSERT_TRUE(oxtest::spinUntil([&] { return !list->isSyncing(); }));
  oxtest::spinFor(50);
  EXPECT_EQ(titles(*list), (QStringList{"Not recognized", "vidéo du café", "C", "Café Noël"}));
  ASSERT_EQ(library()->movieList().size(), 1);
  EXPECT_EQ(library()->movieList()[0]->imdb(), "tt9000004");
  EXPECT_EQ(ox::encodeFileName(library()->movieList()[0]->file()->filePath()), known);  // still leads to the file
  QWidget* row = list->contentTableView()->viewAtRow(1);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(ox::viewWithTag<QLabel>(row, 3)->toolTip(), "Vidéo du Café.mkv");
}

TEST_F(ManualMatch, AShowFixedByAnotherTakesItsEpisodesAndAnEpisodeMatchedAgainLeavesNoTwin) {
  const QString folder = dir.filePath("Orbit");
  const QStringList files{folder + "/Orbit Station S01E01.mkv", folder + "/Orbit Station S01E02.mkv",
                          folder + "/Orbit Station S02E01.mkv"};
  for (const QString& file : files) helpertest::writeVideoFile(file);
  const auto wrong = showRecord(3310, "Orbit Station");
  library()->addContent(wrong);
  library()->addContent(episodeRecord(4357, 3310, 1, 1, files[0]));
  library()->addContent(episodeRecord(4358, 3310, 1, 2, files[1]));
  library()->addContent(episodeRecord(4366, 3310, 2, 1, files[2]));

  OXPanelListController panel;
  bool done = false;
  panel.fixContent(wrong, showRecord(4402, "Orbit Station"), [&] { done = true; });
  ASSERT_TRUE(oxtest::spinUntil([&] { return done; }, 20000));
  ASSERT_EQ(library()->showList().size(), 1);
  EXPECT_EQ(library()->showList()[0]->showID(), 4402u);
  QMap<quint64, QString> episodes;
  for (const auto& episode : library()->episodeList())
    episodes.insert(episode->episodeID(), episode->file()->filePath());
  EXPECT_EQ(episodes, (QMap<quint64, QString>{{4360, files[0]}, {4361, files[1]}}));
  // The one the right show lacks is unrecognised now, and no longer an episode.
  ASSERT_EQ(library()->unknownEpisodeList().size(), 1);
  EXPECT_EQ(library()->unknownEpisodeList()[0]->filePath(), files[2]);
  QStringList reports;
  for (const QVariant& sent : queueMessages(2))
    reports << sent.toMap().value("queue").toString() + ":" + sent.toMap().value("message").toString().section('.', -1);
  reports.sort();
  EXPECT_EQ(reports, (QStringList{"EpisodeHashes:4360", "EpisodeHashes:4361"}));

  // An episode matched again goes to the new show with its own file; the old record goes.
  std::shared_ptr<OXEpisode> first;
  for (const auto& episode : library()->episodeList())
    if (episode->episodeID() == 4360) first = episode;
  done = false;
  panel.fixContent(first, showRecord(812, "Lantern Street"), [&] { done = true; });
  ASSERT_TRUE(oxtest::spinUntil([&] { return done; }, 20000));
  episodes.clear();
  for (const auto& episode : library()->episodeList())
    episodes.insert(episode->episodeID(), episode->file()->filePath());
  // Its namesake among the unrecognised files follows it.
  EXPECT_EQ(episodes, (QMap<quint64, QString>{{4341, files[0]}, {4345, files[2]}, {4361, files[1]}}));
  EXPECT_TRUE(library()->unknownEpisodeList().isEmpty());
  const auto cached = library()->cachedShow(first->file()->fulltext());
  ASSERT_NE(cached, nullptr);
  EXPECT_EQ(cached->showID(), 812u);
  EXPECT_TRUE(library()->showAlreadyExistInList(showRecord(812, "Lantern Street")));
}
