#include "platform/layers/TimingFunction.h"

#include <algorithm>
#include <cmath>

namespace ox {
namespace {

double bezier(double t, double p1, double p2) {
  const double u = 1 - t;
  return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}

double bezierSlope(double t, double p1, double p2) {
  const double u = 1 - t;
  return 3 * u * u * p1 + 6 * u * t * (p2 - p1) + 3 * t * t * (1 - p2);
}

}  // namespace

TimingFunction::TimingFunction(double c1x, double c1y, double c2x, double c2y)
    : c1x_(std::clamp(c1x, 0.0, 1.0)), c1y_(c1y), c2x_(std::clamp(c2x, 0.0, 1.0)), c2y_(c2y) {}

TimingFunction TimingFunction::functionWithName(const QString& name) {
  if (name == QLatin1String("easeIn")) return easeIn();
  if (name == QLatin1String("easeOut")) return easeOut();
  if (name == QLatin1String("easeInEaseOut")) return easeInEaseOut();
  if (name == QLatin1String("default")) return defaultFunction();
  return linear();
}

double TimingFunction::valueAt(double x) const {
  if (!(x > 0)) return 0;
  if (x >= 1) return 1;
  if (c1x_ == c1y_ && c2x_ == c2y_) return x;  // a straight line
  // Solve bezier_x(t) = x: Newton from a good start, bisection when the slope is flat.
  double t = x;
  for (int i = 0; i < 8; ++i) {
    const double err = bezier(t, c1x_, c2x_) - x;
    if (std::abs(err) < 1e-9) return bezier(t, c1y_, c2y_);
    const double slope = bezierSlope(t, c1x_, c2x_);
    if (std::abs(slope) < 1e-7) break;
    t -= err / slope;
    if (t < 0 || t > 1) break;
  }
  double lo = 0, hi = 1;
  t = x;
  for (int i = 0; i < 60; ++i) {
    const double v = bezier(t, c1x_, c2x_);
    if (std::abs(v - x) < 1e-12) break;
    (v < x ? lo : hi) = t;
    t = (lo + hi) / 2;
  }
  return bezier(t, c1y_, c2y_);
}

void TimingFunction::progressRange(double& lowest, double& highest) const {
  // The curve stays inside the hull of its control points.
  lowest = std::min({0.0, c1y_, c2y_});
  highest = std::max({1.0, c1y_, c2y_});
}

}  // namespace ox
