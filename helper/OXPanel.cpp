#include "helper/OXPanel.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

OXPanel::OXPanel() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating, false);
  setMouseTracking(true);
  setWindowTitle(tr("Ombrix Helper"));
}

bool OXPanel::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::WindowActivate:
      if (windowDidBecomeKey) windowDidBecomeKey();
      break;
    case QEvent::WindowDeactivate:
      if (windowDidResignKey) windowDidResignKey();
      break;
    case QEvent::Close:
      if (windowWillClose) windowWillClose();
      break;
    default:
      break;
  }
  return QWidget::event(event);
}

void OXPanel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && cancelOperation) {
    cancelOperation();
    return;
  }
  QWidget::keyPressEvent(event);
}

void OXPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath outline;
  outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
  painter.fillPath(outline, QColor(244, 244, 246));
  painter.setPen(QPen(QColor(0, 0, 0, 60), 1));
  painter.drawPath(outline);
}
