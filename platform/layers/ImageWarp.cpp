#include "platform/layers/ImageWarp.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ox::detail {
namespace {

// x * a + y * b per 8-bit channel, with a + b = 256.
inline quint32 blend256(quint32 x, quint32 a, quint32 y, quint32 b) {
  quint32 t = (x & 0xff00ff) * a + (y & 0xff00ff) * b;
  t = (t >> 8) & 0xff00ff;
  x = ((x >> 8) & 0xff00ff) * a + ((y >> 8) & 0xff00ff) * b;
  return (x & 0xff00ff00) | t;
}

// x * a / 255 per 8-bit channel, rounded.
inline quint32 scale255(quint32 x, quint32 a) {
  quint32 t = (x & 0xff00ff) * a;
  t = ((t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
  x = ((x >> 8) & 0xff00ff) * a;
  x = (x + ((x >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
  return x | t;
}

// The source picture, sampled bilinearly at a position given in 16.16 fixed point and shifted by 16 pixels, so that
// truncation floors (the position of a pixel's centre is half a pixel in).
struct Source {
  const quint32* pixels;
  qsizetype stride;
  int lastColumn, lastRow;
  quint32 fill;  // opaque for a picture without alpha

  quint32 at(qint64 u, qint64 v) const {
    const int iu = int(u >> 16) - 16, iv = int(v >> 16) - 16;
    const quint32 du = quint32(u >> 8) & 0xff, dv = quint32(v >> 8) & 0xff;
    const int u1 = std::clamp(iu, 0, lastColumn), u2 = std::clamp(iu + 1, 0, lastColumn);
    const quint32* r1 = pixels + stride * std::clamp(iv, 0, lastRow);
    const quint32* r2 = pixels + stride * std::clamp(iv + 1, 0, lastRow);
    const quint32 upper = blend256(r1[u1] | fill, 256 - du, r1[u2] | fill, du);
    const quint32 lower = blend256(r2[u1] | fill, 256 - du, r2[u2] | fill, du);
    return blend256(upper, 256 - dv, lower, dv);
  }

#if defined(__SSE2__)
  // Four pixels at once, as `at` on SSE2 lanes: most of a poster is drawn here.
  void at4(__m128 u, __m128 v, quint32* to) const {
    const __m128i fu = _mm_cvttps_epi32(_mm_mul_ps(u, _mm_set1_ps(65536.0f)));
    const __m128i fv = _mm_cvttps_epi32(_mm_mul_ps(v, _mm_set1_ps(65536.0f)));
    const __m128i cu = _mm_sub_epi32(_mm_srai_epi32(fu, 16), _mm_set1_epi32(16));
    const __m128i cv = _mm_sub_epi32(_mm_srai_epi32(fv, 16), _mm_set1_epi32(16));
    // The four neighbours of each pixel: top left, top right, bottom left, bottom right.
    __m128i a, b, c, d;
    const __m128i nothing = _mm_setzero_si128();
    const __m128i outside = _mm_or_si128(
        _mm_or_si128(_mm_cmplt_epi32(cu, nothing), _mm_cmpgt_epi32(cu, _mm_set1_epi32(lastColumn - 1))),
        _mm_or_si128(_mm_cmplt_epi32(cv, nothing), _mm_cmpgt_epi32(cv, _mm_set1_epi32(lastRow - 1))));
    if (_mm_movemask_epi8(outside) == 0) {
      // Away from the edges, each pair of neighbours side by side in one load, unclamped.
      alignas(16) qint32 column[4], row[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(column), cu);
      _mm_store_si128(reinterpret_cast<__m128i*>(row), cv);
      __m128i top[4], bottom[4];
      for (int i = 0; i < 4; ++i) {
        const quint32* p = pixels + stride * row[i] + column[i];
        top[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        bottom[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + stride));
      }
      const __m128i t01 = _mm_unpacklo_epi32(top[0], top[1]), t23 = _mm_unpacklo_epi32(top[2], top[3]);
      const __m128i b01 = _mm_unpacklo_epi32(bottom[0], bottom[1]);
      const __m128i b23 = _mm_unpacklo_epi32(bottom[2], bottom[3]);
      a = _mm_unpacklo_epi64(t01, t23);
      b = _mm_unpackhi_epi64(t01, t23);
      c = _mm_unpacklo_epi64(b01, b23);
      d = _mm_unpackhi_epi64(b01, b23);
    } else {
      alignas(16) quint32 out[4];
      alignas(16) qint32 su[4], sv[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(su), fu);
      _mm_store_si128(reinterpret_cast<__m128i*>(sv), fv);
      for (int i = 0; i < 4; ++i) out[i] = at(su[i], sv[i]);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_load_si128(reinterpret_cast<const __m128i*>(out)));
      return;
    }
    const __m128i opaque = _mm_set1_epi32(qint32(fill));
    a = _mm_or_si128(a, opaque);
    b = _mm_or_si128(b, opaque);
    c = _mm_or_si128(c, opaque);
    d = _mm_or_si128(d, opaque);
    // Each pixel's weights in both 16-bit halves of its lane, with their complements to 256.
    const __m128i byte = _mm_set1_epi32(0xff), pair = _mm_set1_epi32(0x00ff00ff), whole = _mm_set1_epi32(0x01000100);
    __m128i wx = _mm_and_si128(_mm_srli_epi32(fu, 8), byte), wy = _mm_and_si128(_mm_srli_epi32(fv, 8), byte);
    wx = _mm_or_si128(wx, _mm_slli_epi32(wx, 16));
    wy = _mm_or_si128(wy, _mm_slli_epi32(wy, 16));
    const __m128i ix = _mm_sub_epi16(whole, wx), iy = _mm_sub_epi16(whole, wy);
    // Red and blue, then alpha and green: across, then down.
    const auto across = [&](__m128i left, __m128i right, int shift) {
      const __m128i l = _mm_and_si128(_mm_srli_epi32(left, shift), pair);
      const __m128i r = _mm_and_si128(_mm_srli_epi32(right, shift), pair);
      return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(l, ix), _mm_mullo_epi16(r, wx)), 8);
    };
    const auto down = [&](int shift) {
      return _mm_srli_epi16(
          _mm_add_epi16(_mm_mullo_epi16(across(a, b, shift), iy), _mm_mullo_epi16(across(c, d, shift), wy)), 8);
    };
    const __m128i rb = down(0), ag = down(8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_or_si128(_mm_and_si128(rb, pair), _mm_slli_epi32(ag, 8)));
  }
#endif
};

// One side of the picture on `out`: a * x + b * y + c is the signed distance in pixels, positive inside.
struct Side {
  double a = 0, b = 0, c = 1e9;
};

}  // namespace

bool warpImage(const QImage& src, const QTransform& toOut, QImage& out) {
  const bool opaque = src.format() == QImage::Format_RGB32;
  if ((!opaque && src.format() != QImage::Format_ARGB32_Premultiplied) ||
      out.format() != QImage::Format_ARGB32_Premultiplied)
    return false;
  const int sw = src.width(), sh = src.height(), ow = out.width(), oh = out.height();
  if (sw < 1 || sh < 1 || ow < 1 || oh < 1) return true;
  bool invertible = false;
  const QTransform back = toOut.inverted(&invertible);
  if (!invertible) return false;
  QPointF corner[4] = {{0, 0}, {double(sw), 0}, {double(sw), double(sh)}, {0, double(sh)}};
  for (QPointF& p : corner) {
    const double w = toOut.m13() * p.x() + toOut.m23() * p.y() + toOut.m33();
    if (!(w > 1e-9)) return false;
    p = QPointF((toOut.m11() * p.x() + toOut.m21() * p.y() + toOut.m31()) / w,
                (toOut.m12() * p.x() + toOut.m22() * p.y() + toOut.m32()) / w);
    if (!std::isfinite(p.x()) || !std::isfinite(p.y())) return false;
  }
  const QPointF middle = (corner[0] + corner[1] + corner[2] + corner[3]) / 4;
  Side sides[4];
  double top = corner[0].y(), bottom = top, left = corner[0].x(), right = left;
  for (int i = 0; i < 4; ++i) {
    const QPointF p = corner[i], q = corner[(i + 1) % 4];
    top = std::min(top, p.y());
    bottom = std::max(bottom, p.y());
    left = std::min(left, p.x());
    right = std::max(right, p.x());
    const double dx = q.x() - p.x(), dy = q.y() - p.y(), length = std::hypot(dx, dy);
    if (!(length > 1e-12)) continue;  // a side of no length bounds nothing
    Side s{-dy / length, dx / length, 0};
    s.c = -(s.a * p.x() + s.b * p.y());
    if (s.a * middle.x() + s.b * middle.y() + s.c < 0) s = {-s.a, -s.b, -s.c};
    sides[i] = s;
  }
  const int y0 = std::clamp(int(std::floor(top)), 0, oh), y1 = std::clamp(int(std::ceil(bottom)) + 1, y0, oh);
  const int x0 = std::clamp(int(std::floor(left)), 0, ow), x1 = std::clamp(int(std::ceil(right)) + 1, x0, ow);
  const Source source{reinterpret_cast<const quint32*>(src.constBits()), src.bytesPerLine() / 4, sw - 1, sh - 1,
                      opaque ? 0xff000000u : 0u};
  for (int y = 0; y < oh; ++y) {
    auto* line = reinterpret_cast<quint32*>(out.scanLine(y));
    const double py = y + 0.5;
    // The columns some of whose pixel lies inside (a centre less than half a pixel outside every side), and those
    // wholly inside (more than half a pixel in).
    double from = x0, to = x1, whollyFrom = x0, whollyTo = x1;
    bool empty = y < y0 || y >= y1;
    for (const Side& s : sides) {
      const double k = s.b * py + s.c;
      if (std::abs(s.a) < 1e-12) {
        if (k <= -0.5) empty = true;
        if (k < 0.5) whollyTo = whollyFrom;
        continue;
      }
      const double edge = (-0.5 - k) / s.a - 0.5, inner = (0.5 - k) / s.a - 0.5;
      if (s.a > 0) {
        from = std::max(from, std::floor(edge));
        whollyFrom = std::max(whollyFrom, std::ceil(inner));
      } else {
        to = std::min(to, std::ceil(edge) + 1);
        whollyTo = std::min(whollyTo, std::floor(inner) + 1);
      }
    }
    const int xa = empty ? 0 : std::clamp(int(from), 0, ow), xb = empty ? 0 : std::clamp(int(to), xa, ow);
    const int wa = int(std::clamp(whollyFrom, double(xa), double(xb)));
    const int wb = int(std::clamp(whollyTo, double(wa), double(xb)));
    std::fill(line, line + xa, 0u);
    std::fill(line + xb, line + ow, 0u);
    // The source position of a column's centre, before the division by the weight.
    const double x0s = back.m21() * py + back.m31(), y0s = back.m22() * py + back.m32();
    const double w0s = back.m23() * py + back.m33();
    int quads = wa;
#if defined(__SSE2__)
    if (w0s + back.m13() * wa > 1e-6 && w0s + back.m13() * wb > 1e-6) {
      const __m128 m11 = _mm_set1_ps(float(back.m11())), m12 = _mm_set1_ps(float(back.m12()));
      const __m128 m13 = _mm_set1_ps(float(back.m13())), shift = _mm_set1_ps(15.5f);
      const __m128 xs = _mm_set1_ps(float(x0s)), ys = _mm_set1_ps(float(y0s)), ws = _mm_set1_ps(float(w0s));
      for (; quads + 4 <= wb; quads += 4) {
        const __m128 px = _mm_add_ps(_mm_set1_ps(float(quads)), _mm_setr_ps(0.5f, 1.5f, 2.5f, 3.5f));
        const __m128 per = _mm_div_ps(_mm_set1_ps(1.0f), _mm_add_ps(_mm_mul_ps(m13, px), ws));
        const __m128 u = _mm_add_ps(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(m11, px), xs), per), shift);
        const __m128 v = _mm_add_ps(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(m12, px), ys), per), shift);
        source.at4(u, v, line + quads);
      }
    }
#endif
    for (int x = xa; x < xb; ++x) {
      if (x == wa) x = quads;  // the wholly inside ones that were drawn four at a time
      if (x >= xb) break;
      const double px = x + 0.5;
      quint32 cover = 255;
      if (x < wa || x >= wb) {
        double inside = 1e9;
        for (const Side& s : sides) inside = std::min(inside, s.a * px + s.b * py + s.c);
        cover = quint32(std::clamp(inside + 0.5, 0.0, 1.0) * 255 + 0.5);
      }
      const double w = back.m13() * px + w0s;
      if (cover == 0 || !(w > 1e-12)) {
        line[x] = 0;
        continue;
      }
      const qint64 u = qint64(((back.m11() * px + x0s) / w + 15.5) * 65536.0);
      const qint64 v = qint64(((back.m12() * px + y0s) / w + 15.5) * 65536.0);
      const quint32 colour = source.at(u, v);
      line[x] = cover == 255 ? colour : scale255(colour, cover);
    }
  }
  return true;
}

}  // namespace ox::detail
