#include "helper/OXTableCellViewHover.h"

#include <QAbstractButton>

OXTableCellViewHover::OXTableCellViewHover(QWidget* parent) : QWidget(parent) {
  // Moves without a pressed button reach the row from whichever of its children lies under the pointer.
  setMouseTracking(true);
}

void OXTableCellViewHover::setButton(QAbstractButton* button) {
  button_ = button;
  showButton(false);
}

void OXTableCellViewHover::showButton(bool show) {
  if (button_) button_->setVisible(show);
}

void OXTableCellViewHover::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  showButton(true);
}

void OXTableCellViewHover::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  showButton(false);
}

void OXTableCellViewHover::mouseMoveEvent(QMouseEvent* event) {
  QWidget::mouseMoveEvent(event);
  showButton(true);
}

void OXTableCellViewHover::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  showButton(false);
}
