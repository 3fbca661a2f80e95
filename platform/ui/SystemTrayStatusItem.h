#pragma once
#include <QSystemTrayIcon>

#include "platform/ui/StatusItem.h"

namespace ox {

// The status item in the desktop's tray (a StatusNotifier item where the desktop offers one, else the older tray).
class SystemTrayStatusItem : public StatusItem {
 public:
  explicit SystemTrayStatusItem(double length);
  ~SystemTrayStatusItem() override;

  void setImage(const QImage& image) override;
  QRect geometry() const override;
  // The desktop's icon, whose activations are the item's presses.
  QSystemTrayIcon& trayIcon() { return icon_; }

 private:
  QSystemTrayIcon icon_;
};

}  // namespace ox
