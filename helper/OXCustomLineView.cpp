#include "helper/OXCustomLineView.h"

#include <QPainter>

const QColor OXCustomLineView::kDefaultColour = QColor::fromRgbF(0.84375, 0.84375, 0.84375, 1.0);

OXCustomLineView::OXCustomLineView(QWidget* parent) : QWidget(parent), lineColor_(kDefaultColour) {}

OXCustomLineView::OXCustomLineView(const QRect& frame, const QColor& colour, QWidget* parent)
    : QWidget(parent), lineColor_(colour) {
  setGeometry(frame);
}

void OXCustomLineView::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter(this).fillRect(rect(), lineColor_);
}
