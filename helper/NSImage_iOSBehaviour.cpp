#include "helper/NSImage_iOSBehaviour.h"

#include <QPainter>
#include <cmath>

namespace {

// The receiver's rectangle (x, 0, width, h) in points, copied into an image of its own; null when width <= 0.
QImage piece(const QImage& image, double x, double width) {
  if (width <= 0) return {};
  const double ratio = image.devicePixelRatio();
  QImage cut = image.copy(QRect(int(std::lround(x * ratio)), 0, int(std::lround(width * ratio)), image.height()));
  cut.setDevicePixelRatio(ratio);
  return cut;
}

}  // namespace

QImage NSImage_iOSBehaviour::leftCapWidth(const QImage& image, double left, double middle, double right) {
  const double ratio = image.devicePixelRatio();
  const double w = image.width() / ratio;
  const double h = image.height() / ratio;
  const QImage leftCap = piece(image, 0, left);
  const QImage centre = piece(image, left, w - left - right);
  const QImage rightCap = piece(image, w - right, right);

  const double total = std::max(0.0, left) + std::max(0.0, middle) + std::max(0.0, right);
  QImage result(int(std::lround(total * ratio)), image.height(), QImage::Format_ARGB32_Premultiplied);
  result.setDevicePixelRatio(ratio);
  result.fill(Qt::transparent);
  QPainter painter(&result);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  double x = 0;
  const auto draw = [&](const QImage& part, double width) {
    if (width <= 0) return;
    if (!part.isNull()) painter.drawImage(QRectF(x, 0, width, h), part);
    x += width;
  };
  draw(leftCap, left);
  draw(centre, middle);
  draw(rightCap, right);
  return result;
}
