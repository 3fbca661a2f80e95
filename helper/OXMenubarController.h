#pragma once
#include <QObject>
#include <QTimer>
#include <memory>

#include "helper/StatusItemView.h"
#include "platform/foundation/NotificationCenter.h"

// The helper's one status item: shows the normal icon pair, blinks between the normal and the scanning pair every
// 0.5 s while the scan engine works, and exposes the item's highlight as the active-icon state.
//
// Main thread only: the scanning notifications come from the engine's threads and are handed over to it.
class OXMenubarController : public QObject {
 public:
  static constexpr double kStatusItemLength = 24;
  static constexpr int kBlinkIntervalMs = 500;

  OXMenubarController();
  ~OXMenubarController() override;

  // "StatusBarScanningState" and "StatusBarStopScanningState".
  void statusBarScanningState();
  void statusBarStopScanningState();
  // One blink step: the scanning pair when the normal icon shows, else the normal pair.
  void alternateImageIcon();
  void setDefaultImageIcon();
  void setDotImageIcon();

  ox::StatusItem* statusItem() const { return statusItemView_->statusItem(); }
  bool hasActiveIcon() const { return statusItemView_->isHighlighted(); }
  void setHasActiveIcon(bool active) { statusItemView_->setHighlighted(active); }
  StatusItemView* statusItemView() const { return statusItemView_.get(); }
  // The blink timer while it runs; null otherwise.
  const QTimer* timerIcon() const { return timerIcon_.get(); }

 private:
  std::unique_ptr<QTimer> timerIcon_;
  std::unique_ptr<StatusItemView> statusItemView_;
  ox::NotificationCenter::Token scanningObserver_ = 0;
  ox::NotificationCenter::Token stopObserver_ = 0;
};
