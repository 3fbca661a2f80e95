// Saves pictures of Ombrix Helper's windows as PNG files, for a person to look at:
//   ox-helper-frames [output folder]      (default: ./frames)
// It runs the helper's own start on a fresh, empty library in a scratch folder: the panel under its status item with
// the account form (login and registration), the panel's empty-library and library-being-created messages after a
// login, the four tour pages and the status item's icons, with every online service on a closed port. Then, with
// the local stand-ins of the services (tests/standin) when python3 is there, a scan of a few files fills the lists:
// the movie and show tabs, a row under the pointer, the gear menu, the manual search of an unrecognised file and the
// movie tab once that file has been identified by hand. Last, the settings window's three pages and the three answers
// of an update check asked for by hand.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <cstdio>

#include "core/OXLibrary.h"
#include "helper/OXAppDelegate.h"
#include "helper/OXContentListViewController.h"
#include "helper/OXHelperApplication.h"
#include "helper/OXMenubarController.h"
#include "helper/OXPanelController.h"
#include "helper/OXPanelListController.h"
#include "helper/OXPopUpMessageViewController.h"
#include "helper/OXSearchListViewController.h"
#include "helper/OXSettingsWindowController.h"
#include "helper/OXDragDropView.h"
#include "helper/OXSignUpLoginController.h"
#include "helper/OXTutorialWindowController.h"
#include "helper/StatusItemView.h"
#include "platform/system/SoftwareUpdater.h"
#include "platform/ui/SoftwareUpdateAlert.h"
#include "platform/ui/StatusItem.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewTag.h"
#include "scanner/OXCoreLibrary.h"
#include "scanner/OXOmbrixAPI.h"

namespace {

QString g_out;
QRect g_item;  // where the tray puts the item: in the top bar, right of the middle

// The tray of the pictures: it shows its image in the drawn top bar.
class PictureStatusItem : public ox::StatusItem {
 public:
  explicit PictureStatusItem(double length) : StatusItem(length) {}
  void setImage(const QImage& image) override { image_ = image; }
  QRect geometry() const override { return g_item; }
  static inline QImage image_;
};

void spin(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
}

bool spinUntil(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return done();
}

void save(const QImage& image, const QString& name) {
  const QString path = QDir(g_out).filePath(name);
  if (image.save(path))
    std::printf("%s\n", qPrintable(path));
  else
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
}

void paintBar(QPainter& p, const QRect& bar) {
  p.fillRect(bar, QColor(34, 35, 40));
  p.setPen(QColor(220, 220, 226));
  QFont font = p.font();
  font.setPixelSize(13);
  p.setFont(font);
  p.drawText(bar.adjusted(12, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Activities"));
  p.drawText(bar.adjusted(0, 0, -14, 0), Qt::AlignVCenter | Qt::AlignRight, QStringLiteral("20:15"));
}

// A piece of desktop around the panel: backdrop, top bar with the status item, the panel where it stands and, when
// given, a menu open over it.
QImage desktopWithPanel(OXPanelController* panel, QWidget* menu = nullptr) {
  const QRect frame = panel->window()->geometry();
  QRect area = QRect(frame.left() - 60, 0, frame.width() + 120, frame.bottom() + 50);
  if (menu) area = area.united(menu->geometry().adjusted(-20, 0, 20, 20));
  QImage shot(area.size(), QImage::Format_ARGB32_Premultiplied);
  QPainter p(&shot);
  QLinearGradient sky(0, 0, area.width(), area.height());
  sky.setColorAt(0, QColor(46, 84, 120));
  sky.setColorAt(1, QColor(120, 70, 96));
  p.fillRect(shot.rect(), sky);
  p.translate(-area.topLeft());
  paintBar(p, QRect(area.left(), 0, area.width(), g_item.height()));
  p.drawImage(QRectF(g_item), PictureStatusItem::image_);
  p.drawImage(frame.topLeft(), panel->window()->grab().toImage());
  if (menu) p.drawImage(menu->geometry().topLeft(), menu->grab().toImage());
  return shot;
}

// The status item magnified four times on the bar, plain, highlighted and in both scanning phases.
QImage statusItemSheet(OXMenubarController* menubar) {
  const int scale = 4;
  const int cell = 24 * scale;
  QImage sheet(cell * 4 + 50, 22 * scale + 30, QImage::Format_ARGB32_Premultiplied);
  sheet.fill(QColor(34, 35, 40));
  QPainter p(&sheet);
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  int x = 10;
  for (int state = 0; state < 4; ++state) {
    menubar->setHasActiveIcon(state == 1 || state == 3);
    state < 2 ? menubar->setDefaultImageIcon() : menubar->setDotImageIcon();
    p.drawImage(QRectF(x, 15, cell, 22 * scale), menubar->statusItemView()->drawRect());
    x += cell + 10;
  }
  return sheet;
}

// The services' stand-ins as a child process (they stop when its input closes); the service variables point at them.
std::unique_ptr<QProcess> startStandIns() {
  const QString script = QStringLiteral(OX_SOURCE_DIR "/tests/standin/standin.py");
  if (!QFile::exists(script)) return nullptr;
  auto process = std::make_unique<QProcess>();
  process->start(QStringLiteral("python3"), {script, QStringLiteral("--exit-on-eof")});
  if (!process->waitForStarted(5000)) return nullptr;
  QElapsedTimer clock;
  clock.start();
  while (!process->canReadLine() && clock.elapsed() < 20000) process->waitForReadyRead(200);
  const QVariantMap env =
      QJsonDocument::fromJson(process->readLine()).object().toVariantMap().value(QStringLiteral("env")).toMap();
  if (env.isEmpty()) return nullptr;
  for (auto it = env.begin(); it != env.end(); ++it) qputenv(qPrintable(it.key()), it.value().toByteArray());
  return process;
}

// An empty video file of 5 MiB (sparse), as large as the scan and the match reports want.
void videoFile(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.resize(5 * 1048576);
}

void hover(QWidget* row) {
  if (!row) return;
  QEnterEvent enter(QPointF(20, 20), QPointF(20, 20), QPointF(20, 20));
  QCoreApplication::sendEvent(row, &enter);
}

void leave(QWidget* row) {
  if (!row) return;
  QEvent leaving(QEvent::Leave);
  QCoreApplication::sendEvent(row, &leaving);
}

// The first row of the list that shows this title.
int rowTitled(QAbstractItemModel* model, const QString& title) {
  for (int row = 0; row < model->rowCount(); ++row)
    if (model->index(row, 0).data().toString() == title) return row;
  return -1;
}

// The lists, filled by a scan against the stand-ins, and a manual identification.
void listPictures(OXPanelController* panel, OXCoreLibrary* engine, const QString& home) {
  OXPanelListController* list = panel->panelListController();
  OXContentListViewController* content = list->contentListViewController();
  const QString movies = home + QStringLiteral("/Movies");
  const QString shows = home + QStringLiteral("/TV Shows");
  for (const char* name : {"The Glass Harbour (1998).mkv", "Copper Lanterns 2004.mkv", "Midnight Orchard.mp4",
                           "Quiet Engines 1950.mkv", "Harbour Lights 2016.mkv", "Northbound Static.mkv",
                           "Rain on Vellum.mkv", "Galss Harbour Lights.mkv", "holiday at grandmas.avi"})
    videoFile(movies + QLatin1Char('/') + QString::fromLatin1(name));
  for (const char* name : {"Lantern Street/Lantern.Street.S01E01.mkv", "Lantern Street/Lantern.Street.S01E02.mkv",
                           "Lantern Street/Lantern.Street.S02E01.mkv", "Orbit Station/Orbit Station 2018 S01E01.mkv",
                           "Tom and Jerome/Tom and Jerome S01E03.mkv", "Misc/Unknown Series S03E07.mkv"})
    videoFile(shows + QLatin1Char('/') + QString::fromLatin1(name));
  engine->addURLsToRootList({QUrl::fromLocalFile(shows + QLatin1Char('/'))}, 3);
  spinUntil([&] { return !engine->isUpdating(); }, 60000);
  spinUntil([&] { return !content->isSyncing(); });
  spin(800);
  save(desktopWithPanel(panel), QStringLiteral("panel_movies.png"));

  ox::TableView* table = content->contentTableView();
  QWidget* row = table->viewAtRow(rowTitled(content, QStringLiteral("Midnight Orchard")));
  hover(row);
  spin(100);
  save(desktopWithPanel(panel), QStringLiteral("panel_movies_row_under_pointer.png"));
  leave(row);

  list->showMenuSetting();
  spin(300);
  save(desktopWithPanel(panel, list->menu()), QStringLiteral("panel_gear_menu.png"));
  list->menu()->hide();

  content->showButton()->click();
  spin(800);
  save(desktopWithPanel(panel), QStringLiteral("panel_shows.png"));
  content->movieButton()->click();
  spin(300);

  // The unrecognised file by hand: its title edited, the results, one under the pointer.
  QWidget* unknown = table->viewAtRow(rowTitled(content, QStringLiteral("galss harbour lights")));
  if (auto* identify = qobject_cast<QAbstractButton*>(ox::viewWithTag(unknown, 4))) identify->click();
  OXSearchListViewController* search = list->searchListViewController();
  spinUntil([&] { return !list->isSliding() && !search->isSearching(); });
  search->searchTextField()->setText(QStringLiteral("Harbour"));
  search->search();
  spinUntil([&] { return search->sourceArray().size() > 1; });
  spin(800);
  save(desktopWithPanel(panel), QStringLiteral("panel_search.png"));
  QWidget* result = search->contentTableView()->viewAtRow(1);
  hover(result);
  spin(100);
  save(desktopWithPanel(panel), QStringLiteral("panel_search_row_under_pointer.png"));

  if (auto* choose = qobject_cast<QAbstractButton*>(ox::viewWithTag(result, 4))) choose->click();
  spinUntil([&] { return !list->isFixing() && !list->isSliding(); }, 20000);
  spinUntil([&] { return !content->isSyncing(); });
  spin(800);
  save(desktopWithPanel(panel), QStringLiteral("panel_movies_identified.png"));
}

// The settings window, each page; the sources page also with a drag of folders over it.
void settingsPictures(OXPanelListController* list) {
  OXSettingsWindowController* settings = list->settingsWindowController();
  list->showPreferences();
  settings->switchView(OXSettingsWindowController::kGeneralTag);
  spinUntil([&] { return !settings->isSwitchingView(); });
  spin(200);
  save(settings->window()->grab().toImage(), QStringLiteral("settings_general.png"));
  settings->showSources();
  spinUntil([&] { return !settings->isSwitchingView(); });
  spin(300);
  save(settings->window()->grab().toImage(), QStringLiteral("settings_sources.png"));
  settings->dragDropView()->setHighlighted(true);
  spin(50);
  save(settings->window()->grab().toImage(), QStringLiteral("settings_sources_dragging.png"));
  settings->dragDropView()->setHighlighted(false);
  settings->switchView(OXSettingsWindowController::kSubtitlesTag);
  spinUntil([&] { return !settings->isSwitchingView(); });
  spin(300);
  save(settings->window()->grab().toImage(), QStringLiteral("settings_subtitles.png"));
  settings->window()->close();
}

// The update check's dialogue with each answer it gives.
void updatePictures() {
  using Outcome = ox::SoftwareUpdater::CheckResult::Outcome;
  const ox::SoftwareUpdater::CheckResult answers[] = {
      {Outcome::NewerVersion, QStringLiteral("0.2.0"), QStringLiteral("0.1.0"), QUrl(QStringLiteral("https://ombrix.example/releases/0.2.0"))},
      {Outcome::UpToDate, QStringLiteral("0.1.0"), QStringLiteral("0.1.0"), QUrl()},
      {Outcome::FeedUnreadable, QString(), QStringLiteral("0.1.0"), QUrl()}};
  const char* const names[] = {"update_newer_version.png", "update_up_to_date.png", "update_feed_unreadable.png"};
  for (int i = 0; i < 3; ++i) {
    ox::SoftwareUpdateAlert::show(answers[i]);
    spin(200);
    save(ox::SoftwareUpdateAlert::current()->grab().toImage(), QString::fromLatin1(names[i]));
  }
  ox::SoftwareUpdateAlert::current()->close();
}

}  // namespace

int main(int argc, char** argv) {
  // A scratch home for the library, the defaults and the login item; every service on a closed local port.
  QTemporaryDir scratch;
  for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
    const QString path = scratch.filePath(QString::fromLatin1(name));
    QDir().mkpath(path);
    qputenv(name, path.toLocal8Bit());
  }
  for (const char* name : {"OMBRIX_SEARCH_URL", "OMBRIX_MOVIE_SEARCH_URL", "OMBRIX_QUEUE_URL", "OMBRIX_TVDB_URL",
                           "OMBRIX_API_URL", "OMBRIX_API_STAGING_URL", "OMBRIX_OPENSUBTITLES_URL", "OMBRIX_BUCKET_URL",
                           "OMBRIX_SCRAPE_URL", "OMBRIX_WEBSITE_URL", "OMBRIX_FEED_URL"})
    qputenv(name, "http://127.0.0.1:9");
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  OXHelperApplication::registerInfoValues();
  g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("frames");
  QDir().mkpath(g_out);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  g_item = QRect(screen.left() + screen.width() * 72 / 100, screen.top(), 24, 22);
  ox::StatusItem::setFactory([](double length) { return std::make_unique<PictureStatusItem>(length); });

  OXAppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  OXPanelController* panel = delegate.panelController();
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  spinUntil([&] { return !engine->isUpdating(); }, 20000);
  spin(300);

  // First start without a session or folders: the tour, and the panel open on the account form.
  OXSignUpLoginController* form = panel->signUpLoginController();
  save(desktopWithPanel(panel), QStringLiteral("panel_form.png"));
  form->switchFormMode();
  form->emailField()->setText(QStringLiteral("ana@example.test"));
  spin(400);
  save(desktopWithPanel(panel), QStringLiteral("panel_register.png"));
  form->switchFormMode();
  form->showMessageFailedLogin();
  spin(400);
  save(desktopWithPanel(panel), QStringLiteral("panel_login_failed.png"));

  OXTutorialWindowController* tour = panel->panelListController()->tutorialWindowController();
  for (int page = 1; tour && page <= 4; ++page) {
    spinUntil([&] { return !tour->isChangingPage(); });
    save(tour->window()->grab().toImage(), QStringLiteral("tour_%1.png").arg(page));
    if (page < 4) tour->next();
  }

  // After a login the panel shows the library, here empty: its message stands in for the list.
  OXOmbrixAPI().setExpireToken(QDateTime::currentDateTimeUtc().addSecs(3600));
  panel->loginSuccess();
  OXPanelListController* list = panel->panelListController();
  spinUntil([&] { return !panel->isSwitchingView() && list->isMessageViewShown(); });
  spin(400);
  save(desktopWithPanel(panel), QStringLiteral("panel_empty_library.png"));

  // A movie folder and a scan under way: the library is being created.
  const QString movies = scratch.filePath(QStringLiteral("Movies"));
  QDir().mkpath(movies);
  engine->addURLsToRootList({QUrl::fromLocalFile(movies + QLatin1Char('/'))}, 1);
  list->checkMessageView();
  spinUntil([&] {
    return list->popUpMessageViewController()->titleField()->text() == QStringLiteral("Creating library...");
  });
  spin(50);
  save(desktopWithPanel(panel), QStringLiteral("panel_creating_library.png"));

  save(statusItemSheet(delegate.menubarController()), QStringLiteral("status_item.png"));
  spinUntil([&] { return !engine->isUpdating(); }, 20000);

  if (auto standIns = startStandIns()) {
    listPictures(panel, engine, scratch.path());
    standIns->closeWriteChannel();
    standIns->waitForFinished(3000);
  } else {
    std::fprintf(stderr, "no stand-ins (python3): no pictures of the lists\n");
  }
  settingsPictures(list);
  updatePictures();
  engine->shutdown();
  ox::SoftwareUpdater::shared().stopChecking();
  return 0;
}
