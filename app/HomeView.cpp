#include "app/HomeView.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <mutex>

#include "app/CALayer_Transitions.h"
#include "core/OXLibrary.h"
#include "core/OXPreferencesValues.h"
#include "core/OXTools.h"
#include "platform/foundation/ImageDecoder.h"
#include "platform/foundation/Log.h"
#include "platform/layers/Fonts.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"
#include "platform/system/SoftwareUpdater.h"
#include "platform/ui/Application.h"
#include "platform/ui/Images.h"
#include "playback/NSCursor_Hide.h"

using ox::Constraint;
using ox::ConstraintAttribute;
using ox::LayerPtr;

namespace {

const QString kFont = QStringLiteral("oxfont-Regular");

void centreOnSuperlayer(ox::Layer& l) {
  l.addConstraint(Constraint(ConstraintAttribute::MidX, "superlayer", ConstraintAttribute::MidX));
  l.addConstraint(Constraint(ConstraintAttribute::MidY, "superlayer", ConstraintAttribute::MidY));
}

}  // namespace

struct HomeView::Prefetch {
  std::mutex lock;
  QString path;
  QImage image;
};

HomeView::HomeView(const QRectF& frame)
    : OXSectionView(frame), prefetch_(std::make_shared<Prefetch>()), imageQueue_(std::make_unique<ox::OperationQueue>(1)) {
  NSCursor_Hide::hideCursor();
  loadBackdrops();
  layer();
}

HomeView::~HomeView() {
  stopTimers();
  // A picture being decoded ahead finishes on its own; its slot outlives the view.
  ox::OperationQueue::dispose(std::move(imageQueue_));
}

LayerPtr HomeView::makeBackingLayer() {
  LayerPtr l = ox::Layer::layer();
  l->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  l->setBackgroundColor(Qt::black);
  l->setOpacity(1);
  return l;
}

std::weak_ptr<HomeView> HomeView::weakSelf() {
  return std::static_pointer_cast<HomeView>(shared_from_this());
}

void HomeView::setupLayers() {
  const QRectF screen = OXPreferencesValues::sharePreferences()->mainScreenFrame();
  const double H = screen.height();
  loadLocalFonts(QStringLiteral("oxfont"));

  otherLayer_ = ox::Layer::layer();
  otherLayer_->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  otherLayer_->setFrame(frame());
  otherLayer_->setZPosition(10);
  centreOnSuperlayer(*otherLayer_);
  layer()->addSublayer(otherLayer_);

  timeLayer_ = ox::TextLayer::layer();
  timeLayer_->setName("time_otherlayer");
  timeLayer_->setString(clockText(QDateTime::currentDateTime()));
  timeLayer_->setFont(kFont);
  timeLayer_->setFontSize(std::ceil(float(H / 27)));
  timeLayer_->setAlignmentMode(ox::TextAlignment::Right);
  timeLayer_->setShadowColor(Qt::black);
  timeLayer_->setShadowRadius(2);
  timeLayer_->setShadowOpacity(1);
  timeLayer_->setShadowOffset(QSizeF(0, 0));
  timeLayer_->addConstraint(Constraint(ConstraintAttribute::MinX, "superlayer", ConstraintAttribute::MinX, 1.0, 44));
  timeLayer_->addConstraint(Constraint(ConstraintAttribute::MaxY, "superlayer", ConstraintAttribute::MaxY, 1.0, -26));
  timeLayer_->setContentsScale(HomeSectionListView::backingScaleFactor());
  otherLayer_->addSublayer(timeLayer_);

  createSectionList();

  // Behind everything, the section list's band included.
  kenburnsLayer_ = OXKenBurnsLayer::layer();
  layer()->insertSublayer(kenburnsLayer_, 0);

  vignette_ = ox::Layer::layer();
  vignette_->setName("vignette");
  vignette_->setZPosition(6);
  vignette_->setFrame(screen);
  vignette_->setContents(ox::imageNamed(QStringLiteral("vignetteHome.png")));
  centreOnSuperlayer(*vignette_);
  kenburnsLayer_->addSublayer(vignette_);

  updateDate();
  setAnimationToOpacity(homeSectionList_->layer(), 1.0f, 0.5f);
  acceptEvents_ = true;
  std::weak_ptr<HomeView> weak = weakSelf();
  performBlockAfterDelay([weak] {
    const auto self = weak.lock();
    if (!self) return;
    ox::Transaction::begin();
    ox::Transaction::setAnimationDuration(1.0);
    ox::Transaction::setAnimationTimingFunction(ox::TimingFunction::easeOut());
    self->layer()->setOpacity(1);
    ox::Transaction::commit();
  }, 0.5);
  updateBackdrop();
}

void HomeView::createSectionList() {
  const QRectF screen = OXPreferencesValues::sharePreferences()->mainScreenFrame();
  const QRectF listFrame(0, 0, screen.width() * 0.5, screen.height());
  gradient_ = std::make_shared<OXHomeGradient>(listFrame);
  addSubview(gradient_);
  homeSectionList_ = std::make_shared<HomeSectionListView>(listFrame);
  homeSectionList_->initListWithSections(
      {QStringLiteral("Trailers"), QStringLiteral("Movies"), QStringLiteral("Shows")});
  addSubview(homeSectionList_);
  needUpdate();
}

void HomeView::activeSection(qint32 section) {
  rowTimer_.cancel();
  if (!homeSectionList_) return;
  quint64 row = 0;
  if (section == 1)
    row = 1;
  else if (section == 2)
    row = 2;
  else
    return;
  activeRow_ = row;
  homeSectionList_->selectItemAt(row);
  newRowSelected();
}

void HomeView::loadBackdrops() {
  OXLibrary* library = OXLibrary::shareLibrary();
  moviesBackdropsArray_ = library->getHomeMovieImagesPath();
  tvshowBackdropsArray_ = library->getHomeShowImagesPath();
}

void HomeView::newRowSelected() {
  if (!homeSectionList_ || activeRow_ == homeSectionList_->selectedRow()) return;
  backdropTimer_.cancel();
  activeRow_ = homeSectionList_->selectedRow();
  updateBackdrop();
}

bool HomeView::rowIsShows(quint64 row) const {
  const QStringList titles = homeSectionList_ ? homeSectionList_->itemList() : QStringList();
  return row < quint64(titles.size()) && titles[qsizetype(row)] == QLatin1String("Shows");
}

void HomeView::updateBackdrop() {
  const bool shows = rowIsShows(activeRow_);
  const QStringList& list = shows ? tvshowBackdropsArray_ : moviesBackdropsArray_;
  qint32& counter = shows ? counterTVShow_ : counterMovie_;
  if (counter >= list.size()) counter = 0;
  QImage picture;
  double next = kEmptyRetryTime;
  if (!list.isEmpty()) {
    picture = pictureAt(list[counter]);
    ++counter;
    next = kPictureTime;
    prefetch(list[counter >= list.size() ? 0 : counter]);
  }
  if (kenburnsLayer_) kenburnsLayer_->nextWithImage(picture);
  std::weak_ptr<HomeView> weak = weakSelf();
  backdropTimer_.start(next, [weak] {
    if (auto self = weak.lock()) self->updateBackdrop();
  });
}

QImage HomeView::pictureAt(const QString& path) {
  {
    std::lock_guard<std::mutex> hold(prefetch_->lock);
    if (prefetch_->path == path && !prefetch_->image.isNull()) return prefetch_->image;
  }
  // A backdrop kept whole is shown; one cut short by an older helper is not, rather than grey below the cut.
  QImage image = ox::ImageDecoder::decodeFile(path);
  if (image.isNull()) ox::log(QStringLiteral("Home backdrop %1 could not be read").arg(path));
  return image;
}

void HomeView::prefetch(const QString& path) {
  {
    std::lock_guard<std::mutex> hold(prefetch_->lock);
    if (prefetch_->path == path) return;
    prefetch_->path = path;
    prefetch_->image = QImage();
  }
  std::shared_ptr<Prefetch> slot = prefetch_;
  imageQueue_->addOperationWithBlock([slot, path] {
    QImage image = ox::ImageDecoder::decodeFile(path);
    std::lock_guard<std::mutex> hold(slot->lock);
    if (slot->path == path) slot->image = std::move(image);
  });
}

void HomeView::updateApp() { ox::SoftwareUpdater::shared().checkForUpdates(); }

void HomeView::closeFullScreenMenu() {
  if (fullScreenMenu_) fullScreenMenu_->close();
  fullScreenMenu_.reset();
}

void HomeView::showUpdateMenu() {
  const auto text = [](const char* english) { return QCoreApplication::translate("Localizable", english); };
  fullScreenMenu_ = OXFullScreenMenu::initWithTitle(text("Ombrix will be closed to install the new update."),
                                                    {text("Install now"), text("Later")});
  const auto self = std::static_pointer_cast<HomeView>(shared_from_this());
  fullScreenMenu_->addTarget(self, &HomeView::updateApp, 0);
  fullScreenMenu_->addTarget(self, &HomeView::closeFullScreenMenu, 1);
  fullScreenMenu_->open();
}

void HomeView::moveUp() { rowChange(false); }

void HomeView::moveDown() { rowChange(true); }

void HomeView::rowChange(bool down) {
  if (!acceptEvents_) return;
  rowTimer_.cancel();
  if (down)
    homeSectionList_->selectNext();
  else
    homeSectionList_->selectPrevious();
  // The highlight moves at once; the slideshow follows only once the keys have settled.
  std::weak_ptr<HomeView> weak = weakSelf();
  rowTimer_.start(kRowSettleTime, [weak] {
    if (auto self = weak.lock()) self->newRowSelected();
  });
}

void HomeView::keyPlay() {
  if (!acceptEvents_ || !homeSectionList_) return;
  const qint32 code = homeSectionList_->sectionSelected();
  switch (code) {
    case 1:
    case 2:
    case 5:
    case 6:
    case 7: {
      // A second Play during the fade would build the section twice.
      acceptEvents_ = false;
      std::shared_ptr<AppControllerDelegate> target = delegate();
      setAnimationToOpacity(layer(), 0.0f, 0.4f, [target, code] {
        if (!target) return;
        switch (code) {
          case 1: target->openMovies(); break;
          case 2: target->openTVShows(); break;
          case 5: target->openMoviesStreamers(); break;
          case 6: target->openShowsStreamers(); break;
          default: target->openTrailers(); break;
        }
      });
      break;
    }
    case 4: showUpdateMenu(); break;
    default: break;
  }
}

void HomeView::keyMenu() {
  setAnimationToOpacity(layer(), 0.0f, 0.6f);
  performBlockAfterDelay([] { ox::Application::terminate(); }, 0.9);
}

void HomeView::keyDown(const ox::KeyEvent& event) {
  switch (event.firstCharacter()) {
    case 13:
    case 32: keyPlay(); break;
    case 27:
    case 127: keyMenu(); break;
    case ox::UpArrowFunctionKey: moveUp(); break;
    case ox::DownArrowFunctionKey: moveDown(); break;
    default: break;
  }
}

QString HomeView::currentVersion() const { return ox::SoftwareUpdater::shared().currentVersion(); }

void HomeView::needUpdate() {
  // A feed that does not answer holds nothing: Home is up at once, and the row follows the answer.
  std::weak_ptr<HomeView> weak = weakSelf();
  ox::SoftwareUpdater::shared().checkForUpdatesOrJoin([weak](const ox::SoftwareUpdater::CheckResult& result) {
    const auto self = weak.lock();
    if (!self || self->hasLeft() || !self->homeSectionList_) return;
    if (result.outcome == ox::SoftwareUpdater::CheckResult::Outcome::NewerVersion)
      self->homeSectionList_->addSection(QStringLiteral("Update Available"));
  });
}

QString HomeView::clockText(const QDateTime& when) {
  // Some locales (the C locale among them) keep seconds in their short style; a clock that ticks each minute
  // shows hours and minutes only.
  static const QRegularExpression kSeconds(QStringLiteral("[:.]ss?"));
  const QLocale locale = QLocale::system();
  const QString format = locale.timeFormat(QLocale::ShortFormat).remove(kSeconds);
  return locale.toString(when.time(), format).toUpper();
}

double HomeView::secondsToNextTick(const QTime& now) {
  return kClockPeriod - now.second() - now.msec() / 1000.0 + 0.05;
}

void HomeView::updateDate() {
  // The first call (from setupLayers) starts the clock; every tick after it sets the text.
  if (clockStarted_ && timeLayer_) timeLayer_->setString(clockText(QDateTime::currentDateTime()));
  clockStarted_ = true;
  std::weak_ptr<HomeView> weak = weakSelf();
  dateTimer_.start(secondsToNextTick(QTime::currentTime()), [weak] {
    if (auto self = weak.lock()) self->updateDate();
  });
}

bool HomeView::loadLocalFonts(const QString& name) {
  // The fonts are compiled in (resources/) under ":/fonts/".
  return !ox::Fonts::registerFontFile(QStringLiteral(":/fonts/%1.ttf").arg(name));
}

void HomeView::viewDidMoveToWindow() {
  if (window()) {
    wasInWindow_ = true;
  } else if (wasInWindow_) {
    stopTimers();
  }
}

void HomeView::stopTimers() {
  dateTimer_.cancel();
  backdropTimer_.cancel();
  rowTimer_.cancel();
}
