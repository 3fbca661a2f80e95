#include "platform/layers/Transform3D.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ox {
namespace {

using M4 = std::array<std::array<double, 4>, 4>;

M4 toArray(const Transform3D& t) {
  return {{{t.m11, t.m12, t.m13, t.m14}, {t.m21, t.m22, t.m23, t.m24}, {t.m31, t.m32, t.m33, t.m34},
           {t.m41, t.m42, t.m43, t.m44}}};
}

Transform3D fromArray(const M4& a) {
  Transform3D t;
  t.m11 = a[0][0]; t.m12 = a[0][1]; t.m13 = a[0][2]; t.m14 = a[0][3];
  t.m21 = a[1][0]; t.m22 = a[1][1]; t.m23 = a[1][2]; t.m24 = a[1][3];
  t.m31 = a[2][0]; t.m32 = a[2][1]; t.m33 = a[2][2]; t.m34 = a[2][3];
  t.m41 = a[3][0]; t.m42 = a[3][1]; t.m43 = a[3][2]; t.m44 = a[3][3];
  return t;
}

M4 mul(const M4& a, const M4& b) {
  M4 r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += a[i][k] * b[k][j];
      r[i][j] = s;
    }
  return r;
}

M4 identityArray() { return toArray(Transform3D{}); }

double det3(double a, double b, double c, double d, double e, double f, double g, double h, double i) {
  return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

// Inverse through the adjugate; false when singular.
bool invert(const M4& m, M4& out) {
  M4 cof{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double sub[9];
      int k = 0;
      for (int i = 0; i < 4; ++i) {
        if (i == r) continue;
        for (int j = 0; j < 4; ++j) {
          if (j == c) continue;
          sub[k++] = m[i][j];
        }
      }
      const double d = det3(sub[0], sub[1], sub[2], sub[3], sub[4], sub[5], sub[6], sub[7], sub[8]);
      cof[r][c] = ((r + c) % 2 ? -d : d);
    }
  double det = 0;
  for (int c = 0; c < 4; ++c) det += m[0][c] * cof[0][c];
  if (!std::isfinite(det) || std::abs(det) < 1e-300) return false;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[r][c] = cof[c][r] / det;
  return true;
}

struct Decomposed {
  double scale[3], skew[3], quaternion[4], translate[3], perspective[4];
};

using V3 = std::array<double, 3>;
double dot(const V3& a, const V3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double length(const V3& a) { return std::sqrt(dot(a, a)); }
V3 normalized(const V3& a) {
  const double l = length(a);
  return l > 0 ? V3{a[0] / l, a[1] / l, a[2] / l} : a;
}
V3 combine(const V3& a, const V3& b, double sa, double sb) {
  return {a[0] * sa + b[0] * sb, a[1] * sa + b[1] * sb, a[2] * sa + b[2] * sb};
}
V3 cross(const V3& a, const V3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// The usual unmatrix decomposition, written for row vectors: M = Scale * Skew * Rotation * Translation * Perspective.
bool decompose(const Transform3D& t, Decomposed& d) {
  M4 m = toArray(t);
  if (m[3][3] == 0) return false;
  const double n = m[3][3];
  for (auto& row : m)
    for (double& v : row) v /= n;
  M4 pm = m;
  for (int i = 0; i < 3; ++i) pm[i][3] = 0;
  pm[3][3] = 1;
  M4 inv{};
  if (!invert(pm, inv)) return false;
  if (m[0][3] != 0 || m[1][3] != 0 || m[2][3] != 0) {
    // perspective (column) = inverse(pm) * right-hand side (column)
    const double rhs[4] = {m[0][3], m[1][3], m[2][3], m[3][3]};
    for (int i = 0; i < 4; ++i) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += inv[i][k] * rhs[k];
      d.perspective[i] = s;
    }
  } else {
    d.perspective[0] = d.perspective[1] = d.perspective[2] = 0;
    d.perspective[3] = 1;
  }
  for (int i = 0; i < 3; ++i) d.translate[i] = m[3][i];
  V3 row[3];
  for (int i = 0; i < 3; ++i) row[i] = {m[i][0], m[i][1], m[i][2]};
  d.scale[0] = length(row[0]);
  row[0] = normalized(row[0]);
  d.skew[0] = dot(row[0], row[1]);
  row[1] = combine(row[1], row[0], 1.0, -d.skew[0]);
  d.scale[1] = length(row[1]);
  row[1] = normalized(row[1]);
  if (d.scale[1] == 0) return false;
  d.skew[0] /= d.scale[1];
  d.skew[1] = dot(row[0], row[2]);
  row[2] = combine(row[2], row[0], 1.0, -d.skew[1]);
  d.skew[2] = dot(row[1], row[2]);
  row[2] = combine(row[2], row[1], 1.0, -d.skew[2]);
  d.scale[2] = length(row[2]);
  row[2] = normalized(row[2]);
  if (d.scale[2] == 0 || d.scale[0] == 0) return false;
  d.skew[1] /= d.scale[2];
  d.skew[2] /= d.scale[2];
  if (dot(row[0], cross(row[1], row[2])) < 0) {
    for (int i = 0; i < 3; ++i) {
      d.scale[i] = -d.scale[i];
      for (double& v : row[i]) v = -v;
    }
  }
  double* q = d.quaternion;
  q[0] = 0.5 * std::sqrt(std::max(1 + row[0][0] - row[1][1] - row[2][2], 0.0));
  q[1] = 0.5 * std::sqrt(std::max(1 - row[0][0] + row[1][1] - row[2][2], 0.0));
  q[2] = 0.5 * std::sqrt(std::max(1 - row[0][0] - row[1][1] + row[2][2], 0.0));
  q[3] = 0.5 * std::sqrt(std::max(1 + row[0][0] + row[1][1] + row[2][2], 0.0));
  if (row[2][1] > row[1][2]) q[0] = -q[0];
  if (row[0][2] > row[2][0]) q[1] = -q[1];
  if (row[1][0] > row[0][1]) q[2] = -q[2];
  return true;
}

Transform3D recompose(const Decomposed& d) {
  M4 m = identityArray();
  for (int i = 0; i < 4; ++i) m[i][3] = d.perspective[i];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 3; ++j) m[3][i] += d.translate[j] * m[j][i];
  const double x = d.quaternion[0], y = d.quaternion[1], z = d.quaternion[2], w = d.quaternion[3];
  // The quaternion describes the column-vector rotation; the row-vector matrix is its transpose.
  M4 r = identityArray();
  r[0][0] = 1 - 2 * (y * y + z * z);
  r[1][0] = 2 * (x * y - z * w);
  r[2][0] = 2 * (x * z + y * w);
  r[0][1] = 2 * (x * y + z * w);
  r[1][1] = 1 - 2 * (x * x + z * z);
  r[2][1] = 2 * (y * z - x * w);
  r[0][2] = 2 * (x * z - y * w);
  r[1][2] = 2 * (y * z + x * w);
  r[2][2] = 1 - 2 * (x * x + y * y);
  m = mul(r, m);
  M4 k = identityArray();
  k[1][0] = d.skew[0];
  k[2][0] = d.skew[1];
  k[2][1] = d.skew[2];
  m = mul(k, m);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 4; ++j) m[i][j] *= d.scale[i];
  return fromArray(m);
}

}  // namespace

Transform3D Transform3D::makeTranslation(double tx, double ty, double tz) {
  Transform3D t;
  t.m41 = tx;
  t.m42 = ty;
  t.m43 = tz;
  return t;
}

Transform3D Transform3D::makeScale(double sx, double sy, double sz) {
  Transform3D t;
  t.m11 = sx;
  t.m22 = sy;
  t.m33 = sz;
  return t;
}

Transform3D Transform3D::makeRotation(double angle, double x, double y, double z) {
  const double len = std::sqrt(x * x + y * y + z * z);
  if (!(len > 0) || !std::isfinite(len)) return {};
  x /= len;
  y /= len;
  z /= len;
  const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
  Transform3D r;
  r.m11 = t * x * x + c;
  r.m12 = t * x * y + s * z;
  r.m13 = t * x * z - s * y;
  r.m21 = t * x * y - s * z;
  r.m22 = t * y * y + c;
  r.m23 = t * y * z + s * x;
  r.m31 = t * x * z + s * y;
  r.m32 = t * y * z - s * x;
  r.m33 = t * z * z + c;
  return r;
}

Transform3D Transform3D::concat(const Transform3D& a, const Transform3D& b) {
  return fromArray(mul(toArray(a), toArray(b)));
}

Transform3D Transform3D::translate(const Transform3D& t, double tx, double ty, double tz) {
  return concat(makeTranslation(tx, ty, tz), t);
}

Transform3D Transform3D::scale(const Transform3D& t, double sx, double sy, double sz) {
  return concat(makeScale(sx, sy, sz), t);
}

Transform3D Transform3D::rotate(const Transform3D& t, double angle, double x, double y, double z) {
  const double len = std::sqrt(x * x + y * y + z * z);
  if (!(len > 0)) return t;
  return concat(makeRotation(angle, x, y, z), t);
}

bool Transform3D::isIdentity() const {
  return m11 == 1 && m12 == 0 && m13 == 0 && m14 == 0 && m21 == 0 && m22 == 1 && m23 == 0 && m24 == 0 && m31 == 0 &&
         m32 == 0 && m33 == 1 && m34 == 0 && m41 == 0 && m42 == 0 && m43 == 0 && m44 == 1;
}

bool Transform3D::operator==(const Transform3D& o) const {
  return m11 == o.m11 && m12 == o.m12 && m13 == o.m13 && m14 == o.m14 && m21 == o.m21 && m22 == o.m22 &&
         m23 == o.m23 && m24 == o.m24 && m31 == o.m31 && m32 == o.m32 && m33 == o.m33 && m34 == o.m34 &&
         m41 == o.m41 && m42 == o.m42 && m43 == o.m43 && m44 == o.m44;
}

bool Transform3D::isFinite() const {
  for (const auto& row : toArray(*this))
    for (double v : row)
      if (!std::isfinite(v)) return false;
  return true;
}

double& Transform3D::at(int row, int col) {
  double* rows[4][4] = {{&m11, &m12, &m13, &m14}, {&m21, &m22, &m23, &m24}, {&m31, &m32, &m33, &m34},
                        {&m41, &m42, &m43, &m44}};
  return *rows[row & 3][col & 3];
}

double Transform3D::at(int row, int col) const { return toArray(*this)[row & 3][col & 3]; }

void Transform3D::map(double x, double y, double z, double out[4]) const {
  out[0] = x * m11 + y * m21 + z * m31 + m41;
  out[1] = x * m12 + y * m22 + z * m32 + m42;
  out[2] = x * m13 + y * m23 + z * m33 + m43;
  out[3] = x * m14 + y * m24 + z * m34 + m44;
}

QTransform Transform3D::flattened() const { return QTransform(m11, m12, m14, m21, m22, m24, m41, m42, m44); }

Transform3D Transform3D::interpolate(const Transform3D& from, const Transform3D& to, double p) {
  if (p <= 0) return from;
  if (p >= 1) return to;
  if (from == to) return from;
  Decomposed a{}, b{};
  if (!decompose(from, a) || !decompose(to, b)) {
    M4 fa = toArray(from), ta = toArray(to), r{};
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) r[i][j] = fa[i][j] + (ta[i][j] - fa[i][j]) * p;
    return fromArray(r);
  }
  Decomposed d{};
  auto lerp = [p](double x, double y) { return x + (y - x) * p; };
  for (int i = 0; i < 3; ++i) {
    d.scale[i] = lerp(a.scale[i], b.scale[i]);
    d.skew[i] = lerp(a.skew[i], b.skew[i]);
    d.translate[i] = lerp(a.translate[i], b.translate[i]);
  }
  for (int i = 0; i < 4; ++i) d.perspective[i] = lerp(a.perspective[i], b.perspective[i]);
  double product = 0;
  for (int i = 0; i < 4; ++i) product += a.quaternion[i] * b.quaternion[i];
  product = std::clamp(product, -1.0, 1.0);
  if (std::abs(product) >= 1.0) {
    for (int i = 0; i < 4; ++i) d.quaternion[i] = a.quaternion[i];
  } else {
    const double theta = std::acos(product);
    const double w = std::sin(p * theta) / std::sqrt(1 - product * product);
    const double wa = std::cos(p * theta) - product * w;
    for (int i = 0; i < 4; ++i) d.quaternion[i] = a.quaternion[i] * wa + b.quaternion[i] * w;
  }
  return recompose(d);
}

}  // namespace ox
