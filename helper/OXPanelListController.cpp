#include "helper/OXPanelListController.h"

#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWidget>
#include <mutex>

#include "core/OXLibrary.h"
#include "core/OXServiceHosts.h"
#include "helper/OXAppleRemoteController.h"
#include "helper/OXContentListViewController.h"
#include "helper/OXPanelController.h"
#include "helper/OXPopUpMessageViewController.h"
#include "helper/OXSearchListViewController.h"
#include "helper/OXSettingsWindowController.h"
#include "helper/OXTutorialWindowController.h"
#include "platform/foundation/MainQueue.h"
#include "platform/ui/SoftwareUpdateAlert.h"
#include "platform/system/Workspace.h"
#include "platform/ui/Application.h"
#include "platform/ui/Images.h"
#include "platform/ui/TableView.h"
#include "scanner/OXCoreLibrary.h"
#include "scanner/OXOmbrixAPI.h"

const QString OXPanelListController::kLibraryChanged = QStringLiteral("libraryChanged");
const QString OXPanelListController::kSourceStatisticsChanged = QStringLiteral("sourceStadisticsChanged ");

// The engine holds its delegate weakly and may call it from any thread at any time; this relay is what it holds,
// and it lets go of the controller, under its lock, before the controller goes.
class OXPanelListController::EngineDelegate : public OXCoreLibraryDelegate {
 public:
  explicit EngineDelegate(OXPanelListController* owner) : owner_(owner) {}
  void detach() {
    std::lock_guard hold(mutex_);
    owner_ = nullptr;
  }
  void unknownAdded(const std::shared_ptr<OXFile>& file) override {
    std::lock_guard hold(mutex_);
    if (owner_) owner_->unknownAdded(file);
  }
  void removeUnknown(const std::shared_ptr<OXFile>& file) override {
    std::lock_guard hold(mutex_);
    if (owner_) owner_->removeUnknown(file);
  }
  void contentAdded(const ox::CodingPtr& item) override {
    std::lock_guard hold(mutex_);
    if (owner_) owner_->contentAdded(item);
  }

 private:
  std::mutex mutex_;
  OXPanelListController* owner_;
};

namespace {
// The message view's origin, bottom up, on the page.
constexpr int kMessageX = 11;
constexpr int kMessageY = 20;
constexpr int kHeaderHeight = 44;
constexpr int kGearSize = 28;
}  // namespace

OXPanelListController::OXPanelListController()
    : view_(new QWidget),
      contentListViewController_(std::make_unique<OXContentListViewController>()),
      settingsWindowController_(std::make_unique<OXSettingsWindowController>()),
      engineDelegate_(std::make_shared<EngineDelegate>(this)) {
  OXCoreLibrary::shareCoreLibrary()->setDelegate(engineDelegate_);
  contentListViewController_->setDelegate(this);

  view_->setObjectName(QStringLiteral("OXPanelListController"));
  view_->resize(kWidth, kHeight);
  popUpTitle_ = new QLabel(QStringLiteral("Ombrix Helper"), view_);
  popUpTitle_->setGeometry(16, 0, kWidth - 130, kHeaderHeight);
  QFont font = popUpTitle_->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.2);
  popUpTitle_->setFont(font);
  popUpTitle_->setStyleSheet(QStringLiteral("color: #3a3a3c;"));

  gearButton_ = new QToolButton(view_);
  gearButton_->setGeometry(kWidth - 16 - kGearSize, (kHeaderHeight - kGearSize) / 2, kGearSize, kGearSize);
  gearButton_->setIcon(QPixmap::fromImage(ox::imageNamed(QStringLiteral("gearButton@2x.png"))));
  gearButton_->setIconSize(QSize(20, 20));
  gearButton_->setAutoRaise(true);
  gearButton_->setFocusPolicy(Qt::NoFocus);
  gearButton_->setToolTip(tr("Settings"));
  connect(gearButton_, &QToolButton::clicked, this, [this] { showMenuSetting(); });
  logOutButton_ = new QPushButton(tr("Log Out"), view_);
  logOutButton_->setGeometry(gearButton_->x() - 70, (kHeaderHeight - 24) / 2, 66, 24);
  logOutButton_->setFlat(true);
  logOutButton_->setFocusPolicy(Qt::NoFocus);
  logOutButton_->setStyleSheet(QStringLiteral("color: #6c6c72; font-size: 11px;"));
  connect(logOutButton_, &QPushButton::clicked, this, [this] { logOut(); });

  scrollView_ = new QScrollArea(view_);
  scrollView_->setGeometry(kMessageX, kHeaderHeight, kClipWidth, kStageHeight);
  scrollView_->setFrameShape(QFrame::NoFrame);
  scrollView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scrollView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scrollView_->setStyleSheet(
      QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget#stage { background: transparent; }"));
  stage_ = new QWidget;
  stage_->setObjectName(QStringLiteral("stage"));
  stage_->setFixedSize(kStageWidth, kStageHeight);
  contentListViewController_->view()->setParent(stage_);
  contentListViewController_->view()->move(0, 0);
  OXSearchListViewController* search = searchListViewController();
  search->view()->setParent(stage_);
  search->view()->move(kClipWidth + 10, 0);
  scrollView_->setWidget(stage_);
  scrollView_->horizontalScrollBar()->setValue(0);

  popUpMessageViewController_ = std::make_unique<OXPopUpMessageViewController>();
  QWidget* message = popUpMessageViewController_->view();
  message->setParent(view_);
  message->move(kMessageX, kHeight - kMessageY - message->height());
  message->hide();

  buildMenu();
  checkMessageView();
  auto& centre = ox::NotificationCenter::defaultCenter();
  observers_.push_back(
      centre.addObserver(kLibraryChanged, nullptr, [this](const ox::Notification&) { checkMessageView(); }));
  observers_.push_back(centre.addObserver(
      OXPopUpMessageViewController::kShowSourcesNotification, nullptr,
      [this](const ox::Notification&) { ox::performOnMainThread(this, [this] { showSources(); }); }));
  observers_.push_back(centre.addObserver(OXSearchListViewController::kChangePopUpTitleNotification, nullptr,
                                          [this](const ox::Notification& n) {
                                            if (!n.object) return;
                                            const QString title = *static_cast<const QString*>(n.object);
                                            ox::performOnMainThread(this, [this, title] { changePopUpTitle(title); });
                                          }));
  contentListViewController_->view()->setFocus();
}

OXPanelListController::~OXPanelListController() {
  engineDelegate_->detach();
  for (const auto token : observers_) ox::NotificationCenter::defaultCenter().removeObserver(token);
  fixQueue_.close();
  if (slide_) slide_->stop();
  tutorialWindowController_.reset();
  settingsWindowController_.reset();
  popUpMessageViewController_.reset();
  // The lists' views live in the stage; their controllers take them down.
  searchListViewController_.reset();
  contentListViewController_.reset();
  delete view_.data();
}

OXSearchListViewController* OXPanelListController::searchListViewController() {
  if (!searchListViewController_) {
    searchListViewController_ = std::make_unique<OXSearchListViewController>();
    searchListViewController_->setDelegate(this);
  }
  return searchListViewController_.get();
}

// ---------------------------------------------------------------------------------------------------------------
// The scan engine

void OXPanelListController::unknownAdded(const std::shared_ptr<OXFile>& file) {
  contentListViewController_->unknownAdded(file);
  libraryChangedByEngine();
}

void OXPanelListController::removeUnknown(const std::shared_ptr<OXFile>& file) {
  contentListViewController_->removeUnknown(file);
  libraryChangedByEngine();
}

void OXPanelListController::contentAdded(const ox::CodingPtr& item) {
  contentListViewController_->contentAdded(item);
  libraryChangedByEngine();
}

void OXPanelListController::libraryChangedByEngine() {
  auto& centre = ox::NotificationCenter::defaultCenter();
  centre.post(kLibraryChanged);
  centre.post(kSourceStatisticsChanged);
}

int OXPanelListController::buttonSegmentedSelected() const {
  return contentListViewController_->buttonSegmentedSelected();
}

void OXPanelListController::setPopUpState(int state) { contentListViewController_->setPopUpState(state); }

void OXPanelListController::changePopUpTitle(const QString& title) { popUpTitle_->setText(title); }

// ---------------------------------------------------------------------------------------------------------------
// The view stack

void OXPanelListController::slideTo(int x, QWidget* focus) {
  if (slide_) slide_->stop();
  auto* slide = new QPropertyAnimation(scrollView_->horizontalScrollBar(), "value", this);
  slide->setDuration(kSlideMs);
  slide->setEndValue(x);
  slide_ = slide;
  slide->start(QAbstractAnimation::DeleteWhenStopped);
  if (focus) focus->setFocus();
}

bool OXPanelListController::isSliding() const { return !slide_.isNull(); }

void OXPanelListController::pushToSearchListWithData(const ox::CodingPtr& item) {
  OXSearchListViewController* search = searchListViewController();
  search->setContent(item);
  slideTo(scrollView_->viewport()->width() + 10, search->view());
}

void OXPanelListController::popToContentList() { slideTo(0, contentListViewController_->view()); }

// ---------------------------------------------------------------------------------------------------------------
// The message view

void OXPanelListController::checkMessageView() {
  // Many changes in a row make one check: the tab and the views are read on the main thread only.
  if (checkQueued_.exchange(true)) return;
  ox::dispatchMain([self = QPointer<OXPanelListController>(this)] {
    if (!self) return;
    self->checkQueued_ = false;
    self->checkMessageViewNow();
  });
}

void OXPanelListController::checkMessageViewNow() {
  const int tab = buttonSegmentedSelected();
  if (tab == 0) return;
  OXLibrary* library = OXLibrary::shareLibrary();
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  const auto roots = library->rootList();
  const bool movies = tab == 1;
  const bool empty = movies ? library->movieList().isEmpty() && library->unknownMovieList().isEmpty()
                            : library->episodeList().isEmpty() && library->unknownEpisodeList().isEmpty();
  if (!empty) {
    hideMessageView();
    return;
  }
  const quint64 folders = !roots ? 0 : movies ? roots->numberOfMovieRootPaths() : roots->numberOfEpisodesRootPaths();
  const bool creating = engine->isUpdating() && folders != 0;
  OXPopUpMessageViewController* message = popUpMessageViewController_.get();
  if (movies)
    creating ? message->setCreatingLibraryMessageMovies() : message->setEmptyLibraryMessageMovies();
  else
    creating ? message->setCreatingLibraryMessageShows() : message->setEmptyLibraryMessageShows();
  showMessageView();
}

void OXPanelListController::showMessageView() {
  ox::performOnMainThread(this, [this] {
    contentListViewController_->contentTableView()->hide();
    searchListViewController()->view()->hide();
    popUpMessageViewController_->view()->show();
  });
}

void OXPanelListController::hideMessageView() {
  ox::performOnMainThread(this, [this] {
    contentListViewController_->contentTableView()->show();
    searchListViewController()->view()->show();
    popUpMessageViewController_->view()->hide();
  });
}

bool OXPanelListController::isMessageViewShown() const { return !popUpMessageViewController_->view()->isHidden(); }

// ---------------------------------------------------------------------------------------------------------------
// The gear menu

void OXPanelListController::buildMenu() {
  menu_ = std::make_unique<QMenu>();
  menu_->setObjectName(QStringLiteral("gearMenu"));
  const auto add = [this](const QString& title, std::function<void()> action) {
    // A title's "&" is shown, not taken for a shortcut mark.
    QAction* item = menu_->addAction(QString(title).replace(QLatin1Char('&'), QStringLiteral("&&")));
    connect(item, &QAction::triggered, this, [action = std::move(action)] { action(); });
  };
  if (QFileInfo::exists(OXAppleRemoteController::mainAppPath())) add(tr("Open Ombrix"), [this] { openOmbrix(); });
  add(tr("Update Library"), [] { OXCoreLibrary::shareCoreLibrary()->actionUpdateLibraryFromOutside(); });
  menu_->addSeparator();
  add(tr("Help & Support"), [this] { showHelpPage(); });
  add(tr("Tour..."), [this] { showTour(); });
  add(tr("Settings..."), [this] { showPreferences(); });
  menu_->addSeparator();
  add(tr("Check Updates..."), [this] { checkUpdate(); });
  add(tr("Quit Ombrix Helper"), [this] { closeApp(); });
}

void OXPanelListController::showMenuSetting() {
  // Under the gear's right part, a little below its middle.
  const QPoint at(gearButton_->width() - 14, gearButton_->height() / 2 + 12);
  menu_->popup(gearButton_->mapToGlobal(at));
}

void OXPanelListController::openOmbrix() { ox::Workspace::shared().launchApplication(OXAppleRemoteController::mainAppPath()); }

void OXPanelListController::showHelpPage() {
  const QString site = OXServiceHosts::baseURL(OXService::WebSite);
  ox::Workspace::shared().openURL(QUrl(site + QStringLiteral("/ombrixapp/help/")));
}

void OXPanelListController::showTour() {
  tutorialWindowController_ = std::make_unique<OXTutorialWindowController>();
  bringWindowForward(tutorialWindowController_->window());
}

void OXPanelListController::showPreferences() {
  if (OXLibrary::shareLibrary()->isLibraryEmpty())
    ox::NotificationCenter::defaultCenter().post(OXPanelController::kClosePanelNotification);
  openSettingsWindow(false);
}

void OXPanelListController::showSources() {
  ox::NotificationCenter::defaultCenter().post(OXPanelController::kClosePanelNotification);
  openSettingsWindow(true);
}

void OXPanelListController::openSettingsWindow(bool sources) {
  settingsWindowController_->readSettings();
  if (sources) settingsWindowController_->showSources();
  bringWindowForward(settingsWindowController_->window());
}

void OXPanelListController::checkUpdate() { ox::SoftwareUpdateAlert::checkForUpdates(); }

void OXPanelListController::closeApp() { ox::Application::terminate(); }

void OXPanelListController::logOut() {
  OXOmbrixAPI().logOut();
  OXCoreLibrary::shareCoreLibrary()->clearLibrary();
  contentListViewController_->reloadData();
  ox::NotificationCenter::defaultCenter().post(OXPanelController::kLogOut);
}

void OXPanelListController::bringWindowForward(QWidget* window) {
  window->show();
  window->raise();
  window->activateWindow();
}
