#pragma once
#include <QTransform>

namespace ox {

// A 4x4 layer transform in the row-vector convention: a point (x, y, z, 1) maps to (x, y, z, 1) * M, so the
// translation lives in m41..m43 and perspective in the fourth column (m34 = -1/d gives an eye at distance d).
// translate, scale and rotate put the new step *before* the given matrix: rotate(t, ...) = R * t, which applies R
// first and then t.
struct Transform3D {
  double m11 = 1, m12 = 0, m13 = 0, m14 = 0;
  double m21 = 0, m22 = 1, m23 = 0, m24 = 0;
  double m31 = 0, m32 = 0, m33 = 1, m34 = 0;
  double m41 = 0, m42 = 0, m43 = 0, m44 = 1;

  static Transform3D identity() { return {}; }
  static Transform3D makeTranslation(double tx, double ty, double tz);
  static Transform3D makeScale(double sx, double sy, double sz);
  // Rotation by `angle` radians about the axis (x, y, z); counter-clockwise when the axis points at the viewer.
  // A zero axis gives the identity.
  static Transform3D makeRotation(double angle, double x, double y, double z);
  static Transform3D translate(const Transform3D& t, double tx, double ty, double tz);
  static Transform3D scale(const Transform3D& t, double sx, double sy, double sz);
  static Transform3D rotate(const Transform3D& t, double angle, double x, double y, double z);
  // a * b: applies a, then b.
  static Transform3D concat(const Transform3D& a, const Transform3D& b);

  bool isIdentity() const;
  bool operator==(const Transform3D& o) const;
  bool isFinite() const;
  double& at(int row, int col);  // 0-based
  double at(int row, int col) const;

  // Maps (x, y, z, 1); answers the homogeneous result.
  void map(double x, double y, double z, double out[4]) const;
  // The projection of the z = 0 plane through this matrix with z dropped: an exact 2D homography, in Qt's own
  // row-vector order.
  QTransform flattened() const;

  // The in-between matrix at progress p (0..1): decomposed into perspective, translation, rotation (quaternion
  // slerp), skew and scale and recomposed, so rotations stay rigid while they move. Matrices that do not decompose
  // are blended entry by entry. p <= 0 and p >= 1 answer the end points exactly.
  static Transform3D interpolate(const Transform3D& from, const Transform3D& to, double p);
};

}  // namespace ox
