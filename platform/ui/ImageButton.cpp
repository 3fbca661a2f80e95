#include "platform/ui/ImageButton.h"

#include <QPainter>

namespace ox {

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
}

void ImageButton::setBackgroundImage(const QImage& image) {
  background_ = image;
  update();
}

void ImageButton::setTitleColor(const QColor& colour) {
  titleColor_ = colour;
  update();
}

QSize ImageButton::sizeHint() const {
  const QSize text = fontMetrics().size(Qt::TextSingleLine, this->text());
  return {text.width() + 20, std::max(text.height() + 6, 20)};
}

void ImageButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  if (isDown()) p.setOpacity(0.7);
  if (!background_.isNull()) p.drawImage(QRectF(rect()), background_);
  p.setOpacity(1);
  p.setPen(titleColor_);
  p.setFont(font());
  p.drawText(rect().adjusted(4, 0, -4, 0), Qt::AlignCenter | Qt::TextWordWrap, text());
}

}  // namespace ox
