#include "helper/OXMenubarController.h"

#include "platform/foundation/MainQueue.h"
#include "platform/ui/Images.h"
#include "scanner/OXCoreLibrary.h"

namespace {

QImage named(const char* name) { return ox::imageNamed(QString::fromLatin1(name) + QStringLiteral("@2x.png")); }

}  // namespace

OXMenubarController::OXMenubarController()
    : statusItemView_(std::make_unique<StatusItemView>(ox::StatusItem::create(kStatusItemLength))) {
  setDefaultImageIcon();
  // The engine posts from its threads; the observers go before this object does.
  auto& centre = ox::NotificationCenter::defaultCenter();
  scanningObserver_ = centre.addObserver(OXCoreLibrary::kScanningState, nullptr, [this](const ox::Notification&) {
    ox::performOnMainThread(this, [this] { statusBarScanningState(); });
  });
  stopObserver_ = centre.addObserver(OXCoreLibrary::kStopScanningState, nullptr, [this](const ox::Notification&) {
    ox::performOnMainThread(this, [this] { statusBarStopScanningState(); });
  });
}

OXMenubarController::~OXMenubarController() {
  auto& centre = ox::NotificationCenter::defaultCenter();
  centre.removeObserver(scanningObserver_);
  centre.removeObserver(stopObserver_);
}

void OXMenubarController::statusBarScanningState() {
  // Asked again while blinking: the one timer goes on.
  if (timerIcon_) return;
  timerIcon_ = std::make_unique<QTimer>();
  timerIcon_->setInterval(kBlinkIntervalMs);
  connect(timerIcon_.get(), &QTimer::timeout, this, &OXMenubarController::alternateImageIcon);
  timerIcon_->start();
  setDotImageIcon();
}

void OXMenubarController::statusBarStopScanningState() {
  timerIcon_.reset();
  setDefaultImageIcon();
}

void OXMenubarController::alternateImageIcon() {
  if (statusItemView_->image() == named("status_off"))
    setDotImageIcon();
  else
    setDefaultImageIcon();
}

void OXMenubarController::setDefaultImageIcon() {
  statusItemView_->setImage(named("status_off"));
  statusItemView_->setAlternateImage(named("status_on"));
}

void OXMenubarController::setDotImageIcon() {
  statusItemView_->setImage(named("status_alt_off"));
  statusItemView_->setAlternateImage(named("status_alt_on"));
}
