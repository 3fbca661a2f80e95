#pragma once
#include <QList>

#include "platform/layers/Layer.h"

namespace ox {

// A linear gradient over the bounds. Points are in the unit square of the bounds, y up: the default runs from the
// bottom middle (0.5, 0) to the top middle (0.5, 1). Without locations the colours are spread evenly.
class GradientLayer : public Layer {
 public:
  static std::shared_ptr<GradientLayer> layer();
  QList<QColor> colors() const { return colors_; }
  void setColors(const QList<QColor>& c);
  QList<double> locations() const { return locations_; }
  void setLocations(const QList<double>& l);
  QPointF startPoint() const { return start_; }
  void setStartPoint(const QPointF& p);
  QPointF endPoint() const { return end_; }
  void setEndPoint(const QPointF& p);
  void drawInContext(QPainter& painter, const LayerState& shown) const override;

 protected:
  GradientLayer() = default;

 private:
  QList<QColor> colors_;
  QList<double> locations_;
  QPointF start_{0.5, 0.0};
  QPointF end_{0.5, 1.0};
};

}  // namespace ox
