#include "helper/OXPanelController.h"

#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPropertyAnimation>
#include <QScreen>
#include <cmath>

#include "core/OXLibrary.h"
#include "helper/OXPanelListController.h"
#include "helper/OXSignUpLoginController.h"
#include "helper/StatusItemView.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/MainQueue.h"
#include "platform/ui/StatusItem.h"
#include "scanner/OXOmbrixAPI.h"

const QString OXPanelController::kTogglePanel = QStringLiteral("togglePanel");
const QString OXPanelController::kClosePanelNotification = QStringLiteral("closePanelNotification");
const QString OXPanelController::kReloadContentList = QStringLiteral("reloadContentList");
const QString OXPanelController::kSignUpLoginView = QStringLiteral("signUpLoginView");
const QString OXPanelController::kLogOut = QStringLiteral("logOut");

OXPanelController::OXPanelController(OXPanelControllerDelegate* delegate)
    : panelDelegate_(delegate),
      panelListController_(std::make_unique<OXPanelListController>()),
      window_(std::make_unique<OXPanel>()),
      cancel_(std::make_shared<ox::HttpCancel>()) {
  window_->windowDidBecomeKey = [this] { windowDidBecomeKey(); };
  window_->windowDidResignKey = [this] { windowDidResignKey(); };
  window_->windowWillClose = [this] { windowWillClose(); };
  // Escape closes the panel as a click outside it would, also one opened to stay.
  window_->cancelOperation = [] { ox::NotificationCenter::defaultCenter().post(kClosePanelNotification); };
  orderOut_.setSingleShot(true);
  connect(&orderOut_, &QTimer::timeout, this, [this] { window_->hide(); });
  auto& centre = ox::NotificationCenter::defaultCenter();
  signUpObserver_ = centre.addObserver(kSignUpLoginView, nullptr, [this](const ox::Notification&) {
    ox::performOnMainThread(this, [this] { showSignUpLoginView(); });
  });
  logOutObserver_ = centre.addObserver(kLogOut, nullptr, [this](const ox::Notification&) {
    ox::performOnMainThread(this, [this] { logOutSuccess(); });
  });
}

OXPanelController::~OXPanelController() {
  cancel_->cancel();
  auto& centre = ox::NotificationCenter::defaultCenter();
  centre.removeObserver(signUpObserver_);
  centre.removeObserver(logOutObserver_);
  window_->windowDidBecomeKey = nullptr;
  window_->windowDidResignKey = nullptr;
  window_->windowWillClose = nullptr;
  window_->cancelOperation = nullptr;
  switchDone_ = nullptr;
  if (switch_) switch_->stop();
  if (fade_) fade_->stop();
  // The views belong to their controllers, not to the window.
  removeView(panelListController_->view());
  if (signUpLoginController_) removeView(signUpLoginController_->view());
}

OXSignUpLoginController* OXPanelController::signUpLoginController() {
  if (!signUpLoginController_) {
    signUpLoginController_ = std::make_unique<OXSignUpLoginController>();
    signUpLoginController_->setDelegate(this);
  }
  return signUpLoginController_.get();
}

void OXPanelController::removeView(QWidget* view) {
  if (!view) return;
  if (view == filledView_) filledView_ = nullptr;
  view->hide();
  view->setParent(nullptr);
}

void OXPanelController::installView(QWidget* view) {
  view->setParent(window_.get());
  view->move(0, 0);
  view->show();
  filledView_ = view;
}

void OXPanelController::checkCorrectPanel() {
  finishSwitch();
  QWidget* list = panelListController_->view();
  QWidget* form = signUpLoginController()->view();
  removeView(list);
  removeView(form);
  QString renewFor;
  if (OXOmbrixAPI().checkStoredSession(&renewFor)) {
    window_->resize(list->size());
    installView(list);
    list->setFocus();
    if (!renewFor.isEmpty()) renewSession(renewFor);
  } else {
    window_->resize(form->size());
    installView(form);
    signUpLoginController_->emailField()->setFocus();
  }
  const auto roots = OXLibrary::shareLibrary()->rootList();
  if (!roots || (roots->numberOfMovieRootPaths() == 0 && roots->numberOfEpisodesRootPaths() == 0)) {
    ox::NotificationCenter::defaultCenter().post(kTogglePanel);
    setHasActivePanel(true);
  }
}

void OXPanelController::renewSession(const QString& account) {
  if (renewalQueue_.operationCount() > 0) return;  // the renewal under way answers for this check too
  renewalQueue_.addOperationWithBlock([self = QPointer<OXPanelController>(this), cancel = cancel_, account] {
    ox::HttpCancelScope scope(cancel);
    if (OXOmbrixAPI().renewStoredSession(account) || cancel->isCancelled()) return;
    // The keychain keeps no password for the account: it has to sign in again.
    ox::dispatchMain([self] {
      if (self && self->filledView() == self->panelListController()->view()) self->showSignUpLoginView();
    });
  });
}

// ---------------------------------------------------------------------------------------------------------------
// Swapping the filling view

void OXPanelController::switchView(QWidget* from, QWidget* to, const std::function<void()>& beforeFadeIn,
                                   const std::function<void()>& afterInstall) {
  finishSwitch();
  auto* fadeOut = new QGraphicsOpacityEffect(from);
  from->setGraphicsEffect(fadeOut);
  auto* out = new QPropertyAnimation(fadeOut, "opacity", this);
  out->setDuration(kSwitchMs);
  out->setEndValue(0.0);
  switchDone_ = [this, from, to, beforeFadeIn, afterInstall] {
    from->setGraphicsEffect(nullptr);
    removeView(from);
    auto* fadeIn = new QGraphicsOpacityEffect(to);
    fadeIn->setOpacity(0);
    to->setGraphicsEffect(fadeIn);
    window_->resize(to->size());
    window_->setGeometry(getPanelRect().toRect());
    if (beforeFadeIn) beforeFadeIn();
    installView(to);
    if (afterInstall) afterInstall();
    auto* in = new QPropertyAnimation(fadeIn, "opacity", this);
    in->setDuration(kSwitchMs);
    in->setEndValue(1.0);
    // Without the effect the view draws sharp again.
    connect(in, &QPropertyAnimation::finished, to, [to, fadeIn] {
      if (to->graphicsEffect() == fadeIn) to->setGraphicsEffect(nullptr);
    });
    in->start(QAbstractAnimation::DeleteWhenStopped);
  };
  connect(out, &QPropertyAnimation::finished, this, [this] { finishSwitch(); });
  switch_ = out;
  out->start(QAbstractAnimation::DeleteWhenStopped);
}

// A swap asked for while another fades ends the earlier one at once, so the two never act on the views together.
void OXPanelController::finishSwitch() {
  if (!switchDone_) return;
  const auto done = std::exchange(switchDone_, nullptr);
  if (switch_) {
    switch_->disconnect(this);
    switch_->stop();
  }
  done();
}

void OXPanelController::showSignUpLoginView() {
  OXSignUpLoginController* form = signUpLoginController();
  switchView(panelListController_->view(), form->view(), nullptr, nullptr);
}

void OXPanelController::loginSuccess() {
  QWidget* list = panelListController_->view();
  switchView(signUpLoginController()->view(), list, nullptr, [list] { list->setFocus(); });
}

void OXPanelController::logOutSuccess() {
  OXSignUpLoginController* form = signUpLoginController();
  // The form comes back in its first mode, login, whatever mode it was left in.
  switchView(panelListController_->view(), form->view(),
             [form] {
               if (form->isShowedRegisterForm()) form->switchFormMode();
             },
             [form] { form->emailField()->setFocus(); });
}

// ---------------------------------------------------------------------------------------------------------------
// Open and closed

void OXPanelController::setHasActivePanel(bool active) {
  if (active != hasActivePanel_) {
    hasActivePanel_ = active;
    active ? openPanel() : closePanel();
  }
  emit hasActivePanelChanged(hasActivePanel_);
}

void OXPanelController::windowWillClose() { setHasActivePanel(false); }

void OXPanelController::windowDidResignKey() {
  if (shouldClosePanelWhenResignKey_) ox::NotificationCenter::defaultCenter().post(kClosePanelNotification);
}

QRectF OXPanelController::statusRectForWindow(QWidget*) const {
  if (panelDelegate_) {
    if (StatusItemView* item = panelDelegate_->statusItemViewForPanelController(const_cast<OXPanelController*>(this))) {
      const QRectF rect = item->globalRect();
      if (!rect.isEmpty()) return rect.translated(0, rect.height());
    }
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRectF frame = screen ? QRectF(screen->geometry()) : QRectF(0, 0, 1920, 1080);
  const double thickness = ox::StatusItem::kThickness;
  return QRectF(frame.x() + std::round((frame.width() - 24) / 2), frame.y() + thickness, 24, thickness);
}

QRectF OXPanelController::panelRectFor(const QSizeF& size) const {
  const QRectF status = statusRectForWindow(window_.get());
  QScreen* screen = QGuiApplication::screenAt(status.center().toPoint());
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRectF frame = screen ? QRectF(screen->geometry()) : QRectF(0, 0, 1920, 1080);
  const double w = size.width();
  const double h = size.height();
  double x = std::round(status.x() + status.width() / 2 - w / 2);
  double y = status.y();
  if (x + w > frame.right() - kScreenMargin) x = frame.right() - kScreenMargin - w;
  if (x < frame.left() + kScreenMargin) x = frame.left() + kScreenMargin;
  // A tray at the bottom of the screen: the panel rises from the item instead of dropping below the screen.
  if (y + h > frame.bottom()) y = std::max(frame.top(), status.y() - status.height() - h);
  return QRectF(x, y, w, h);
}

QRectF OXPanelController::getPanelRect() const { return panelRectFor(window_->size()); }

void OXPanelController::openPanel() {
  // Reopened while closing: the pending order-out and fade must not take the open panel away.
  orderOut_.stop();
  if (fade_) fade_->stop();
  const QRectF rect = getPanelRect();
  window_->setWindowOpacity(0);
  window_->setGeometry(rect.toRect());
  window_->show();
  window_->raise();
  window_->activateWindow();
  window_->setWindowOpacity(1);
  ox::NotificationCenter::defaultCenter().post(kReloadContentList);
  panelListController_->setPopUpState(1);
}

void OXPanelController::closePanel() {
  if (fade_) fade_->stop();
  auto* fade = new QPropertyAnimation(window_.get(), "windowOpacity", this);
  fade->setDuration(kCloseFadeMs);
  fade->setEndValue(0.0);
  fade_ = fade;
  fade->start(QAbstractAnimation::DeleteWhenStopped);
  orderOut_.start(kOrderOutDelayMs);
  panelListController_->setPopUpState(2);
}
