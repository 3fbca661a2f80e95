#include "app/OXMainScreenFrame.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
std::optional<QRectF>& fixedFrame() {
  static std::optional<QRectF> f;
  return f;
}
}  // namespace

QRectF OXMainScreenFrame() {
  if (fixedFrame()) return QRectF(QPointF(0, 0), fixedFrame()->size());
  QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen()
                                                                                 : nullptr;
  if (!screen) return QRectF();
  return QRectF(QPointF(0, 0), QSizeF(screen->geometry().size()));
}

void OXSetMainScreenFrame(std::optional<QRectF> frame) { fixedFrame() = frame; }
