#include "helper/OXPanelListController.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>
#include <mutex>

#include "core/OXLibrary.h"
#include "helper/OXPopUpMessageViewController.h"
#include "helper/OXTutorialWindowController.h"
#include "platform/foundation/MainQueue.h"
#include "scanner/OXCoreLibrary.h"

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
}  // namespace

OXPanelListController::OXPanelListController()
    : view_(new QWidget), engineDelegate_(std::make_shared<EngineDelegate>(this)) {
  OXCoreLibrary::shareCoreLibrary()->setDelegate(engineDelegate_);

  view_->setObjectName(QStringLiteral("OXPanelListController"));
  view_->resize(kWidth, kHeight);
  popUpTitle_ = new QLabel(tr("Library"), view_);
  popUpTitle_->setGeometry(16, 0, kWidth - 120, kHeaderHeight);
  QFont font = popUpTitle_->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.2);
  popUpTitle_->setFont(font);
  popUpTitle_->setStyleSheet(QStringLiteral("color: #3a3a3c;"));

  scrollView_ = new QScrollArea(view_);
  scrollView_->setGeometry(kMessageX, kHeaderHeight, kClipWidth, kStageHeight);
  scrollView_->setFrameShape(QFrame::NoFrame);
  scrollView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scrollView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scrollView_->setStyleSheet(
      QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
  stage_ = new QWidget;
  stage_->setObjectName(QStringLiteral("stage"));
  stage_->setFixedSize(kStageWidth, kStageHeight);
  scrollView_->setWidget(stage_);
  scrollView_->horizontalScrollBar()->setValue(0);

  popUpMessageViewController_ = std::make_unique<OXPopUpMessageViewController>();
  QWidget* message = popUpMessageViewController_->view();
  message->setParent(view_);
  message->move(kMessageX, kHeight - kMessageY - message->height());
  message->hide();

  checkMessageView();
  libraryObserver_ = ox::NotificationCenter::defaultCenter().addObserver(
      kLibraryChanged, nullptr, [this](const ox::Notification&) { checkMessageView(); });
}

OXPanelListController::~OXPanelListController() {
  engineDelegate_->detach();
  ox::NotificationCenter::defaultCenter().removeObserver(libraryObserver_);
  tutorialWindowController_.reset();
  popUpMessageViewController_.reset();
  delete view_.data();
}

void OXPanelListController::unknownAdded(const std::shared_ptr<OXFile>&) { libraryChangedByEngine(); }
void OXPanelListController::removeUnknown(const std::shared_ptr<OXFile>&) { libraryChangedByEngine(); }
void OXPanelListController::contentAdded(const ox::CodingPtr&) { libraryChangedByEngine(); }

void OXPanelListController::libraryChangedByEngine() {
  auto& centre = ox::NotificationCenter::defaultCenter();
  centre.post(kLibraryChanged);
  centre.post(kSourceStatisticsChanged);
}

int OXPanelListController::buttonSegmentedSelected() const { return 1; }

void OXPanelListController::setPopUpState(int state) {
  if (state == 1) ox::NotificationCenter::defaultCenter().post(kLibraryChanged);
}

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
    scrollView_->hide();
    popUpMessageViewController_->view()->show();
  });
}

void OXPanelListController::hideMessageView() {
  ox::performOnMainThread(this, [this] {
    scrollView_->show();
    popUpMessageViewController_->view()->hide();
  });
}

bool OXPanelListController::isMessageViewShown() const { return !popUpMessageViewController_->view()->isHidden(); }

void OXPanelListController::showTour() {
  tutorialWindowController_ = std::make_unique<OXTutorialWindowController>();
  bringWindowForward(tutorialWindowController_->window());
}

void OXPanelListController::bringWindowForward(QWidget* window) {
  window->show();
  window->raise();
  window->activateWindow();
}
