#include "helper/OXSettingsWindowController.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "core/OXLibrary.h"
#include "helper/OXAppDelegate.h"
#include "helper/OXAppleRemoteController.h"
#include "helper/OXDragDropView.h"
#include "helper/OXSourceTableController.h"
#include "helper/OXSubtitleTableController.h"
#include "platform/foundation/Info.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/LoginItem.h"
#include "platform/system/SoftwareUpdater.h"
#include "platform/system/Workspace.h"
#include "platform/ui/SoftwareUpdateAlert.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewTag.h"

const QString OXSettingsWindowController::kTimeRefreshUpdated = QStringLiteral("timeRefreshUpdated");
const QString OXSettingsWindowController::kRefreshTime = QStringLiteral("refreshTime");
const QString OXSettingsWindowController::kMovieDatabaseSite = QStringLiteral("https://www.themoviedb.org/");
const QString OXSettingsWindowController::kTVDbSite = QStringLiteral("https://thetvdb.com/");

namespace {

constexpr int kRefreshChoices = 6;
const QString kMovieDatabaseDomain = QStringLiteral("themoviedb.org");
const QString kTVDbDomain = QStringLiteral("thetvdb.com");
// The domains' colour in the version line.
const QColor kLinkColour = QColor::fromRgbF(0.03515625f, 0.39f, 0.8086f, 1.0f);

const QSize kGeneralSize(520, 330);
const QSize kSourcesSize(512, 350);
const QSize kSubtitlesSize(420, 450);

// The frame around a table: one point of white at 0.75.
QFrame* borderView(QWidget* parent, QWidget* content, const QRect& frame) {
  auto* border = new QFrame(parent);
  border->setObjectName(QStringLiteral("border"));
  border->setGeometry(frame);
  border->setStyleSheet(QStringLiteral("#border { border: 1px solid rgb(191, 191, 191); background: white; }"));
  content->setParent(border);
  content->setGeometry(1, 1, frame.width() - 2, frame.height() - 2);
  return border;
}

QWidget* page(const QString& name, const QSize& size) {
  auto* view = new QWidget;
  view->setObjectName(name);
  view->setFixedSize(size);
  return view;
}

}  // namespace

OXSettingsWindowController::OXSettingsWindowController()
    : window_(new QMainWindow), subtitleTableController_(std::make_unique<OXSubtitleTableController>()) {
  window_->setObjectName(QStringLiteral("OXSettingsWindowController"));
  window_->setWindowTitle(tr("Ombrix Helper Settings"));
  movieSources_ = std::make_unique<OXSourceTableController>(1, window_);
  showSources_ = std::make_unique<OXSourceTableController>(2, window_);
  buildToolbar();
  generalView_ = buildGeneralView();
  sourcesView_ = buildSourcesView();
  subtitlesView_ = buildSubtitlesView();
  awakeFromNib();
}

OXSettingsWindowController::~OXSettingsWindowController() {
  if (resize_) resize_->stop();
  QWidget* shown = contentView();
  for (QWidget* view : {generalView_, sourcesView_, subtitlesView_})
    if (view != shown) delete view;
  delete window_.data();
}

void OXSettingsWindowController::buildToolbar() {
  toolbar_ = window_->addToolBar(tr("Settings"));
  toolbar_->setObjectName(QStringLiteral("toolbar"));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
  auto* group = new QActionGroup(toolbar_);
  group->setExclusive(true);
  const QStyle* style = QApplication::style();
  const struct {
    int tag;
    QString title;
    QStyle::StandardPixmap icon;
  } items[] = {{kGeneralTag, tr("General"), QStyle::SP_FileDialogInfoView},
               {kSourcesTag, tr("Sources"), QStyle::SP_DirIcon},
               {kSubtitlesTag, tr("Subtitles"), QStyle::SP_FileDialogDetailedView}};
  for (int i = 0; i < 3; ++i) {
    QAction* item = toolbar_->addAction(style->standardIcon(items[i].icon), items[i].title);
    item->setCheckable(true);
    item->setData(items[i].tag);
    group->addAction(item);
    connect(item, &QAction::triggered, this, [this, tag = items[i].tag] { switchView(tag); });
    toolbarItems_[i] = item;
  }
}

QWidget* OXSettingsWindowController::buildGeneralView() {
  QWidget* view = page(QStringLiteral("generalView"), kGeneralSize);
  auto* column = new QVBoxLayout(view);
  column->setContentsMargins(32, 24, 32, 16);
  column->setSpacing(10);

  auto* refresh = new QHBoxLayout;
  refresh->addWidget(new QLabel(tr("Look for new files:"), view));
  refreshTimeButton_ = new QComboBox(view);
  const QString titles[kRefreshChoices] = {tr("Automatically"), tr("Every 5 minutes"), tr("Every 15 minutes"),
                                           tr("Every hour"),    tr("Every 6 hours"),   tr("Every day")};
  // An item's tag is its index + 1, so the value stored is the index selected when the window loads.
  for (int i = 0; i < kRefreshChoices; ++i) refreshTimeButton_->addItem(titles[i], i + 1);
  connect(refreshTimeButton_, &QComboBox::activated, this,
          [this](int index) { changeTimerRefresh(refreshTimeButton_->itemData(index).toInt()); });
  refresh->addWidget(refreshTimeButton_);
  refresh->addStretch();
  column->addLayout(refresh);

  startAtLoginButton_ = new QCheckBox(tr("Start Ombrix Helper when I log in"), view);
  connect(startAtLoginButton_, &QCheckBox::clicked, this, [this](bool on) { checkLoginItems(on); });
  column->addWidget(startAtLoginButton_);

  auto* updates = new QHBoxLayout;
  updatesAutomaticallyButton_ = new QCheckBox(tr("Check for updates automatically"), view);
  connect(updatesAutomaticallyButton_, &QCheckBox::clicked, this, [this](bool on) { checkUpdatesAutomatically(on); });
  checkUpdatesButton_ = new QPushButton(tr("Check Now"), view);
  connect(checkUpdatesButton_, &QPushButton::clicked, this, [this] { checkUpdates(); });
  updates->addWidget(updatesAutomaticallyButton_);
  updates->addStretch();
  updates->addWidget(checkUpdatesButton_);
  column->addLayout(updates);

  listenSoundtrackButton_ = new QCheckBox(tr("Play theme music while browsing movies"), view);
  connect(listenSoundtrackButton_, &QCheckBox::clicked, this, [this] { switchListenSoundtrack(); });
  column->addWidget(listenSoundtrackButton_);

  controlAppleRemoteButton_ = new QCheckBox(tr("Open Ombrix with the remote's Menu or Play button"), view);
  connect(controlAppleRemoteButton_, &QCheckBox::clicked, this, [this](bool on) { changeControlAppleRemote(on); });
  column->addWidget(controlAppleRemoteButton_);
  column->addStretch();

  versionLabel_ = new QLabel(view);
  versionLabel_->setObjectName(QStringLiteral("versionLabel"));
  versionLabel_->setTextFormat(Qt::RichText);
  versionLabel_->setWordWrap(true);
  versionLabel_->setAlignment(Qt::AlignCenter);
  column->addWidget(versionLabel_);

  auto* links = new QHBoxLayout;
  links->addStretch();
  const struct {
    int tag;
    QString title;
  } sites[] = {{1, tr("The Movie Database")}, {2, tr("TheTVDB")}};
  for (const auto& site : sites) {
    auto* link = new QPushButton(site.title, view);
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    ox::setTag(link, site.tag);
    link->setStyleSheet(QStringLiteral("QPushButton { color: %1; border: none; text-decoration: underline; }")
                            .arg(kLinkColour.name()));
    connect(link, &QPushButton::clicked, this, [this, tag = site.tag] { openURL(tag); });
    links->addWidget(link);
  }
  links->addStretch();
  column->addLayout(links);
  return view;
}

QWidget* OXSettingsWindowController::buildSourcesView() {
  QWidget* view = page(QStringLiteral("sourcesView"), kSourcesSize);
  // The zone covers the page, whose x is the window's: the tables lie on either side of x = 256.
  dragDropView_ = new OXDragDropView(view);
  dragDropView_->setGeometry(0, 0, kSourcesSize.width(), kSourcesSize.height());
  dragDropView_->setDelegate(this);
  auto* hint = new QLabel(tr("Drop folders of movies on the left and folders of TV shows on the right, "
                             "or add them with +."),
                          dragDropView_);
  hint->setGeometry(20, 10, kSourcesSize.width() - 40, 36);
  hint->setWordWrap(true);
  hint->setAlignment(Qt::AlignCenter);
  hint->setStyleSheet(QStringLiteral("color: #66666c;"));

  const int tableWidth = OXSourceTableController::kWidth;
  const int tableHeight = OXSourceTableController::kHeight;
  const int left = int(OXDragDropView::kShowSideX) - 20 - tableWidth;
  const int right = int(OXDragDropView::kShowSideX) + 20;
  const int top = 54;
  borderMovieSourcesView_ =
      borderView(dragDropView_, movieSources_->sourceTable(), QRect(left, top, tableWidth + 2, tableHeight + 2));
  borderShowSourcesView_ =
      borderView(dragDropView_, showSources_->sourceTable(), QRect(right, top, tableWidth + 2, tableHeight + 2));
  for (auto [controller, x] : {std::pair{movieSources_.get(), left}, std::pair{showSources_.get(), right}}) {
    controller->segmentedControl()->setParent(dragDropView_);
    controller->segmentedControl()->setGeometry(x, top + tableHeight + 8, tableWidth, 22);
    controller->setDragDropView(dragDropView_);
  }
  return view;
}

QWidget* OXSettingsWindowController::buildSubtitlesView() {
  QWidget* view = page(QStringLiteral("subtitlesView"), kSubtitlesSize);
  auto* intro = new QLabel(tr("Ombrix looks for subtitles in the languages you enable."), view);
  intro->setGeometry(20, 12, kSubtitlesSize.width() - 40, 24);
  intro->setStyleSheet(QStringLiteral("color: #66666c;"));
  subtitleTableView_ = new ox::TableView;
  subtitleTableView_->setObjectName(QStringLiteral("subtitleTableView"));
  subtitleTableView_->setStyleSheet(QStringLiteral("ox--TableView { background: white; }"));
  borderSubtitleView_ = borderView(view, subtitleTableView_, QRect(20, 42, kSubtitlesSize.width() - 40, 350));
  disableAllButton_ = new QPushButton(tr("Disable All"), view);
  disableAllButton_->setGeometry(kSubtitlesSize.width() - 20 - 110, 404, 110, 28);
  connect(disableAllButton_, &QPushButton::clicked, this, [this] { disableAll(); });
  return view;
}

void OXSettingsWindowController::awakeFromNib() {
  toolbarItems_[0]->setChecked(true);
  setContentView(generalView_);
  window_->resize(generalView_->width(), generalView_->height() + toolbar_->sizeHint().height());
  subtitleTableController_->setTableView(subtitleTableView_);
  readSettings();
}

void OXSettingsWindowController::readSettings() {
  const int stored = ox::UserDefaults::value(kRefreshTime, 0).toInt();
  // An old or edited value outside the choices runs the scan every five minutes, as the first choice does.
  refreshTimeButton_->setCurrentIndex(stored >= 0 && stored < kRefreshChoices ? stored : 0);
  startAtLoginButton_->setChecked(ox::LoginItem::isInLoginItems(OXAppDelegate::kBundleIdentifier));
  updatesAutomaticallyButton_->setChecked(ox::SoftwareUpdater::shared().automaticallyChecksForUpdates());
  listenSoundtrackButton_->setChecked(OXLibrary::shareLibrary()->listenSoundtracks());
  // The remote controller keeps the setting; the box shows it as it stands.
  controlAppleRemoteButton_->setChecked(
      ox::UserDefaults::value(OXAppleRemoteController::kControlAppleRemote, false).toBool());
  fillVersionLabel();
  movieSources_->reloadData();
  showSources_->reloadData();
}

// ---------------------------------------------------------------------------------------------------------------
// Tabs

QAction* OXSettingsWindowController::toolbarItem(int tag) const {
  for (QAction* item : toolbarItems_)
    if (item->data().toInt() == tag) return item;
  return toolbarItems_[2];
}

QWidget* OXSettingsWindowController::viewForTag(int tag) const {
  if (tag == kGeneralTag) return generalView_;
  if (tag == kSourcesTag) return sourcesView_;
  return subtitlesView_;
}

QWidget* OXSettingsWindowController::contentView() const { return window_ ? window_->centralWidget() : nullptr; }

void OXSettingsWindowController::setContentView(QWidget* page) {
  if (QWidget* old = window_->takeCentralWidget()) {
    // Only the stand-in blank is the window's; the pages are kept.
    if (old != generalView_ && old != sourcesView_ && old != subtitlesView_) old->deleteLater();
  }
  window_->setCentralWidget(page);
  page->show();
}

void OXSettingsWindowController::switchView(int tag) {
  tagSelected_ = tag;
  QWidget* target = viewForTag(tag);
  toolbarItem(tag)->setChecked(true);
  if (resize_) resize_->stop();
  QWidget* current = contentView();
  const int chrome = window_->height() - (current ? current->height() : 0);
  if (!window_->isVisible()) {
    // Not on screen yet: the page is put in at once, and the desktop places the window where it places any.
    window_->resize(target->width(), target->height() + chrome);
    setContentView(target);
    return;
  }
  // A blank of the old page's size, so nothing is drawn while the window changes size.
  auto* blank = new QWidget;
  blank->resize(current ? current->size() : target->size());
  setContentView(blank);
  const QRect from = window_->geometry();
  // In screen coordinates y grows downward: the top edge stays where it is by keeping y.
  const QRect to(from.x(), from.y(), target->width(), target->height() + chrome);
  auto* resize = new QPropertyAnimation(window_, "geometry", this);
  resize->setDuration(kResizeMs);
  resize->setStartValue(from);
  resize->setEndValue(to);
  connect(resize, &QPropertyAnimation::finished, this, [this, target, to] {
    window_->setGeometry(to);
    setContentView(target);
  });
  resize_ = resize;
  resize->start(QAbstractAnimation::DeleteWhenStopped);
}

void OXSettingsWindowController::showSources() {
  toolbarItem(kSourcesTag)->setChecked(true);
  switchView(kSourcesTag);
}

// ---------------------------------------------------------------------------------------------------------------
// General

void OXSettingsWindowController::changeTimerRefresh(int tag) {
  ox::UserDefaults::setValue(kRefreshTime, tag - 1);
  ox::UserDefaults::synchronize();
  ox::NotificationCenter::defaultCenter().post(kTimeRefreshUpdated);
}

void OXSettingsWindowController::checkLoginItems(bool on) {
  if (on)
    ox::LoginItem::addToLoginItems(OXAppDelegate::kBundleIdentifier, QStringLiteral("Ombrix Helper"),
                                   QCoreApplication::applicationFilePath());
  else
    ox::LoginItem::removeFromLoginItems(OXAppDelegate::kBundleIdentifier);
  // A login item that could not be written or removed must not look as if it had been.
  startAtLoginButton_->setChecked(ox::LoginItem::isInLoginItems(OXAppDelegate::kBundleIdentifier));
}

void OXSettingsWindowController::checkUpdatesAutomatically(bool on) {
  ox::SoftwareUpdater::shared().setAutomaticallyChecksForUpdates(on);
}

void OXSettingsWindowController::checkUpdates() { ox::SoftwareUpdateAlert::checkForUpdates(); }

void OXSettingsWindowController::refreshUpdatesAutomaticallyButtonState() {
  ox::UserDefaults::synchronize();
  updatesAutomaticallyButton_->setChecked(ox::SoftwareUpdater::shared().automaticallyChecksForUpdates());
}

void OXSettingsWindowController::switchListenSoundtrack() {
  OXLibrary* library = OXLibrary::shareLibrary();
  library->setListenSoundtracks(!library->listenSoundtracks());
  listenSoundtrackButton_->setChecked(library->listenSoundtracks());
  // Saved now, so the choice outlives a helper that ends without its closing save.
  library->saveLibraryInBackground();
}

void OXSettingsWindowController::changeControlAppleRemote(bool on) {
  ox::NotificationCenter::defaultCenter().post(OXAppleRemoteController::kAppleRemoteChangeNotification, nullptr,
                                               {{OXAppleRemoteController::kControlAppleRemote, on}});
}

void OXSettingsWindowController::openURL(int tag) {
  if (tag == 1)
    ox::Workspace::shared().openURL(QUrl(kMovieDatabaseSite));
  else if (tag == 2)
    ox::Workspace::shared().openURL(QUrl(kTVDbSite));
}

QString OXSettingsWindowController::versionLine(const QString& version) {
  return QStringLiteral("Ombrix %1 - We use").arg(version) + QStringLiteral("  ") + kMovieDatabaseDomain +
         QStringLiteral("  and  ") + kTVDbDomain + QStringLiteral("  for some data!");
}

void OXSettingsWindowController::fillVersionLabel() {
  const QString line = versionLine(ox::infoValue(QStringLiteral("CFBundleShortVersionString")).toString());
  // The first occurrence of each domain in the link colour.
  QString html = line.toHtmlEscaped();
  for (const QString& domain : {kMovieDatabaseDomain, kTVDbDomain}) {
    const qsizetype at = html.indexOf(domain);
    if (at < 0) continue;
    html.replace(at, domain.size(),
                 QStringLiteral("<span style=\"color: %1;\">%2</span>").arg(kLinkColour.name(), domain));
  }
  versionLabel_->setText(QStringLiteral("<p align=\"center\" style=\"white-space: pre-wrap;\">%1</p>").arg(html));
}

// ---------------------------------------------------------------------------------------------------------------
// Sources and subtitles

void OXSettingsWindowController::performDragOperation() {
  movieSources_->performDragOperation();
  showSources_->performDragOperation();
}

void OXSettingsWindowController::disableAll() {
  OXLibrary* library = OXLibrary::shareLibrary();
  library->changeSubtitleLanguages([](QVariantList& languages) {
    for (QVariant& entry : languages) {
      QVariantMap map = entry.toMap();
      map.insert(QStringLiteral("enable"), false);
      entry = map;
    }
  });
  subtitleTableController_->rebuildDataSource();
  // Saved at once, as a single language's switch is: Ombrix reads the choice from the file.
  library->saveLibraryInBackground();
}
