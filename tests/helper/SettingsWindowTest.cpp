#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/OXLibrary.h"
#include "helper/OXAppleRemoteController.h"
#include "helper/OXDragDropView.h"
#include "helper/OXPanelListController.h"
#include "helper/OXServer.h"
#include "helper/OXSettingsWindowController.h"
#include "helper/OXSourceTableController.h"
#include "helper/OXSubtitleTableController.h"
#include "platform/foundation/FileName.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/LoginItem.h"
#include "platform/system/SoftwareUpdater.h"
#include "platform/system/Workspace.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewTag.h"
#include "scanner/OXCoreLibrary.h"
#include "tests/helper/HelperTestSupport.h"
#include "tests/support/StandIn.h"
#include "tests/support/TemporaryDir.h"
#include "tests/support/TestUtil.h"

namespace {

const QString kHelperID = QStringLiteral("Varnel.OmbrixHelper");

// Drags `urls` over the drop zone to `x` (window coordinates) and lets go; answers whether the zone took the drag.
bool dropFolders(OXDragDropView* zone, const QList<QUrl>& urls, int x) {
  QMimeData data;
  data.setUrls(urls);
  const QPoint at(x, 120);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(zone, &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(zone, &move);
  // Where it is let go does not count: the last move does.
  QDropEvent drop(QPointF(0, 0), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(zone, &drop);
  return drop.isAccepted();
}

QString countsOfRow(OXSourceTableController* table, int row) {
  auto* label = ox::viewWithTag<QLabel>(table->sourceTable()->viewAtRow(row), 3);
  return label ? label->text() : QString();
}

int rowTitled(const QAbstractItemModel& model, const QString& title) {
  for (int row = 0; row < model.rowCount(); ++row)
    if (model.index(row, 0).data().toString() == title) return row;
  return -1;
}

QCheckBox* languageBox(OXSubtitleTableController* languages, const QString& name) {
  const int row = rowTitled(*languages, name);
  languages->tableView()->scrollTo(languages->index(row, 0));
  QWidget* view = nullptr;
  oxtest::spinUntil([&] { return (view = languages->tableView()->viewAtRow(row)) != nullptr; });
  return ox::viewWithTag<QCheckBox>(view, 1);
}

bool enabledInFile(const QString& name) {
  OXLibrary::shareLibrary()->waitForSaves();
  const auto stored = OXLibrary::libraryWithSupportFolder({});
  for (const QVariant& entry : stored->subtitleLanguages())
    if (entry.toMap().value("LanguageName").toString() == name) return entry.toMap().value("enable").toBool();
  ADD_FAILURE() << "no language " << qPrintable(name);
  return false;
}

// A click on the box itself, not on the empty part of its row.
void tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); }

void showPage(OXSettingsWindowController& settings, int tag) {
  OXPanelListController::bringWindowForward(settings.window());
  settings.switchView(tag);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !settings.isSwitchingView(); }));
}

// An empty helper whose engine is idle, with the settings window of its panel list on the sources page. The panel
// list is the engine's delegate: what the scan lists reaches the counts through it. None when the engine stays busy.
std::unique_ptr<OXPanelListController> panelListOnSources() {
  helpertest::resetHelperState();
  if (!oxtest::spinUntil([] { return !OXCoreLibrary::shareCoreLibrary()->isUpdating(); }, 60000)) return nullptr;
  auto list = std::make_unique<OXPanelListController>();
  showPage(*list->settingsWindowController(), OXSettingsWindowController::kSourcesTag);
  return list;
}

}  // namespace

TEST(SourceFolders, ADroppedFolderIsScannedAndARemovedOneLeavesTheLibrary) {
  ASSERT_TRUE(oxtest::StandIn::shared().isRunning());
  const auto list = panelListOnSources();
  ASSERT_TRUE(list);
  OXSettingsWindowController& settings = *list->settingsWindowController();
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  OXSourceTableController* movies = settings.movieSourceTableController();
  OXSourceTableController* shows = settings.showSourceTableController();
  ASSERT_EQ(movies->rowCount(), 1);
  EXPECT_EQ(movies->index(0, 0).data().toString(), "Movies");
  EXPECT_FALSE(movies->segment(OXSourceTableController::kRemoveSegment)->isEnabled());
  EXPECT_FALSE(movies->flags(movies->index(0, 0)) & Qt::ItemIsSelectable);

  QTemporaryDir home;
  const QString folder = home.filePath("Films");
  helpertest::writeVideoFile(folder + "/Garden.mkv");
  helpertest::writeVideoFile(home.filePath("Films2/Other.mkv"));  // a sibling: not the folder's
  QDir().mkpath(home.filePath("Series"));

  // A drag holding a file is refused as a whole.
  const QList<QUrl> mixed{QUrl::fromLocalFile(folder), QUrl::fromLocalFile(folder + "/Garden.mkv")};
  EXPECT_FALSE(dropFolders(settings.dragDropView(), mixed, 100));
  EXPECT_FALSE(settings.dragDropView()->isDragZone());
  // So is one holding no folder at all.
  QMimeData text;
  text.setText(folder);
  QDragEnterEvent enter(QPoint(100, 120), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(settings.dragDropView(), &enter);
  EXPECT_FALSE(enter.isAccepted());
  EXPECT_FALSE(settings.dragDropView()->isDragZone());

  // Left of the line, a movie folder: both tables reload, and the scan that follows lists its file.
  ASSERT_TRUE(dropFolders(settings.dragDropView(), {QUrl::fromLocalFile(folder)}, 256));
  EXPECT_FALSE(settings.dragDropView()->isDragZone());
  EXPECT_EQ(settings.dragDropView()->draggedImageLocation(), QPointF());
  const auto roots = OXLibrary::shareLibrary()->rootList();
  ASSERT_EQ(roots->moviePaths().size(), 1);
  EXPECT_EQ(OXRootList::canonicalFolderPath(roots->moviePaths()[0]), folder);
  EXPECT_TRUE(roots->episodePaths().isEmpty());
  ASSERT_EQ(movies->rowCount(), 2);
  EXPECT_EQ(movies->index(1, 0).data().toString(), "Films");
  EXPECT_EQ(shows->rowCount(), 1);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !engine->isUpdating(); }, 30000));
  ASSERT_EQ(OXLibrary::shareLibrary()->unknownMovieList().size(), 1);
  EXPECT_TRUE(oxtest::spinUntil([&] { return countsOfRow(movies, 1) == "1 Total, 1 not recognized"; }))
      << qPrintable(countsOfRow(movies, 1));

  // Right of the line, a TV-show folder.
  ASSERT_TRUE(dropFolders(settings.dragDropView(), {QUrl::fromLocalFile(home.filePath("Series"))}, 257));
  EXPECT_EQ(roots->episodePaths().size(), 1);
  EXPECT_EQ(shows->rowCount(), 2);
  EXPECT_EQ(movies->rowCount(), 2);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !engine->isUpdating(); }, 30000));

  // The folder row clicked and the remove segment pressed: the folder goes, and the next scan purges its file.
  QWidget* row = movies->sourceTable()->viewAtRow(1);
  ASSERT_NE(row, nullptr);
  QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(60, 20));
  ASSERT_TRUE(movies->segment(OXSourceTableController::kRemoveSegment)->isEnabled());
  QTest::mouseClick(movies->segment(OXSourceTableController::kRemoveSegment), Qt::LeftButton);
  EXPECT_TRUE(roots->moviePaths().isEmpty());
  EXPECT_EQ(movies->rowCount(), 1);
  EXPECT_FALSE(movies->segment(OXSourceTableController::kRemoveSegment)->isEnabled());
  ASSERT_TRUE(oxtest::spinUntil([&] { return !engine->isUpdating(); }, 30000));
  EXPECT_TRUE(OXLibrary::shareLibrary()->unknownMovieList().isEmpty());
  EXPECT_EQ(roots->episodePaths().size(), 1);
}

// A folder named in Latin-1 (an old disk, a share) comes from a file manager as the URL of its bytes: it is added as
// it is on disk, its film is found, identified and served, and the row shows its name as people read it.
TEST(SourceFolders, ALatin1FolderDroppedIsScannedIdentifiedAndServed) {
  ASSERT_TRUE(oxtest::StandIn::shared().isRunning());
  const auto list = panelListOnSources();
  ASSERT_TRUE(list);
  OXSettingsWindowController& settings = *list->settingsWindowController();
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();

  oxtest::TemporaryDir home;
  const QByteArray folder = QFile::encodeName(home.path()) + "/Caf\xe9 Films";
  ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
  QByteArray film(3 * 1024 * 1024 + 5, Qt::Uninitialized);
  for (qsizetype i = 0; i < film.size(); ++i) film[i] = char(i * 7 + i / 4093);
  QFile out;
  const int fd = ::open((folder + "/Caf\xe9 No\xebl 2007.mkv").constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  ASSERT_TRUE(fd >= 0 && out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
  ASSERT_EQ(out.write(film), film.size());
  out.close();

  const QUrl dropped = QUrl::fromEncoded("file://" + folder.toPercentEncoding("/"));
  ASSERT_TRUE(dropFolders(settings.dragDropView(), {dropped}, 100));
  const auto roots = OXLibrary::shareLibrary()->rootList();
  ASSERT_EQ(roots->moviePaths().size(), 1);
  EXPECT_EQ(ox::encodeFileName(OXRootList::canonicalFolderPath(roots->moviePaths()[0])), folder);
  EXPECT_EQ(roots->moviePaths()[0].toString(QUrl::FullyEncoded), dropped.toString(QUrl::FullyEncoded) + "/");
  ASSERT_TRUE(oxtest::spinUntil([&] { return !engine->isUpdating(); }, 30000));
  const QList<std::shared_ptr<OXMovie>> movies = OXLibrary::shareLibrary()->movieList();
  ASSERT_EQ(movies.size(), 1);
  EXPECT_EQ(movies[0]->imdb(), "tt9000004");
  EXPECT_TRUE(OXLibrary::shareLibrary()->unknownMovieList().isEmpty());
  OXSourceTableController* table = settings.movieSourceTableController();
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->index(1, 0).data().toString(), "Caf\u00e9 Films");
  EXPECT_TRUE(oxtest::spinUntil([&] { return countsOfRow(table, 1) == "1 Total, 0 not recognized"; }))
      << qPrintable(countsOfRow(table, 1));

  OXServer server(OXLibrary::shareLibrary(), 0, false);
  ASSERT_GT(server.port(), 0);
  ox::HttpRequest request;
  request.url = QUrl(QStringLiteral("http://127.0.0.1:%1/movies/tt9000004").arg(server.port()));
  request.headers.append({QByteArray("Connection"), QByteArray("close")});
  const ox::HttpResponse served = ox::httpPerform(request);
  EXPECT_EQ(served.status, 200);
  EXPECT_TRUE(served.body == film) << served.body.size();
}

TEST(SourceFolders, TheFolderChooserAddsTheChosenFolderAndCancelAddsNothing) {
  helpertest::resetHelperState();
  OXSettingsWindowController settings;
  showPage(settings, OXSettingsWindowController::kSourcesTag);
  OXSourceTableController* shows = settings.showSourceTableController();
  QTemporaryDir series;
  for (const bool confirm : {false, true}) {
    QTest::mouseClick(shows->segment(OXSourceTableController::kAddSegment), Qt::LeftButton);
    QFileDialog* chooser = shows->openPanel();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->parentWidget(), settings.window());
    chooser->setDirectory(series.path());
    chooser->selectFile(series.path());
    QDialog* dialog = chooser;  // its accept() checks the choice, as its Open button does
    confirm ? dialog->accept() : dialog->reject();
    ASSERT_TRUE(oxtest::spinUntil([&] { return shows->openPanel() == nullptr; }));
    EXPECT_EQ(OXLibrary::shareLibrary()->rootList()->episodePaths().size(), confirm ? 1 : 0);
    EXPECT_EQ(shows->rowCount(), confirm ? 2 : 1);
  }
  EXPECT_TRUE(OXLibrary::shareLibrary()->rootList()->moviePaths().isEmpty());
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !engine->isUpdating(); }, 30000));
}

TEST(SourceFolders, CountsKeepToTheFolderAndNamesShowWhole) {
  helpertest::resetHelperState();
  OXLibrary* library = OXLibrary::shareLibrary();
  library->addUnknown(helpertest::fileAt("/media/Movies/a.mkv", 1));
  library->addUnknown(helpertest::fileAt("/media/Movies2/b.mkv", 1));
  library->addContent(helpertest::movieRecord("tt9000001", "Glass", "/media/Movies/inner/c.mkv"));
  library->addContent(helpertest::episodeRecord(7, 70, 1, 1, "/media/Movies/d.S01E01.mkv"));  // a show table's
  OXSourceTableController movies(1, nullptr);
  for (const QUrl& url : {QUrl("file:///media/Movies/"), QUrl("file:///media/Movies")}) {
    EXPECT_EQ(movies.numberOfFilesInPath(url), 2u) << qPrintable(url.toString());
    EXPECT_EQ(movies.numberOfUnknownInPath(url), 1u);
  }
  EXPECT_EQ(movies.numberOfFilesInPath(QUrl("http://example.test/media/Movies/")), 0u);
  OXSourceTableController shows(2, nullptr);
  EXPECT_EQ(shows.type(), 3);
  EXPECT_EQ(shows.numberOfFilesInPath(QUrl("file:///media/Movies/")), 1u);
  EXPECT_EQ(shows.numberOfUnknownInPath(QUrl("file:///media/Movies/")), 0u);

  EXPECT_EQ(OXSourceTableController::nameOfSource(QUrl("file:///media/My%20Films/")), "My Films");
  EXPECT_EQ(OXSourceTableController::nameOfSource(QUrl("file:///media/Films.HD/")), "Films.HD");
  EXPECT_EQ(OXSourceTableController::nameOfSource(QUrl("file:///")), "/");
  library->clearLibrary();
}

TEST(SubtitleLanguages, ASwitchedLanguageMovesToItsPlaceAndReachesTheLibraryFile) {
  helpertest::resetHelperState();
  OXLibrary* library = OXLibrary::shareLibrary();
  library->setSubtitleLanguages(OXLibrary::defaultLanguagesDictionary());
  OXSettingsWindowController settings;
  showPage(settings, OXSettingsWindowController::kSubtitlesTag);
  OXSubtitleTableController* languages = settings.subtitleTableController();
  ASSERT_EQ(languages->rowCount(), 35);
  const int enabled = int(languages->enableArray().size());
  ASSERT_EQ(enabled, 6);
  EXPECT_EQ(languages->index(enabled + 1, 0).data().toString(), "Disabled Languages");

  // Ticked, a disabled language goes to its alphabetical place among the enabled ones, and into the file.
  ASSERT_FALSE(enabledInFile("Dutch"));
  QCheckBox* dutch = languageBox(languages, "Dutch");
  ASSERT_NE(dutch, nullptr);
  EXPECT_EQ(dutch->text(), "    Dutch");
  tick(dutch);
  const QStringList rows = helpertest::modelTitles(*languages);
  EXPECT_EQ(rows.mid(0, 9), (QStringList{"Enabled Languages", "Dutch", "English", "French", "German", "Italian",
                                         "Portuguese", "Spanish", "Disabled Languages"}));
  EXPECT_TRUE(enabledInFile("Dutch"));

  // Unticked, it goes back among the disabled ones; nothing is ever selected.
  QCheckBox* again = languageBox(languages, "Dutch");
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->isChecked());
  tick(again);
  EXPECT_EQ(languages->enableArray().size(), 6);
  EXPECT_FALSE(enabledInFile("Dutch"));
  EXPECT_EQ(settings.subtitleTableView()->selectionMode(), QAbstractItemView::NoSelection);

  // "Disable All" empties the enabled section, and the file says so too.
  QTest::mouseClick(settings.disableAllButton(), Qt::LeftButton);
  EXPECT_TRUE(languages->enableArray().isEmpty());
  EXPECT_EQ(languages->index(1, 0).data().toString(), "Disabled Languages");
  EXPECT_FALSE(enabledInFile("English"));
  for (const QVariant& entry : library->subtitleLanguages()) EXPECT_FALSE(entry.toMap().value("enable").toBool());
  library->setSubtitleLanguages(OXLibrary::defaultLanguagesDictionary());
  library->saveLibrary();
}

TEST(SettingsWindow, EachControlActsAtOnce) {
  helpertest::resetHelperState();
  ox::UserDefaults::setValue("controlAppleRemote", true);
  ox::UserDefaults::setValue("refreshTime", 9);  // an edited value outside the choices
  OXSettingsWindowController settings;
  showPage(settings, OXSettingsWindowController::kGeneralTag);
  EXPECT_TRUE(settings.controlAppleRemoteButton()->isChecked());
  EXPECT_EQ(settings.refreshTimeButton()->currentIndex(), 0);
  EXPECT_FALSE(settings.startAtLoginButton()->isChecked());

  // The login item: written on, removed off.
  const QString autostart = ox::LoginItem::desktopFilePath(kHelperID);
  tick(settings.startAtLoginButton());
  EXPECT_TRUE(QFile::exists(autostart));
  EXPECT_TRUE(ox::LoginItem::isInLoginItems(kHelperID));
  tick(settings.startAtLoginButton());
  EXPECT_FALSE(QFile::exists(autostart));
  // A login item that cannot be written leaves the box off.
  const QString folder = QFileInfo(autostart).absolutePath();
  ASSERT_TRUE(QDir().rmdir(folder));
  {
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  }
  tick(settings.startAtLoginButton());
  EXPECT_FALSE(settings.startAtLoginButton()->isChecked());
  QFile::remove(folder);

  // The refresh interval: the index chosen is stored, and the engine's timer follows it.
  helpertest::NotificationCounter posts({"timeRefreshUpdated", "AppleRemoteChangeNotification"});
  settings.refreshTimeButton()->setFocus();
  for (int i = 0; i < 3; ++i) QTest::keyClick(settings.refreshTimeButton(), Qt::Key_Down);
  EXPECT_EQ(ox::UserDefaults::value("refreshTime").toInt(), 3);
  EXPECT_EQ(posts.count("timeRefreshUpdated"), 3);
  ASSERT_TRUE(oxtest::spinUntil([] { return OXCoreLibrary::shareCoreLibrary()->timerInterval() == 3600; }));
  settings.readSettings();
  EXPECT_EQ(settings.refreshTimeButton()->currentIndex(), 3);

  // The remote: the controller hears the box and keeps the setting.
  OXAppleRemoteController remote;
  tick(settings.controlAppleRemoteButton());
  EXPECT_EQ(posts.count("AppleRemoteChangeNotification"), 1);
  EXPECT_FALSE(ox::UserDefaults::value("controlAppleRemote").toBool());

  // Theme music changes the library's flag at once, and the file with it.
  OXLibrary* library = OXLibrary::shareLibrary();
  ASSERT_TRUE(library->listenSoundtracks());
  tick(settings.listenSoundtrackButton());
  EXPECT_FALSE(library->listenSoundtracks());
  EXPECT_FALSE(settings.listenSoundtrackButton()->isChecked());
  library->waitForSaves();
  EXPECT_FALSE(OXLibrary::libraryWithSupportFolder({})->listenSoundtracks());
  library->setListenSoundtracks(true);
  library->saveLibrary();

  // Updates: the box sets the updater's choice, and reads it again when another program changed it.
  tick(settings.updatesAutomaticallyButton());
  EXPECT_TRUE(ox::SoftwareUpdater::shared().automaticallyChecksForUpdates());
  ox::SoftwareUpdater::shared().setAutomaticallyChecksForUpdates(false);
  settings.refreshUpdatesAutomaticallyButtonState();
  EXPECT_FALSE(settings.updatesAutomaticallyButton()->isChecked());

  QList<QUrl> opened;
  ox::Workspace::shared().setURLOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  for (int tag : {1, 2, 3}) settings.openURL(tag);
  ox::Workspace::shared().setURLOpener({});
  EXPECT_EQ(opened, (QList<QUrl>{QUrl(OXSettingsWindowController::kMovieDatabaseSite),
                                 QUrl(OXSettingsWindowController::kTVDbSite)}));
  EXPECT_TRUE(settings.versionLabel()->text().contains("themoviedb.org"));
  EXPECT_EQ(OXSettingsWindowController::versionLine("1.2"),
            "Ombrix 1.2 - We use  themoviedb.org  and  thetvdb.com  for some data!");
}

TEST(SettingsWindow, TabsResizeTheWindowUnderAFixedTopEdge) {
  helpertest::resetHelperState();
  OXSettingsWindowController settings;
  showPage(settings, OXSettingsWindowController::kSubtitlesTag);
  QMainWindow* window = settings.window();
  const QRect tall = window->geometry();
  EXPECT_EQ(settings.contentView(), settings.subtitlesView());

  settings.switchView(OXSettingsWindowController::kGeneralTag);
  EXPECT_TRUE(settings.isSwitchingView());
  EXPECT_NE(settings.contentView(), settings.generalView());  // a blank while the size changes
  ASSERT_TRUE(oxtest::spinUntil([&] { return !settings.isSwitchingView(); }));
  const QRect shorter = window->geometry();
  EXPECT_EQ(shorter.top(), tall.top());
  EXPECT_EQ(shorter.left(), tall.left());
  EXPECT_EQ(tall.height() - shorter.height(), settings.subtitlesView()->height() - settings.generalView()->height());
  EXPECT_EQ(shorter.width(), settings.generalView()->width());
  EXPECT_EQ(settings.contentView(), settings.generalView());
  EXPECT_EQ(settings.tagSelected(), OXSettingsWindowController::kGeneralTag);

  // Any other tag is the subtitles page; the sources open from the panel's message land on their tab.
  EXPECT_EQ(settings.viewForTag(7), settings.subtitlesView());
  settings.showSources();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !settings.isSwitchingView(); }));
  EXPECT_EQ(settings.contentView(), settings.sourcesView());
  EXPECT_TRUE(settings.toolbarItem(OXSettingsWindowController::kSourcesTag)->isChecked());

  // From the panel: the gear's "Settings..." and the message's "add sources" bring the window forward.
  OXPanelListController list;
  list.showSources();
  OXSettingsWindowController* own = list.settingsWindowController();
  EXPECT_TRUE(own->window()->isVisible());
  EXPECT_EQ(own->tagSelected(), OXSettingsWindowController::kSourcesTag);
}

TEST(SettingsWindow, OpenedFirstOnItsSourcesTheWindowIsPlacedAsAnyOpeningIs) {
  helpertest::resetHelperState();
  OXSettingsWindowController general;
  OXPanelListController::bringWindowForward(general.window());
  OXSettingsWindowController sources;
  sources.showSources();  // the message's "Add ... sources" button
  OXPanelListController::bringWindowForward(sources.window());
  ASSERT_TRUE(oxtest::spinUntil([&] { return !sources.isSwitchingView(); }));
  EXPECT_FALSE(sources.window()->testAttribute(Qt::WA_Moved));  // left to the desktop, as the first opening is
  EXPECT_EQ(sources.window()->pos(), general.window()->pos());
  EXPECT_EQ(sources.contentView(), sources.sourcesView());
  EXPECT_EQ(sources.window()->height() - sources.toolbar()->height(), sources.sourcesView()->height());
}
