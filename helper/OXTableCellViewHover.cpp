#include "helper/OXTableCellViewHover.h"

#include <QAbstractButton>
#include <QLabel>

#include "helper/OXCustomLineView.h"
#include "platform/ui/ViewTag.h"

OXTableCellViewHover::OXTableCellViewHover(QWidget* parent) : QWidget(parent) {
  // Moves without a pressed button reach the row from whichever of its children lies under the pointer.
  setMouseTracking(true);
}

OXTableCellViewHover::MediaRow OXTableCellViewHover::makeMediaRow(const QSize& size, const QRect& posterFrame,
                                                                 int textLeft, int titleY, int detailY) {
  auto* cell = new OXTableCellViewHover;
  cell->setObjectName(QStringLiteral("ContentCell"));
  cell->resize(size);
  QLabel* poster = addField(cell, posterFrame, 1, QStringLiteral("background: #e3e3e8;"));
  poster->setScaledContents(true);
  const int textWidth = size.width() - textLeft - posterFrame.x();
  QLabel* title = addField(cell, QRect(textLeft, titleY, textWidth, 19), 2,
                           QStringLiteral("color: #2c2c2e; font-size: 13px; font-weight: bold;"));
  QLabel* detail =
      addField(cell, QRect(textLeft, detailY, textWidth, 16), 3, QStringLiteral("color: #8e8e93; font-size: 11px;"));
  new OXCustomLineView(QRect(textLeft, size.height() - 1, size.width() - textLeft, 1), OXCustomLineView::kDefaultColour,
                       cell);
  return {cell, poster, title, detail};
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
