#include "app/EpisodeView.h"

#include <QCoreApplication>
#include <cmath>

#include "app/HomeSectionListView.h"
#include "app/MoviesView.h"
#include "app/OXPanelResumeView.h"
#include "app/ShowsView.h"
#include "core/OXLibrary.h"
#include "core/OXPreferencesValues.h"
#include "platform/foundation/FileName.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/Images.h"
#include "platform/ui/Window.h"
#include "playback/OXVideoOSD.h"

using ox::Constraint;
using ox::ConstraintAttribute;
using ox::LayerPtr;
using ox::Transaction;

namespace {

const QString kFont = QStringLiteral("oxfont-Regular");
constexpr double kTitleHiddenScale = 0.714;

double screenHeight() { return OXPreferencesValues::sharePreferences()->mainScreenFrame().height(); }

Constraint fromSuperlayer(ConstraintAttribute attribute, double offset = 0) {
  return Constraint(attribute, QStringLiteral("superlayer"), attribute, 1.0, offset);
}

QString localized(const char* english) { return QCoreApplication::translate("Localizable", english); }

}  // namespace

EpisodeView::EpisodeView(const QRectF& frame)
    : ox::View(frame), ratioQueue_(std::make_unique<ox::OperationQueue>(1)) {
  layer();
}

EpisodeView::~EpisodeView() {
  stopObservingExit();
  if (panelToken_) ox::NotificationCenter::defaultCenter().removeObserver(panelToken_);
  // A watched ratio handed over is never lost with the view.
  waitForRatioStores();
}

LayerPtr EpisodeView::makeBackingLayer() {
  LayerPtr l = ox::Layer::layer();
  l->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  return l;
}

std::shared_ptr<EpisodeView> EpisodeView::self() {
  return std::static_pointer_cast<EpisodeView>(shared_from_this());
}

std::shared_ptr<OXEpisodesMenuLayer> EpisodeView::menuLayer(const std::shared_ptr<OXShow>& show) {
  return OXEpisodesMenuLayer::initWithShow(show, false);
}

// --- building

void EpisodeView::setupLayers(const std::shared_ptr<OXShow>& show) {
  const double H = screenHeight();
  MoviesView::loadLocalFonts(QStringLiteral("oxfont"));
  Transaction::begin();
  Transaction::setDisableActions(true);

  titleShowSelected_ = ox::TextLayer::layer();
  titleShowSelected_->setName("title_tvshow");
  titleShowSelected_->setZPosition(3);
  titleShowSelected_->setAlignmentMode(ox::TextAlignment::Center);
  titleShowSelected_->setFont(kFont);
  titleShowSelected_->setFontSize(std::ceil(0.07 * H));
  titleShowSelected_->setForegroundColor(Qt::white);
  titleShowSelected_->setShadowColor(Qt::black);
  titleShowSelected_->setShadowRadius(5);
  titleShowSelected_->setShadowOpacity(1);
  titleShowSelected_->setShadowOffset(QSizeF(0, 0));
  titleShowSelected_->setContentsScale(HomeSectionListView::backingScaleFactor());
  titleShowSelected_->setString(show ? show->title() : QString());
  layer()->addSublayer(titleShowSelected_);

  menuLayer_ = menuLayer(show);
  if (menuLayer_) layer()->addSublayer(menuLayer_);
  placeTitleAndMenu(false);

  splashScreen_ = ox::Layer::layer();
  splashScreen_->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  splashScreen_->setFrame(QRectF(0, 0, 173, 173));
  splashScreen_->setZPosition(14);
  splashScreen_->setOpacity(0);
  splashScreen_->setBackgroundColor(Qt::black);
  splashScreen_->setContentsGravity(ox::Gravity::Center);
  QImage logo = ox::imageNamed(QStringLiteral("ombrix_logo.png"));
  if (!logo.isNull()) logo = logo.scaled(173, 173, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  splashScreen_->setContents(logo);
  // Screens less than 1080 points high show the logo smaller.
  const double scale = H * 173 / 1080 < 173 ? H / 1080 : 1.0;
  splashScreen_->setTransform(ox::Transform3D::makeScale(scale, scale, scale));
  splashScreen_->addConstraint(fromSuperlayer(ConstraintAttribute::MidX));
  splashScreen_->addConstraint(fromSuperlayer(ConstraintAttribute::MidY));
  layer()->addSublayer(splashScreen_);

  textLoadingPlayer_ = ox::TextLayer::layer();
  textLoadingPlayer_->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  textLoadingPlayer_->setForegroundColor(Qt::black);
  textLoadingPlayer_->setFont(kFont);
  textLoadingPlayer_->setFontSize(std::ceil(0.0282 * H));
  textLoadingPlayer_->setAlignmentMode(ox::TextAlignment::Left);
  textLoadingPlayer_->setZPosition(1);
  textLoadingPlayer_->setContentsScale(HomeSectionListView::backingScaleFactor());
  textLoadingPlayer_->setString(QStringLiteral("Connected to 0 peers"));
  textLoadingPlayer_->addConstraint(fromSuperlayer(ConstraintAttribute::MidX));
  textLoadingPlayer_->addConstraint(fromSuperlayer(ConstraintAttribute::MinY, -0.08 * H));
  splashScreen_->addSublayer(textLoadingPlayer_);

  layer()->setNeedsLayout();
  layer()->layoutIfNeeded();
  Transaction::commit();
  acceptEvents_ = true;

  std::weak_ptr<EpisodeView> weak = self();
  introTimer_.start(kIntroDelay, [weak] {
    if (auto s = weak.lock()) s->showTrasition();
  });
}

void EpisodeView::placeTitleAndMenu(bool shown) {
  const double H = screenHeight();
  const double s = shown ? 1.0 : kTitleHiddenScale;
  titleShowSelected_->setTransform(shown ? ox::Transform3D() : ox::Transform3D::makeScale(s, s, s));
  titleShowSelected_->setConstraints({fromSuperlayer(ConstraintAttribute::MidX),
                                      fromSuperlayer(ConstraintAttribute::MinY, (shown ? 0.332 : 0.066) * H)});
  if (menuLayer_) {
    menuLayer_->setConstraints({fromSuperlayer(ConstraintAttribute::MidX),
                                fromSuperlayer(ConstraintAttribute::MinY, shown ? 0.0 : -0.3 * H)});
    menuLayer_->setOpacity(shown ? 1 : 0);
  }
  layer()->setNeedsLayout();
}

void EpisodeView::showTrasition() {
  Transaction::begin();
  Transaction::setAnimationDuration(0.3);
  Transaction::setAnimationTimingFunction(ox::TimingFunction::easeOut());
  placeTitleAndMenu(true);
  layer()->layoutIfNeeded();
  Transaction::commit();
}

void EpisodeView::hideMenu() {
  introTimer_.cancel();
  Transaction::begin();
  Transaction::setAnimationDuration(0.3);
  Transaction::setAnimationTimingFunction(ox::TimingFunction::easeOut());
  placeTitleAndMenu(false);
  layer()->layoutIfNeeded();
  Transaction::commit();
}

// --- commands

void EpisodeView::keyDown(const ox::KeyEvent& event) { OXSendRemoteCommand(*this, OXRemoteCommandForKey(event)); }

void EpisodeView::moveUp() {
  if (acceptEvents_ && menuLayer_) menuLayer_->previousSeason();
}

void EpisodeView::moveDown() {
  if (acceptEvents_ && menuLayer_) menuLayer_->nextSeason();
}

void EpisodeView::moveLeft() {
  if (acceptEvents_ && menuLayer_) menuLayer_->previousEpisode();
}

void EpisodeView::moveRight() {
  if (acceptEvents_ && menuLayer_) menuLayer_->nextEpisode();
}

void EpisodeView::repeatWhileHeld(bool right) {
  if (!acceptEvents_) return;
  std::weak_ptr<EpisodeView> weak = self();
  remoteControlRepeatTimer_.start(kRepeatPeriod, [weak, right] {
    const auto s = weak.lock();
    if (!s) return;
    if (right)
      s->moveRight();
    else
      s->moveLeft();
    s->repeatWhileHeld(right);
  });
}

void EpisodeView::holdLeft() { repeatWhileHeld(false); }

void EpisodeView::holdRight() { repeatWhileHeld(true); }

void EpisodeView::releaseButton() { remoteControlRepeatTimer_.cancel(); }

void EpisodeView::keyMenu() {
  if (subtitleLookup_.isSearching()) {
    // The opening is cancelled: no player, no alert, and the keys come back with the view.
    videoDidClosedWithError(false);
    return;
  }
  if (!acceptEvents_) return;
  // The view is on its way out: a Play now would fade the browser out behind it for good.
  acceptEvents_ = false;
  if (auto shows = weakShowView()) shows->backFromEpisodeList();
}

void EpisodeView::holdMenu() { showEpisodeOptions(); }

// --- Play and the resume question

std::shared_ptr<OXEpisode> EpisodeView::selectedEpisode() const {
  return menuLayer_ ? menuLayer_->episodeSelected() : nullptr;
}

float EpisodeView::selectedRatio() const {
  const auto episode = selectedEpisode();
  return episode ? OXLibrary::shareLibrary()->ratioForEpisodeID(episode->episodeID()) : 0.0f;
}

void EpisodeView::keyPlay() {
  if (!acceptEvents_) return;
  // A show without episodes has nothing to play.
  if (!selectedEpisode()) return;
  if (auto shows = weakShowView()) shows->clearMusic();
  std::weak_ptr<EpisodeView> weak = self();
  const bool asked =
      PanelResume::askToResume(selectedRatio(), panelResume_, panelToken_, [weak](const ox::Notification& n) {
        if (auto s = weak.lock()) s->closePanelNotification(n);
      });
  if (!asked) playEpisodeWithRatio(0);
}

void EpisodeView::closePanelNotification(const ox::Notification& notification) {
  const qint64 index = PanelResume::takeAnswer(notification, panelToken_);
  if (index < 0) return;
  playEpisodeWithRatio(index == 0 ? PanelResume::resumeRatio(selectedRatio()) : 0.0f);
}

// --- playback

void EpisodeView::playEpisodeWithRatio(float ratio) {
  showSplashScreen();
  if (auto shows = weakShowView()) shows->clearMusic();
  acceptEvents_ = false;
  // Taken here, on the main thread: the ratio is stored for the episode asked for, whatever the menu shows later.
  playingEpisode_ = selectedEpisode();
  std::weak_ptr<EpisodeView> weak = self();
  playDelay_.start(kPlayDelay, [weak, ratio] {
    if (auto s = weak.lock()) s->openEpisode(ratio);
  });
}

void EpisodeView::openEpisode(float ratio) {
  const std::shared_ptr<OXFile> file = playingEpisode_ ? playingEpisode_->file() : nullptr;
  const QString path = file ? file->filePath() : QString();
  if (!ox::isFileAtPath(path)) {
    acceptEvents_ = true;
    videoDidClosedWithError(false);
    return;
  }
  // The splash screen stays while OpenSubtitles answers; Menu meanwhile cancels.
  std::weak_ptr<EpisodeView> weak = self();
  subtitleLookup_.start(playingEpisode_, subtitleOrder(), [weak, ratio](const QVariantList& subtitles) {
    if (auto s = weak.lock()) s->openPlayer(ratio, subtitles);
  });
}

void EpisodeView::openPlayer(float ratio, const QVariantList& subtitles) {
  videoPlayer_ = OXPlayerController::initWithData(playingEpisode_, ratio, subtitles);
  if (!videoPlayer_) {
    videoDidClosedWithError(true);
    return;
  }
  videoPlayer_->setDelegate(self());
  observeExitPlayer();
}

OXSubtitleLookup::Order EpisodeView::subtitleOrder() const { return OXSubtitleLookup::Order::SearchThenEmpty; }

void EpisodeView::observeExitPlayer() {
  if (exitToken_) return;
  std::weak_ptr<EpisodeView> weak = self();
  exitToken_ = ox::NotificationCenter::defaultCenter().addObserver(
      QString::fromLatin1(::exitPlayerNotification), nullptr, [weak](const ox::Notification& n) {
        if (auto s = weak.lock()) s->exitPlayerNotification(n);
      });
}

void EpisodeView::stopObservingExit() {
  if (exitToken_) ox::NotificationCenter::defaultCenter().removeObserver(exitToken_);
  exitToken_ = 0;
}

void EpisodeView::setContentOpacity(double opacity) {
  titleShowSelected_->setOpacity(opacity);
  if (menuLayer_) menuLayer_->setOpacity(opacity);
  if (auto shows = weakShowView()) shows->layer()->setOpacity(opacity);
}

void EpisodeView::showSplashScreen() {
  std::weak_ptr<EpisodeView> weak = self();
  Transaction::begin();
  Transaction::setAnimationDuration(0.3);
  Transaction::setCompletionBlock([weak] {
    // Not once the view is on its way back.
    const auto s = weak.lock();
    if (s && !s->acceptEvents_) s->splashScreen_->setOpacity(1);
  });
  setContentOpacity(0);
  Transaction::commit();
}

void EpisodeView::videoDidLoaded() {
  Transaction::begin();
  Transaction::setAnimationDuration(0.3);
  splashScreen_->setOpacity(0);
  Transaction::commit();
}

void EpisodeView::closeSplashScreen() {
  std::weak_ptr<EpisodeView> weak = self();
  Transaction::begin();
  Transaction::setAnimationDuration(0.3);
  Transaction::setCompletionBlock([weak] {
    if (auto s = weak.lock()) s->setContentOpacity(1);
  });
  splashScreen_->setOpacity(0);
  Transaction::commit();
}

void EpisodeView::videoDidFailed() { videoDidClosedWithError(true); }

void EpisodeView::videoDidClosedWithError(bool error) {
  // However the opening ended, a search for its subtitles still under way gives nothing any more.
  subtitleLookup_.cancel();
  // The controller calls from inside its own close, which keeps it alive until it returns.
  videoPlayer_.reset();
  if (error) {
    errorPanel_ = OXFullScreenMenu::initAlertWithTexts({localized("We're unable to open this file."),
                                                        localized("If you bought it on the iTunes store,"),
                                                        localized("it's probably DRM protected.")});
    errorPanel_->open();
  }
  std::weak_ptr<EpisodeView> weak = self();
  returnDelay_.start(kReturnDelay, [weak] {
    const auto s = weak.lock();
    if (!s) return;
    Transaction::begin();
    Transaction::setDisableActions(true);
    s->splashScreen_->setOpacity(0);
    Transaction::commit();
    if (auto shows = s->weakShowView()) shows->startMusic();
    Transaction::begin();
    Transaction::setAnimationDuration(0.3);
    Transaction::setCompletionBlock([weak] {
      if (auto back = weak.lock()) {
        back->acceptEvents_ = true;
        back->playingEpisode_.reset();
      }
    });
    s->setContentOpacity(1);
    Transaction::commit();
  });
}

void EpisodeView::exitPlayerNotification(const ox::Notification& notification) {
  if (const auto w = window()) w->makeKeyAndOrderFront();
  const std::shared_ptr<OXEpisode> episode = playingEpisode_;
  const float ratio = notification.userInfo.value(QStringLiteral("percentage")).toFloat();
  if (const std::shared_ptr<OXPlayerController> player = videoPlayer_) player->close(false);
  storeRatio(ratio, episode);
  stopObservingExit();
  if (auto shows = weakShowView()) shows->startMusic();
}

void EpisodeView::storeRatio(float ratio, const std::shared_ptr<OXEpisode>& episode) {
  if (!episode) return;
  const quint64 id = episode->episodeID();
  // The file write stays off the main thread; the store guards its list itself.
  ratioQueue_->addOperationWithBlock([ratio, id] { OXLibrary::shareLibrary()->setRatioEpisodeID(ratio, id); });
  if (menuLayer_ && menuLayer_->episodeSelected() == episode) menuLayer_->setRatioToEpisodeSelected(ratio);
}

void EpisodeView::waitForRatioStores() {
  if (ratioQueue_) ratioQueue_->waitUntilAllOperationsAreFinished();
}

// --- watched marks

QStringList EpisodeView::episodeOptions(float ratio) {
  if (ratio < 0.25f) return {localized("Mark as Watched"), localized("Cancel")};
  if (ratio > 0.25f && ratio < 0.75f)
    return {localized("Mark as Unwatched"), localized("Mark as Watched"), localized("Cancel")};
  return {localized("Mark as Unwatched"), localized("Cancel")};
}

void EpisodeView::showEpisodeOptions() {
  if (!selectedEpisode()) return;
  const float ratio = selectedRatio();
  const QStringList entries = episodeOptions(ratio);
  optionEpisodeMenu_ = OXFullScreenMenu::initWithTitle(QString(), entries);
  const auto me = self();
  if (entries.size() == 3) {
    optionEpisodeMenu_->addTarget(me, &EpisodeView::markLikeEpisodeUnseen, 0);
    optionEpisodeMenu_->addTarget(me, &EpisodeView::markLikeEpisodeSeen, 1);
  } else if (ratio < 0.25f) {
    optionEpisodeMenu_->addTarget(me, &EpisodeView::markLikeEpisodeSeen, 0);
  } else {
    optionEpisodeMenu_->addTarget(me, &EpisodeView::markLikeEpisodeUnseen, 0);
  }
  optionEpisodeMenu_->addTarget(optionEpisodeMenu_, &OXFullScreenMenu::close, quint64(entries.size() - 1));
  optionEpisodeMenu_->open();
}

void EpisodeView::markLikeEpisodeUnseen() {
  if (const auto episode = selectedEpisode()) {
    OXLibrary::shareLibrary()->setRatioEpisodeID(0, episode->episodeID());
    menuLayer_->setRatioToEpisodeSelected(0);
  }
  if (optionEpisodeMenu_) optionEpisodeMenu_->close();
}

void EpisodeView::markLikeEpisodeSeen() {
  const auto selected = selectedEpisode();
  if (selected) {
    OXLibrary* library = OXLibrary::shareLibrary();
    bool marked = false;
    for (const auto& e : library->episodeList()) {
      if (e->showID() != selected->showID()) continue;
      const bool before = e->seasonNumber() < selected->seasonNumber() ||
                          (e->seasonNumber() == selected->seasonNumber() &&
                           e->episodeNumber() <= selected->episodeNumber());
      if (!before) continue;
      library->setRatioEpisodeID(1.0f, e->episodeID());
      marked = true;
    }
    if (marked) menuLayer_->markLikeSeenEpisodeSelectedAndPrevious();
  }
  if (optionEpisodeMenu_) optionEpisodeMenu_->close();
}
