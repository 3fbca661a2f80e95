// The movie browser's keys and remote commands, and playback from the request to the return to browsing.
#include <QCoreApplication>

#include "app/CALayer_Transitions.h"
#include "app/MoviesView.h"
#include "app/OXPanelResumeView.h"
#include "core/OXLibrary.h"
#include "core/OXPreferencesValues.h"
#include "platform/foundation/FileName.h"
#include "platform/foundation/Log.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/Window.h"
#include "playback/OXVideoOSD.h"

using ox::Transaction;

// --- moving along the row

void MoviesView::move(bool right) {
  if (!acceptEvents_) return;
  clearMusic();
  movieBackdrop_->setContents(QImage());
  movieBackdrop_->setOpacity(0);
  appearTimer_.cancel();
  Transaction::begin();
  Transaction::setDisableActions(true);
  footerBaseLayer_->setOpacity(0);
  Transaction::commit();
  if (right)
    coverUp();
  else
    coverDown();
  // Footer, preview and backdrop follow only once the user rests on a poster.
  std::weak_ptr<MoviesView> weak = self();
  appearTimer_.start(kSettleTime, [weak] {
    if (auto s = weak.lock()) s->titleMovieAppear();
  });
}

void MoviesView::moveLeft() { move(false); }

void MoviesView::moveRight() { move(true); }

void MoviesView::moveDown() { showFilterMenu(); }

void MoviesView::repeatWhileHeld(bool right) {
  if (!acceptEvents_) return;
  std::weak_ptr<MoviesView> weak = self();
  remoteControlRepeatTimer_.start(kRepeatPeriod, [weak, right] {
    const auto s = weak.lock();
    if (!s) return;
    s->move(right);
    s->repeatWhileHeld(right);
  });
}

void MoviesView::holdLeft() { repeatWhileHeld(false); }

void MoviesView::holdRight() { repeatWhileHeld(true); }

void MoviesView::releaseButton() { remoteControlRepeatTimer_.cancel(); }

void MoviesView::keyDown(const ox::KeyEvent& event) {
  OXSendRemoteCommand(*this, OXRemoteCommandForKey(event));
  if (coverflowLayer_) coverflowLayer_->setNeedsLayout();
}

// --- Play, and the resume question

void MoviesView::keyPlay() {
  if (!acceptEvents_) return;
  std::weak_ptr<MoviesView> weak = self();
  const bool asked =
      PanelResume::askToResume(selectedCoverPercentage(), panelResume_, panelToken_, [weak](const ox::Notification& n) {
        if (auto s = weak.lock()) s->closePanelNotification(n);
      });
  if (!asked) playMovieWithRatio(0);
}

void MoviesView::closePanelNotification(const ox::Notification& notification) {
  const qint64 index = PanelResume::takeAnswer(notification, panelToken_);
  // A panel left without an answer starts nothing.
  if (index < 0) return;
  playMovieWithRatio(index == 0 ? PanelResume::resumeRatio(selectedCoverPercentage()) : 0.0f);
}

// --- playback

void MoviesView::playMovieWithRatio(float ratio) {
  showSplashScreen();
  clearMusic();
  acceptEvents_ = false;
  isPlaying_ = true;
  playingObject_ = objectSelected();
  // Menu during the delay cancels it: nothing opens once the user has left.
  std::weak_ptr<MoviesView> weak = self();
  playDelay_.start(kPlayDelay, [weak, ratio] {
    if (auto s = weak.lock()) s->openSelectedTitle(ratio);
  });
}

void MoviesView::openSelectedTitle(float ratio) {
  if (!isPlaying_) return;
  const auto movie = std::dynamic_pointer_cast<OXMovie>(playingObject_);
  const auto file = movie ? movie->file() : nullptr;
  const QString path = file ? file->filePath() : QString();
  if (!ox::isFileAtPath(path)) {
    acceptEvents_ = true;
    videoDidClosedWithError(true);
    return;
  }
  // The splash screen stays while OpenSubtitles answers, and Menu meanwhile cancels as during the delay.
  std::weak_ptr<MoviesView> weak = self();
  subtitleLookup_.start(playingObject_, subtitleOrder(), [weak, ratio](const QVariantList& subtitles) {
    if (auto s = weak.lock()) s->openPlayer(ratio, subtitles);
  });
}

void MoviesView::openPlayer(float ratio, const QVariantList& subtitles) {
  if (!isPlaying_) return;
  videoPlayer_ = OXPlayerController::initWithData(playingObject_, ratio, subtitles);
  if (!videoPlayer_) {
    acceptEvents_ = true;
    videoDidClosedWithError(true);
    return;
  }
  videoPlayer_->setDelegate(self());
  observeExitPlayer();
  clearMusic();
}

void MoviesView::observeExitPlayer() {
  if (exitToken_) return;
  std::weak_ptr<MoviesView> weak = self();
  exitToken_ = ox::NotificationCenter::defaultCenter().addObserver(
      QString::fromLatin1(::exitPlayerNotification), nullptr, [weak](const ox::Notification& n) {
        if (auto s = weak.lock()) s->exitPlayerNotification(n);
      });
}

OXSubtitleLookup::Order MoviesView::subtitleOrder() const { return OXSubtitleLookup::Order::SearchEmptyAndLogOut; }

void MoviesView::fadeBrowser(double opacity, double duration, std::function<void()> completion) {
  Transaction::begin();
  Transaction::setAnimationDuration(duration);
  if (completion) Transaction::setCompletionBlock(std::move(completion));
  for (const ox::LayerPtr& l : {headerBaseLayer_, movieBackdrop_, coverflowLayer_, footerBaseLayer_})
    l->setOpacity(opacity);
  Transaction::commit();
}

void MoviesView::showSplashScreen() {
  std::weak_ptr<MoviesView> weak = self();
  const quint64 splash = ++splashGeneration_;
  fadeBrowser(0, 0.3, [weak, splash] {
    // Not once the opening was cancelled and the browser is on its way back.
    const auto s = weak.lock();
    if (s && s->splashGeneration_ == splash) s->splashScreen_->setOpacity(1);
  });
}

void MoviesView::videoDidLoaded() {
  Transaction::begin();
  Transaction::setAnimationDuration(0.3);
  splashScreen_->setOpacity(0);
  Transaction::commit();
}

void MoviesView::videoDidFailed() { videoDidClosedWithError(true); }

void MoviesView::showAlert() {
  const auto text = [](const char* english) { return QCoreApplication::translate("Localizable", english); };
  errorPanel_ = OXFullScreenMenu::initAlertWithTexts({text("We're unable to open this file."),
                                                      text("If you bought it on the iTunes store,"),
                                                      text("it's probably DRM protected.")});
  errorPanel_->open();
}

void MoviesView::videoDidClosedWithError(bool error) {
  isPlaying_ = false;
  // However the opening ended, a search for its subtitles still under way gives nothing any more.
  subtitleLookup_.cancel();
  playingObject_.reset();
  // The controller calls from inside its own close, which keeps it alive until it returns.
  videoPlayer_.reset();
  if (error) showAlert();
  std::weak_ptr<MoviesView> weak = self();
  returnDelay_.start(kReturnDelay, [weak] {
    const auto s = weak.lock();
    if (!s) return;
    Transaction::begin();
    Transaction::setDisableActions(true);
    s->splashScreen_->setOpacity(0);
    Transaction::commit();
    s->startMusic();
    s->fadeBrowser(1, 0.3, [weak] {
      if (auto back = weak.lock()) back->acceptEvents_ = true;
    });
  });
}

void MoviesView::exitPlayerNotification(const ox::Notification& notification) {
  if (const auto w = window()) w->makeKeyAndOrderFront();
  const float ratio = notification.userInfo.value(QStringLiteral("percentage")).toFloat();
  // The title that was opened, whatever the row shows by now.
  if (const auto movie = std::dynamic_pointer_cast<OXMovie>(playingObject_))
    OXLibrary::shareLibrary()->setRatioForIMDB(ratio, movie->imdb());
  if (const std::shared_ptr<OXPlayerController> player = videoPlayer_) player->close(false);
  isPlaying_ = false;
  stopObservingExit();
}

void MoviesView::stopObservingExit() {
  if (exitToken_) ox::NotificationCenter::defaultCenter().removeObserver(exitToken_);
  exitToken_ = 0;
}

void MoviesView::closeSplashScreen() {
  acceptEvents_ = true;
  isPlaying_ = false;
  playDelay_.cancel();
  ++splashGeneration_;
  if (const auto w = window()) w->makeKeyAndOrderFront();
  // Closed without its callback, so the browser comes back once.
  if (const std::shared_ptr<OXPlayerController> player = videoPlayer_) {
    player->setDelegate(nullptr);
    player->close(false);
  }
  videoDidClosedWithError(false);
  stopObservingExit();
}

// --- Menu

void MoviesView::keyMenu() {
  if (isPlaying_) {
    closeSplashScreen();
    return;
  }
  if (acceptEvents_) leaveForHome(1);
}

void MoviesView::leaveForHome(qint32 sectionCode) {
  // A second Menu during the fade must not build a second Home.
  acceptEvents_ = false;
  stopTimers();
  cancelImageWork();
  std::weak_ptr<MoviesView> weak = self();
  setAnimationToOpacity(layer(), 0.0f, 0.4f, [weak, sectionCode] {
    const auto s = weak.lock();
    if (!s) return;
    if (auto d = s->delegate()) d->openHome(sectionCode);
  });
}
