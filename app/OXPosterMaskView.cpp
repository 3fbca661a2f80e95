#include "app/OXPosterMaskView.h"

#include <QPainterPath>

namespace {

const float kCornerRadius = 6.0f;

void strokeRounded(QPainter& p, const QRectF& r, double radius, const QColor& color) {
  QPen pen(color, 1.0);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(r, radius, radius);
}

}  // namespace

void OXPosterMaskView::drawRect(QPainter& painter, const QRectF& dirtyRect) {
  ox::View::drawRect(painter, dirtyRect);
  const QRectF f = frame();
  painter.setRenderHint(QPainter::Antialiasing);
  strokeRounded(painter, QRectF(f.x() + 1, f.y() + 1, f.width() - 2, f.height() - 2), double(kCornerRadius) - 1,
                QColor::fromRgbF(1, 1, 1, 0.18f));
  strokeRounded(painter, f, double(kCornerRadius), QColor::fromRgbF(0, 0, 0, 1));
}

QImage OXPosterMaskView::imageWithSubviews() const { return cacheDisplayInRect(bounds()); }

void OXPosterMaskCornerRadius::drawRect(QPainter& painter, const QRectF& dirtyRect) {
  ox::View::drawRect(painter, dirtyRect);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  path.addRoundedRect(frame(), double(kCornerRadius), double(kCornerRadius));
  painter.fillPath(path, Qt::black);
}

QImage OXPosterMaskCornerRadius::imageWithSubviews() const { return cacheDisplayInRect(bounds()); }
