#include "app/OXHomeGradient.h"

#include <QLinearGradient>
#include <cmath>

void OXHomeGradient::drawRect(QPainter& painter, const QRectF& dirtyRect) {
  ox::View::drawRect(painter, dirtyRect);
  const QRectF area(0, 0, std::round(frame().width()), frame().height());
  QLinearGradient gradient(area.topLeft(), area.topRight());
  gradient.setColorAt(0, QColor::fromRgbF(0, 0, 0, 0.55f));
  gradient.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0));
  painter.fillRect(area, gradient);
}
