#include "helper/StatusItemView.h"

#include <QPainter>
#include <cmath>

StatusItemView::StatusItemView(std::unique_ptr<ox::StatusItem> statusItem) : statusItem_(std::move(statusItem)) {
  statusItem_->setAction([this] { mouseDown(); });
}

void StatusItemView::setHighlighted(bool highlighted) {
  if (highlighted == isHighlighted_) return;
  isHighlighted_ = highlighted;
  redraw();
}

void StatusItemView::setImage(const QImage& image) {
  if (image == image_) return;
  image_ = image;
  redraw();
}

void StatusItemView::setAlternateImage(const QImage& image) {
  if (image == alternateImage_) return;
  alternateImage_ = image;
  if (isHighlighted_) redraw();
}

void StatusItemView::mouseDown() {
  if (action_) action_();
}

QRectF StatusItemView::globalRect() const { return QRectF(statusItem_->geometry()); }

QImage StatusItemView::drawRect() const {
  const double width = statusItem_->length();
  const double height = statusItem_->thickness();
  QImage canvas(int(width * 2), int(height * 2), QImage::Format_ARGB32_Premultiplied);
  canvas.setDevicePixelRatio(2);
  canvas.fill(Qt::transparent);
  QPainter painter(&canvas);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (isHighlighted_) {
    // The bar's selected look: a soft light plate behind the icon.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 70));
    painter.drawRoundedRect(QRectF(0, 0, width, height), 4, 4);
  }
  const QImage& icon = isHighlighted_ ? alternateImage_ : image_;
  if (!icon.isNull()) {
    const QSizeF size = icon.deviceIndependentSize();
    const QPointF at(std::round((width - size.width()) / 2), std::round((height - size.height()) / 2));
    painter.drawImage(QRectF(at, size), icon);
  }
  return canvas;
}

void StatusItemView::redraw() { statusItem_->setImage(drawRect()); }
