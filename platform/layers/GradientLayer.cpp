#include "platform/layers/GradientLayer.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace ox {

std::shared_ptr<GradientLayer> GradientLayer::layer() { return std::shared_ptr<GradientLayer>(new GradientLayer()); }

void GradientLayer::setColors(const QList<QColor>& c) {
  colors_ = c;
  contentChanged();
}
void GradientLayer::setLocations(const QList<double>& l) {
  locations_ = l;
  contentChanged();
}
void GradientLayer::setStartPoint(const QPointF& p) {
  start_ = p;
  contentChanged();
}
void GradientLayer::setEndPoint(const QPointF& p) {
  end_ = p;
  contentChanged();
}

void GradientLayer::drawInContext(QPainter& painter, const LayerState& shown) const {
  if (colors_.isEmpty()) return;
  const QRectF b = shown.bounds;
  // Unit points are y-up; the painter here runs y-down over the bounds.
  auto toPainter = [&b](const QPointF& u) {
    return QPointF(b.x() + u.x() * b.width(), b.y() + (1.0 - u.y()) * b.height());
  };
  QLinearGradient g(toPainter(start_), toPainter(end_));
  const qsizetype n = colors_.size();
  for (qsizetype i = 0; i < n; ++i) {
    double at = n == 1 ? 0.0 : double(i) / double(n - 1);
    if (locations_.size() == n) at = std::clamp(locations_[i], 0.0, 1.0);
    g.setColorAt(at, colors_[i]);
  }
  QPainterPath path;
  if (shown.cornerRadius > 0)
    path.addRoundedRect(b, shown.cornerRadius, shown.cornerRadius);
  else
    path.addRect(b);
  painter.fillPath(path, g);
}

}  // namespace ox
