#include <gtest/gtest.h>

#include <cmath>

#include "platform/layers/TimingFunction.h"
#include "platform/layers/Transform3D.h"

using ox::TimingFunction;
using ox::Transform3D;

namespace {

void mapPoint(const Transform3D& t, double x, double y, double z, double& ox, double& oy) {
  double o[4];
  t.map(x, y, z, o);
  ox = o[0] / o[3];
  oy = o[1] / o[3];
}

// Equal as projective maps: entries compared after scaling both to m44 = 1.
void expectNear(const Transform3D& a, const Transform3D& b, double eps = 1e-9) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(a.at(r, c) / a.m44, b.at(r, c) / b.m44, eps) << "m" << r + 1 << c + 1;
}

}  // namespace

TEST(Transform3D, StepsApplyBeforeTheGivenMatrix) {
  // translate(scale(2), 10, 0, 0): the point moves first, then scales, so the origin lands at 20.
  const Transform3D t = Transform3D::translate(Transform3D::makeScale(2, 2, 2), 10, 0, 0);
  double x, y;
  mapPoint(t, 0, 0, 0, x, y);
  EXPECT_DOUBLE_EQ(x, 20);
  EXPECT_DOUBLE_EQ(t.m41, 20);
  // Row vectors: the translation sits in the fourth row.
  const Transform3D tr = Transform3D::makeTranslation(3, 4, 5);
  EXPECT_EQ(tr.m41, 3);
  EXPECT_EQ(tr.m42, 4);
  EXPECT_EQ(tr.m43, 5);
  // Ken Burns form: the picture centre moves by 1.17 times the pan.
  const Transform3D kb = Transform3D::translate(Transform3D::makeScale(1.17, 1.17, 1.17), 0, -80, 0);
  mapPoint(kb, 0, 0, 0, x, y);
  EXPECT_NEAR(y, -80 * 1.17, 1e-9);
}

TEST(Transform3D, RotationTurnsCounterClockwiseInYUpSpace) {
  double x, y;
  mapPoint(Transform3D::makeRotation(M_PI / 2, 0, 0, 1), 1, 0, 0, x, y);
  EXPECT_NEAR(x, 0, 1e-12);
  EXPECT_NEAR(y, 1, 1e-12);
  // A turn about X tips the top (+y) towards the viewer (+z) for a positive angle.
  double o[4];
  Transform3D::makeRotation(0.5, 1, 0, 0).map(0, 1, 0, o);
  EXPECT_NEAR(o[2], std::sin(0.5), 1e-12);
  // A zero axis changes nothing.
  EXPECT_TRUE(Transform3D::makeRotation(1.0, 0, 0, 0).isIdentity());
  EXPECT_TRUE(Transform3D::rotate(Transform3D::makeScale(2, 2, 2), 1.0, 0, 0, 0) == Transform3D::makeScale(2, 2, 2));
  // rotate(t) = R * t: rotate a translation, the rotation applies first.
  const Transform3D rt = Transform3D::rotate(Transform3D::makeTranslation(10, 0, 0), M_PI / 2, 0, 0, 1);
  mapPoint(rt, 1, 0, 0, x, y);
  EXPECT_NEAR(x, 10, 1e-12);
  EXPECT_NEAR(y, 1, 1e-12);
}

TEST(Transform3D, PerspectiveShrinksFarPointsAndFlattensExactly) {
  Transform3D p;
  p.m34 = -1.0 / 600;
  double x, y;
  mapPoint(p, 150, 0, -300, x, y);  // w = 1.5
  EXPECT_NEAR(x, 100, 1e-9);
  // The 2D homography of a plane turned about Y agrees with the 4x4 for z = 0 points.
  const Transform3D m = Transform3D::concat(Transform3D::makeRotation(0.5, 0, 1, 0), p);
  const QTransform h = m.flattened();
  for (double px : {-100.0, 0.0, 37.0})
    for (double py : {-50.0, 0.0, 80.0}) {
      double ex, ey;
      mapPoint(m, px, py, 0, ex, ey);
      const QPointF q = h.map(QPointF(px, py));
      EXPECT_NEAR(q.x(), ex, 1e-9);
      EXPECT_NEAR(q.y(), ey, 1e-9);
    }
}

TEST(Transform3D, InterpolationKeepsRotationsRigidAndEndsExactly) {
  const Transform3D a = Transform3D::identity();
  const Transform3D b = Transform3D::makeRotation(1.0, 0, 1, 0);
  expectNear(Transform3D::interpolate(a, b, 0.5), Transform3D::makeRotation(0.5, 0, 1, 0));
  EXPECT_TRUE(Transform3D::interpolate(a, b, 1.0) == b);
  EXPECT_TRUE(Transform3D::interpolate(a, b, 0.0) == a);

  // Tilt and turn with perspective, translation and scale: the decomposition rebuilds the matrix itself.
  Transform3D persp;
  persp.m24 = 0.1 / 300;
  persp.m32 = -0.1 / 300;
  persp.m34 = -0.0012;
  Transform3D tilted = Transform3D::rotate(Transform3D::makeRotation(0.15, 1, 0, 0), 0.5, 0, 1, 0);
  tilted = Transform3D::concat(Transform3D::makeScale(0.8, 0.8, 0.8), tilted);
  tilted = Transform3D::concat(tilted, Transform3D::makeTranslation(40, -20, -300));
  for (const Transform3D& m : {tilted, Transform3D::concat(tilted, persp), persp,
                               Transform3D::rotate(Transform3D::makeScale(-1, 1, 1), 2.0, 1, 1, 0)}) {
    expectNear(Transform3D::interpolate(m, m, 0.5), m);
    // Half way to itself from a slightly different matrix stays near it.
    const Transform3D near = Transform3D::translate(m, 1e-7, 0, 0);
    expectNear(Transform3D::interpolate(m, near, 0.5), m, 1e-6);
  }
  // Scale and pan blend linearly.
  const Transform3D zoom = Transform3D::translate(Transform3D::makeScale(1.17, 1.17, 1.17), 10, -20, 0);
  const Transform3D half = Transform3D::interpolate(Transform3D::identity(), zoom, 0.5);
  EXPECT_NEAR(half.m11, 1.085, 1e-9);
  EXPECT_NEAR(half.m42, -20 * 1.17 / 2, 1e-9);
}

TEST(TimingFunction, CurvesHitTheirEndsAndPace) {
  for (const auto& f : {TimingFunction::linear(), TimingFunction::easeIn(), TimingFunction::easeOut(),
                        TimingFunction::easeInEaseOut(), TimingFunction::defaultFunction()}) {
    EXPECT_EQ(f.valueAt(0), 0);
    EXPECT_EQ(f.valueAt(1), 1);
    EXPECT_EQ(f.valueAt(-3), 0);
    EXPECT_EQ(f.valueAt(7), 1);
    double last = 0;
    for (int i = 1; i <= 100; ++i) {
      const double v = f.valueAt(i / 100.0);
      EXPECT_GE(v, last - 1e-12);
      last = v;
    }
  }
  EXPECT_DOUBLE_EQ(TimingFunction::linear().valueAt(0.3), 0.3);
  // Ease-out runs ahead early; ease-in lags.
  EXPECT_GT(TimingFunction::easeOut().valueAt(0.5), 0.6);
  EXPECT_LT(TimingFunction::easeIn().valueAt(0.5), 0.4);
  EXPECT_NEAR(TimingFunction::easeInEaseOut().valueAt(0.5), 0.5, 1e-9);
  EXPECT_TRUE(TimingFunction::functionWithName("easeOut") == TimingFunction::easeOut());
  EXPECT_TRUE(TimingFunction::functionWithName("nonsense") == TimingFunction::linear());
}
