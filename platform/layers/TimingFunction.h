#pragma once
#include <QString>

namespace ox {

// A cubic Bezier pacing curve from (0, 0) to (1, 1) with control points (c1x, c1y) and (c2x, c2y), as animation
// timing functions are given. Named curves carry the platform's control points.
class TimingFunction {
 public:
  TimingFunction() = default;  // linear
  TimingFunction(double c1x, double c1y, double c2x, double c2y);

  static TimingFunction linear() { return {}; }
  static TimingFunction easeIn() { return {0.42, 0.0, 1.0, 1.0}; }
  static TimingFunction easeOut() { return {0.0, 0.0, 0.58, 1.0}; }
  static TimingFunction easeInEaseOut() { return {0.42, 0.0, 0.58, 1.0}; }
  // The curve of implicit animations when a transaction names none.
  static TimingFunction defaultFunction() { return {0.25, 0.1, 0.25, 1.0}; }
  // By the platform's constant names: "linear", "easeIn", "easeOut", "easeInEaseOut", "default"; unknown names
  // give linear.
  static TimingFunction functionWithName(const QString& name);

  // Paced progress for time progress x in 0..1 (clamped).
  double valueAt(double x) const;
  // Bounds of the paced progress over the whole curve: 0..1, or wider where a control point lies outside.
  void progressRange(double& lowest, double& highest) const;
  bool operator==(const TimingFunction& o) const = default;

 private:
  double c1x_ = 0, c1y_ = 0, c2x_ = 1, c2y_ = 1;
};

}  // namespace ox
