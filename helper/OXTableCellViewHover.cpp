#include "helper/OXTableCellViewHover.h"

#include <QAbstractButton>
#include <QLabel>

#include "platform/ui/ViewTag.h"

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

QLabel* OXTableCellViewHover::addField(QWidget* row, const QRect& frame, int tag, const QString& style) {
  auto* field = new QLabel(row);
  field->setGeometry(frame);
  field->setStyleSheet(style);
  ox::setTag(field, tag);
  return field;
}

void OXTableCellViewHover::setElidedText(QLabel* field, const QString& text) {
  field->setText(field->fontMetrics().elidedText(text, Qt::ElideRight, field->width()));
  field->setToolTip(text);
}
