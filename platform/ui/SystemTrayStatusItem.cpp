#include "platform/ui/SystemTrayStatusItem.h"

#include <QPixmap>

#include "platform/foundation/Log.h"

namespace ox {
namespace {

StatusItem::Factory& factory() {
  static StatusItem::Factory installed;
  return installed;
}

}  // namespace

std::unique_ptr<StatusItem> StatusItem::create(double length) {
  if (factory()) return factory()(length);
  return std::make_unique<SystemTrayStatusItem>(length);
}

void StatusItem::setFactory(Factory made) { factory() = std::move(made); }

SystemTrayStatusItem::SystemTrayStatusItem(double length) : StatusItem(length) {
  if (!QSystemTrayIcon::isSystemTrayAvailable())
    log(QStringLiteral("no system tray on this desktop: the status item is not shown"));
  QObject::connect(&icon_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
    // A click is a press. A double click comes as a click and then a double click, which is no second press; a
    // right click is the desktop's own menu, and a middle click nothing.
    if (reason == QSystemTrayIcon::Trigger) pressed();
  });
}

SystemTrayStatusItem::~SystemTrayStatusItem() { icon_.hide(); }

void SystemTrayStatusItem::setImage(const QImage& image) {
  icon_.setIcon(QIcon(QPixmap::fromImage(image)));
  if (!icon_.isVisible() && QSystemTrayIcon::isSystemTrayAvailable()) icon_.show();
}

QRect SystemTrayStatusItem::geometry() const { return icon_.geometry(); }

}  // namespace ox
