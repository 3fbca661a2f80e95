#include "platform/layers/Renderer.h"

#include <QCache>
#include <QHash>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/layers/ImageWarp.h"
#include "platform/layers/ReplicatorLayer.h"
#include "platform/layers/SubtreeExtent.h"
#include "platform/layers/TextLayer.h"
#include "platform/layers/Transaction.h"

namespace ox {
namespace {

struct CacheKey {
  qint64 source = 0;  // image cache key, or a negated layer id for shadows
  int w = 0, h = 0;
  QRgb tint = 0;
  quint64 extra = 0;
  bool operator==(const CacheKey& o) const = default;
};

size_t qHash(const CacheKey& k, size_t seed = 0) noexcept {
  return qHashMulti(seed, k.source, k.w, k.h, k.tint, k.extra);
}

struct Tint {
  double r = 1, g = 1, b = 1, a = 1;
  bool isWhite() const { return r >= 1 && g >= 1 && b >= 1; }
  QRgb key() const {
    auto c = [](double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    return qRgba(c(r), c(g), c(b), c(a));
  }
  QColor apply(const QColor& in) const {
    if (!in.isValid()) return in;
    return QColor::fromRgbF(float(in.redF() * r), float(in.greenF() * g), float(in.blueF() * b), in.alphaF());
  }
};

bool finiteTransform(const QTransform& t) {
  return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m13()) && std::isfinite(t.m21()) &&
         std::isfinite(t.m22()) && std::isfinite(t.m23()) && std::isfinite(t.m31()) && std::isfinite(t.m32()) &&
         std::isfinite(t.m33());
}

// Maps the rectangle's corners; false when a corner lies at or behind the eye.
bool mapQuad(const QTransform& t, const QRectF& r, QPolygonF& out) {
  out.resize(4);
  const QPointF pts[4] = {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
  for (int i = 0; i < 4; ++i) {
    const double x = pts[i].x(), y = pts[i].y();
    const double w = t.m13() * x + t.m23() * y + t.m33();
    if (!(w > 1e-6)) return false;
    const double px = (t.m11() * x + t.m21() * y + t.m31()) / w;
    const double py = (t.m12() * x + t.m22() * y + t.m32()) / w;
    if (!std::isfinite(px) || !std::isfinite(py)) return false;
    out[i] = QPointF(px, py);
  }
  return true;
}

QImage blurredAlpha(const QImage& src, int radius) {
  QImage a = src.convertToFormat(QImage::Format_Alpha8);
  if (radius <= 0) return a;
  const int w = a.width(), h = a.height();
  std::vector<int> line(std::max(w, h));
  for (int pass = 0; pass < 3; ++pass) {
    for (int y = 0; y < h; ++y) {
      uchar* row = a.scanLine(y);
      for (int x = 0; x < w; ++x) line[x] = row[x];
      int sum = 0;
      for (int x = -radius; x <= radius; ++x) sum += line[std::clamp(x, 0, w - 1)];
      for (int x = 0; x < w; ++x) {
        row[x] = uchar(sum / (2 * radius + 1));
        sum += line[std::clamp(x + radius + 1, 0, w - 1)] - line[std::clamp(x - radius, 0, w - 1)];
      }
    }
    for (int x = 0; x < w; ++x) {
      for (int y = 0; y < h; ++y) line[y] = a.scanLine(y)[x];
      int sum = 0;
      for (int y = -radius; y <= radius; ++y) sum += line[std::clamp(y, 0, h - 1)];
      for (int y = 0; y < h; ++y) {
        a.scanLine(y)[x] = uchar(sum / (2 * radius + 1));
        sum += line[std::clamp(y + radius + 1, 0, h - 1)] - line[std::clamp(y - radius, 0, h - 1)];
      }
    }
  }
  return a;
}

QPainterPath roundedPath(const QRectF& r, double radius) {
  QPainterPath p;
  if (radius > 0)
    p.addRoundedRect(r, radius, radius);
  else
    p.addRect(r);
  return p;
}

}  // namespace

struct Renderer::Impl {
  // Pictures made from others (scaled, tinted, warped, a shadow).
  QCache<CacheKey, QImage> cache{256 * 1024};  // cost in KiB
  // The pictures they were made from, one copy each, and what was made from each: once that copy is all that is
  // left, the picture is gone from every layer and all that was made from it (a warp for each place a poster rested
  // at) is let go at the next sweep, not kept until the cache is full.
  QHash<qint64, QImage> sources;
  QMultiHash<qint64, CacheKey> madeFrom;
  int rendersSinceSweep = 0;
  QHash<quint64, quint64> lastShape;           // per layer and image: the perspective shape of the last frame
  std::vector<uchar> scratch;                  // pictures warped for one frame only
  quint64 salt = 0;                            // which replicator instance is being drawn
  QPainter* painter = nullptr;
  bool onePixelPerPoint = true;  // the painter's device has no pixel ratio of its own
  QRectF viewport;
  double time = 0;
  bool animating = false;
  Stats stats;

  struct Child {
    Layer* layer;
    LayerState state;
  };

  QImage cached(const CacheKey& key, const QImage& source, const std::function<QImage()>& make) {
    if (QImage* hit = cache.object(key)) {
      ++stats.cacheHits;
      return *hit;
    }
    ++stats.cacheMisses;
    QImage img = make();
    if (!img.isNull()) {
      const int cost = int(std::max<qsizetype>(1, img.sizeInBytes() / 1024));
      cache.insert(key, new QImage(img), cost);
      if (!source.isNull()) {
        sources.insert(source.cacheKey(), source);
        // Made again after the cache let it go: listed once.
        if (!madeFrom.contains(source.cacheKey(), key)) madeFrom.insert(source.cacheKey(), key);
      }
    }
    return img;
  }

  void sweep() {
    if (++rendersSinceSweep < 60) return;
    rendersSinceSweep = 0;
    for (auto it = sources.begin(); it != sources.end();) {
      const qint64 from = it.key();
      const bool gone = it->isDetached();
      // What the cache let go of by itself is forgotten too.
      for (auto made = madeFrom.find(from); made != madeFrom.end() && made.key() == from;) {
        if (gone) cache.remove(*made);
        if (gone || !cache.contains(*made))
          made = madeFrom.erase(made);
        else
          ++made;
      }
      if (gone || !madeFrom.contains(from))
        it = sources.erase(it);
      else
        ++it;
    }
  }

  // The contents image as drawn: scaled down once when far larger than on screen, tinted when asked.
  QImage contentsFor(const QImage& img, const QSizeF& onScreen, const Tint& tint) {
    int w = img.width(), h = img.height();
    const double needW = std::max(1.0, onScreen.width()), needH = std::max(1.0, onScreen.height());
    bool scale = false;
    if (w > needW * 1.25 && h > needH * 1.25) {
      // Round up to a step of 1/8 of the source, so small changes of size on screen share one copy.
      const double f = std::max(needW / w, needH / h);
      const double stepped = std::min(1.0, std::ceil(f * 8.0) / 8.0);
      if (stepped < 1.0) {
        w = std::max(1, int(std::ceil(img.width() * stepped)));
        h = std::max(1, int(std::ceil(img.height() * stepped)));
        scale = true;
      }
    }
    if (!scale && tint.isWhite()) return img;
    const CacheKey key{img.cacheKey(), w, h, tint.key(), 0};
    return cached(key, img, [&] {
      QImage out = scale ? img.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation) : img;
      out = out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
      if (!tint.isWhite()) {
        const QImage shape = out;  // the multiply fill covers transparent pixels too; this gives their alpha back
        QPainter p(&out);
        p.setCompositionMode(QPainter::CompositionMode_Multiply);
        p.fillRect(out.rect(), QColor::fromRgbF(float(tint.r), float(tint.g), float(tint.b)));
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, shape);
      }
      return out;
    });
  }

  static QRectF gravityRect(Gravity g, const QRectF& b, const QSizeF& imagePoints) {
    const double iw = imagePoints.width(), ih = imagePoints.height();
    if (iw <= 0 || ih <= 0) return b;
    switch (g) {
      case Gravity::Resize: return b;
      case Gravity::Center:
        return QRectF(b.center().x() - iw / 2, b.center().y() - ih / 2, iw, ih);
      case Gravity::ResizeAspect:
      case Gravity::ResizeAspectFill: {
        const double sx = b.width() / iw, sy = b.height() / ih;
        const double s = g == Gravity::ResizeAspect ? std::min(sx, sy) : std::max(sx, sy);
        return QRectF(b.center().x() - iw * s / 2, b.center().y() - ih * s / 2, iw * s, ih * s);
      }
    }
    return b;
  }

  // A copy at whole pixels. With smooth sampling on, Qt resamples even an unscaled image (to the same pixels) and
  // splits its rows over its thread pool, and the frame waits for the pool; without, it blends the rows directly,
  // which is quicker up to about a million pixels (a poster); a whole screen's worth gains from the pool.
  void blit(const QPoint& at, const QImage& img) {
    painter->setTransform(QTransform());
    const bool direct = qint64(img.width()) * img.height() <= 1 << 20;
    if (direct) painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(at, img);
    if (direct) painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
  }

  // Whether `img` drawn at `at` under `t` is a copy at whole pixels; Qt rounds an unscaled image's place to them
  // (halves away from zero), however it is asked, so `pixel` is where it lands.
  bool copiesToPixels(const QTransform& t, const QPointF& at, const QSizeF& size, const QImage& img,
                      QPoint& pixel) const {
    if (!onePixelPerPoint || t.type() > QTransform::TxTranslate || size.width() != img.width() ||
        size.height() != img.height())
      return false;
    pixel = QPoint(qRound(at.x() + t.dx()), qRound(at.y() + t.dy()));
    return true;
  }

  // A picture under perspective whose shape changes from frame to frame (a poster turning towards the middle of the
  // cover flow), warped by `h` onto the device: by our own pass into a bitmap of the part in view, then copied, as
  // a cached warp is. False when the pass cannot take the picture.
  bool warpInView(const QTransform& h, const QImage& img) {
    if (!onePixelPerPoint) return false;
    const QRect area = h.mapRect(QRectF(img.rect())).toAlignedRect().intersected(viewport.toAlignedRect());
    if (area.isEmpty()) return true;
    // Into memory kept from frame to frame: a dozen fresh bitmaps a frame cost their pages' first touch.
    const qsizetype bytes = qsizetype(area.width()) * area.height() * 4;
    if (qsizetype(scratch.size()) < bytes) scratch.resize(std::size_t(bytes));
    QImage out(scratch.data(), area.width(), area.height(), area.width() * 4, QImage::Format_ARGB32_Premultiplied);
    if (!detail::warpImage(img, h * QTransform::fromTranslate(-area.x(), -area.y()), out)) return false;
    blit(area.topLeft(), out);
    return true;
  }

  // Resampling is costly, and most images keep their shape from one frame to the next: a poster beside the
  // cover-flow centre only changes place while it slides, a stretched backdrop stays put. So an image drawn under
  // the same shape as in the frame before is warped once into a cached bitmap and then copied at its whole-pixel
  // place. Under perspective the place is rounded, so a sliding poster keeps one warp; any other transform keeps
  // its fraction of a pixel, so the copy is the drawing itself.
  void drawImageIn(const QTransform& content, const QRectF& target, const QImage& img, quint64 owner) {
    if (img.isNull()) return;
    QPoint pixel;
    if (copiesToPixels(content, target.topLeft(), target.size(), img, pixel)) {
      blit(pixel, img);
      return;
    }
    QTransform h = QTransform::fromScale(target.width() / img.width(), target.height() / img.height()) *
                   QTransform::fromTranslate(target.x(), target.y()) * content;
    if (!(h.m33() > 0)) {
      painter->setTransform(content);
      painter->drawImage(target, img);
      return;
    }
    h = QTransform(h.m11() / h.m33(), h.m12() / h.m33(), h.m13() / h.m33(), h.m21() / h.m33(), h.m22() / h.m33(),
                   h.m23() / h.m33(), h.m31() / h.m33(), h.m32() / h.m33(), 1.0);
    const bool project = h.type() == QTransform::TxProject;
    const QPointF origin = h.map(QPointF(0, 0));
    const QPointF anchor = project ? origin : QPointF(std::floor(origin.x()), std::floor(origin.y()));
    const QTransform shape = h * QTransform::fromTranslate(-anchor.x(), -anchor.y());
    const QRectF box = shape.mapRect(QRectF(img.rect()));
    auto q = [](double v, double unit) { return quint64(qint64(std::llround(v / unit))); };
    quint64 key = 0;
    if (project) {
      // Under perspective, by where the corners land to 1/64 of a pixel: a turn that ends by starting again towards
      // where it is (a cover flow moved once per slide) changes nothing that shows, and keeps its warp.
      const QPolygonF corners = shape.map(QPolygonF(QRectF(img.rect())));
      for (const QPointF& c : corners) key = qHashMulti(key, q(c.x(), 1.0 / 64), q(c.y(), 1.0 / 64));
    } else {
      key = qHashMulti(0, q(shape.m11(), 1e-6), q(shape.m12(), 1e-6), q(shape.m21(), 1e-6), q(shape.m22(), 1e-6),
                       q(shape.m13(), 1e-10), q(shape.m23(), 1e-10), q(shape.dx(), 1e-6), q(shape.dy(), 1e-6),
                       q(box.width(), 1e-3), q(box.height(), 1e-3));
    }
    const quint64 slot = owner * 1000003ULL ^ quint64(img.cacheKey());
    const bool stable = lastShape.value(slot, 0) == key;
    if (lastShape.size() > 20000) lastShape.clear();
    lastShape.insert(slot, key);
    if (!stable || box.width() * box.height() > 4.0e6 || box.width() > 4096 || box.height() > 4096) {
      if (project && warpInView(h, img)) return;
      painter->setTransform(content);
      painter->drawImage(target, img);
      return;
    }
    const QPoint corner(int(std::floor(box.x())), int(std::floor(box.y())));
    const QImage warped = cached(CacheKey{img.cacheKey(), int(box.width()), int(box.height()), 0, key}, img, [&] {
      QImage out(int(std::ceil(box.right())) - corner.x() + 1, int(std::ceil(box.bottom())) - corner.y() + 1,
                 QImage::Format_ARGB32_Premultiplied);
      const QTransform toOut = shape * QTransform::fromTranslate(-corner.x(), -corner.y());
      if (project && detail::warpImage(img, toOut, out)) return out;
      out.fill(Qt::transparent);
      QPainter w(&out);
      w.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::Antialiasing);
      w.setTransform(toOut);
      w.drawImage(0, 0, img);
      return out;
    });
    const QPoint place = project ? QPoint(int(std::lround(origin.x())), int(std::lround(origin.y())))
                                 : QPoint(int(anchor.x()), int(anchor.y()));
    blit(place + corner, warped);
  }

  void drawShadow(Layer* l, const LayerState& s, const QTransform& content, double opacity, const QImage& text) {
    const QRectF b = s.bounds;
    const int radius = int(std::ceil(std::max(0.0, s.shadowRadius)));
    const int pad = radius * 3 + 1;
    const int w = int(std::ceil(b.width())) + 2 * pad, h = int(std::ceil(b.height())) + 2 * pad;
    if (w <= 2 * pad || h <= 2 * pad || w > 4096 || h > 4096) return;
    const quint64 extra = (quint64(l->contentVersion()) << 20) ^ quint64(radius) ^
                          (quint64(s.backgroundColor.rgba()) << 1) ^ quint64(std::lround(s.cornerRadius * 16)) << 40;
    const CacheKey key{-qint64(l->uniqueId()), w, h, s.shadowColor.rgba(), extra};
    const QImage shadow = cached(key, text.isNull() ? l->contents() : text, [&] {
      QImage shape(w, h, QImage::Format_ARGB32_Premultiplied);
      shape.fill(Qt::transparent);
      QPainter p(&shape);
      p.setRenderHint(QPainter::Antialiasing);
      const QRectF local(pad, pad, b.width(), b.height());
      if (s.backgroundColor.isValid() && s.backgroundColor.alpha() > 0)
        p.fillPath(roundedPath(local, s.cornerRadius), s.backgroundColor);
      if (!l->contents().isNull()) p.drawImage(local, l->contents());
      if (!text.isNull()) p.drawImage(local, text);
      p.end();
      const QImage alpha = blurredAlpha(shape, std::max(1, radius / 2));
      QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
      out.fill(s.shadowColor.isValid() ? QColor(s.shadowColor.red(), s.shadowColor.green(), s.shadowColor.blue())
                                       : QColor(Qt::black));
      QPainter q(&out);
      q.setCompositionMode(QPainter::CompositionMode_DestinationIn);
      q.drawImage(0, 0, alpha);
      return out;
    });
    if (shadow.isNull()) return;
    painter->setTransform(content);
    painter->setOpacity(opacity * std::clamp(s.shadowOpacity, 0.0, 1.0) *
                        (s.shadowColor.isValid() ? s.shadowColor.alphaF() : 1.0));
    // The offset is y-up; this painter runs y-down.
    const QPointF at(b.x() - pad + s.shadowOffset.width(), b.y() - pad - s.shadowOffset.height());
    QPoint pixel;
    if (copiesToPixels(content, at, shadow.size(), shadow, pixel))
      blit(pixel, shadow);
    else
      painter->drawImage(at, shadow);
  }

  void drawOwn(Layer* l, const LayerState& s, const QTransform& content, double opacity, const Tint& tint) {
    const QRectF b = s.bounds;
    QImage text;
    if (auto* tl = dynamic_cast<TextLayer*>(l)) {
      LayerState shown = s;
      shown.foregroundColor = tint.apply(s.foregroundColor);
      const double scale = l->contentsScale() * std::max(std::abs(content.m11()), std::abs(content.m22()));
      text = tl->drawnContents(std::clamp(std::ceil(scale * 2) / 2, 0.5, 8.0), shown);
    } else {
      text = l->drawnContents(l->contentsScale(), s);
    }
    if (s.shadowOpacity > 0) drawShadow(l, s, content, opacity, text);
    painter->setTransform(content);
    painter->setOpacity(opacity);
    bool drew = false;
    if (s.backgroundColor.isValid() && s.backgroundColor.alpha() > 0) {
      const QColor bg = tint.apply(s.backgroundColor);
      if (s.cornerRadius > 0)
        painter->fillPath(roundedPath(b, s.cornerRadius), bg);
      else
        painter->fillRect(b, bg);
      drew = true;
    }
    const QImage& img = l->contents();
    if (!img.isNull()) {
      const QSizeF points(img.width() / l->contentsScale(), img.height() / l->contentsScale());
      const QRectF target = gravityRect(l->contentsGravity(), b, points);
      const QRectF onScreen = content.mapRect(target);
      const QImage shown = contentsFor(img, onScreen.size(), tint);
      drawImageIn(content, target, shown, l->uniqueId() * 7919 + salt);
      drew = true;
    }
    if (!text.isNull()) {
      drawImageIn(content, b, text, l->uniqueId() * 7919 + salt);
      drew = true;
    }
    painter->setTransform(content);
    l->drawInContext(*painter, s);
    if (drew) ++stats.drawn;
  }

  void drawBorder(const LayerState& s, const QTransform& content, double opacity, const Tint& tint) {
    if (!(s.borderWidth > 0) || !s.borderColor.isValid() || s.borderColor.alpha() == 0) return;
    painter->setTransform(content);
    painter->setOpacity(opacity);
    const double half = s.borderWidth / 2;
    const QRectF r = s.bounds.adjusted(half, half, -half, -half);
    QPen pen(tint.apply(s.borderColor), s.borderWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    if (s.cornerRadius > 0)
      painter->drawRoundedRect(r, std::max(0.0, s.cornerRadius - half), std::max(0.0, s.cornerRadius - half));
    else
      painter->drawRect(r);
    painter->setPen(Qt::NoPen);
  }

  // Local plane of `l` to the canvas device. `parent` gives the superlayer's sublayer transform (null for the
  // root and for masks); `instance` the replicator's per-instance step.
  static QTransform planeTransform(const LayerState& s, const LayerState* parent, const Transform3D* instance,
                                   const QTransform& parentH) {
    const QRectF b = s.bounds;
    const double ax = b.x() + s.anchorPoint.x() * b.width(), ay = b.y() + s.anchorPoint.y() * b.height();
    Transform3D m = Transform3D::makeTranslation(-ax, -ay, 0);
    if (!s.transform.isIdentity()) m = Transform3D::concat(m, s.transform);
    m = Transform3D::concat(m, Transform3D::makeTranslation(s.position.x(), s.position.y(), s.zPosition));
    if (instance) m = Transform3D::concat(m, *instance);
    Transform3D pivot;
    if (parent && detail::sublayerMatrix(*parent, pivot)) m = Transform3D::concat(m, pivot);
    return m.flattened() * parentH;
  }

  void drawLayer(Layer* l, const LayerState& s, const LayerState* parent, const Transform3D* instance,
                 const QTransform& parentH, double parentOpacity, const Tint& tint, bool applyMask = true) {
    ++stats.visited;
    if (s.hidden) return;
    const double opacity = parentOpacity * std::clamp(s.opacity, 0.0, 1.0) * tint.a;
    if (!(opacity > 0.001)) return;
    if (l->hasAnimationsAfter(time)) animating = true;
    const QTransform H = planeTransform(s, parent, instance, parentH);
    if (!finiteTransform(H)) {
      ++stats.culled;
      return;
    }
    QPolygonF quad;
    const bool inFront = mapQuad(H, s.bounds, quad);
    const bool visible = inFront && quad.boundingRect().intersects(viewport);
    if (!visible) ++stats.culled;
    if (s.masksToBounds && !visible) return;
    const QRectF b = s.bounds;
    const QTransform content = QTransform(1, 0, 0, -1, 0, 2 * b.y() + b.height()) * H;

    if (applyMask && l->mask()) {
      drawMasked(l, s, parent, instance, parentH, parentOpacity, tint, H);
      return;
    }
    // Bounds masking clips the layer's own contents as well as its sublayers; the border stays on top, unclipped.
    if (s.masksToBounds) {
      painter->save();
      painter->setTransform(content);
      painter->setClipPath(roundedPath(b, s.cornerRadius), Qt::IntersectClip);
    }
    if (visible) drawOwn(l, s, content, opacity, tint);

    const auto& subs = l->sublayers();
    if (!subs.empty()) {
      auto* replicator = dynamic_cast<ReplicatorLayer*>(l);
      const int count = replicator ? replicator->instanceCount() : 1;
      Transform3D pivot;
      const bool pivoted = detail::sublayerMatrix(s, pivot);
      Transform3D step;
      std::vector<Layer*> inView;
      std::vector<Child> children;
      for (int i = 0; i < count; ++i) {
        Tint t = tint;
        const Transform3D* inst = nullptr;
        Transform3D about;
        if (replicator) {
          double f[4];
          replicator->instanceTint(i, f);
          t.r *= f[0];
          t.g *= f[1];
          t.b *= f[2];
          t.a *= f[3];
          if (i > 0) {
            step = i == 1 ? replicator->instanceTransform()
                          : Transform3D::concat(step, replicator->instanceTransform());
            about = ReplicatorLayer::aboutCentre(step, b);
            inst = &about;
          }
        }
        // Sublayers whose whole tree lies off the canvas are passed over without a look inside.
        Transform3D carry;
        const Transform3D* carried = inst ? &carry : pivoted ? &pivot : nullptr;
        if (inst) carry = pivoted ? Transform3D::concat(about, pivot) : about;
        int culled = 0;
        bool moving = false;
        detail::SubtreeExtent::sublayersInView(l, carried, H, viewport, time, !replicator, inView, culled, moving);
        stats.culled += culled;
        // One of them may come into view: the frames go on.
        if (moving) animating = true;
        children.clear();
        for (Layer* c : inView) children.push_back({c, c->presentation(time)});
        std::stable_sort(children.begin(), children.end(),
                         [](const Child& a, const Child& b) { return a.state.zPosition < b.state.zPosition; });
        const quint64 outerSalt = salt;
        salt = salt * 31 + quint64(i) + 1;
        for (const auto& c : children) drawLayer(c.layer, c.state, &s, inst, H, opacity, t);
        salt = outerSalt;
      }
    }
    if (s.masksToBounds) painter->restore();
    if (visible) drawBorder(s, content, opacity, tint);
  }

  void drawMasked(Layer* l, const LayerState& s, const LayerState* parent, const Transform3D* instance,
                  const QTransform& parentH, double parentOpacity, const Tint& tint, const QTransform& H) {
    Layer* mask = l->mask().get();
    const LayerState ms = mask->presentation(time);
    const QTransform maskH = planeTransform(ms, nullptr, nullptr, H);
    QPolygonF mq;
    if (!finiteTransform(maskH) || !mapQuad(maskH, ms.bounds, mq)) return;
    const QRect region = mq.boundingRect().intersected(viewport).toAlignedRect();
    if (region.isEmpty()) return;
    QImage buffer(region.size(), QImage::Format_ARGB32_Premultiplied);
    buffer.fill(Qt::transparent);
    QImage maskImage(region.size(), QImage::Format_ARGB32_Premultiplied);
    maskImage.fill(Qt::transparent);
    const QTransform shift = QTransform::fromTranslate(-region.x(), -region.y());
    QPainter* outer = painter;
    const QRectF outerViewport = viewport;
    viewport = QRectF(0, 0, region.width(), region.height());
    {
      QPainter bp(&buffer);
      bp.setRenderHints(outer->renderHints());
      painter = &bp;
      drawLayer(l, s, parent, instance, parentH * shift, parentOpacity, tint, false);
      QPainter mp(&maskImage);
      mp.setRenderHints(outer->renderHints());
      painter = &mp;
      drawLayer(mask, ms, nullptr, nullptr, H * shift, 1.0, Tint{}, true);
      mp.end();
      bp.setTransform(QTransform());
      bp.setOpacity(1.0);
      bp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
      bp.drawImage(0, 0, maskImage);
    }
    painter = outer;
    viewport = outerViewport;
    painter->setTransform(QTransform());
    painter->setOpacity(1.0);
    painter->drawImage(region.topLeft(), buffer);
  }
};

Renderer::Renderer() : d(std::make_unique<Impl>()) {}
Renderer::~Renderer() = default;

void Renderer::render(QPainter& painter, const LayerPtr& root, const QSizeF& canvasSize, double time) {
  Transaction::flush();
  d->stats = {};
  d->animating = false;
  if (!root) return;
  d->painter = &painter;
  d->time = time;
  painter.save();
  const QTransform device = painter.worldTransform();
  const QTransform base = QTransform(1, 0, 0, -1, 0, canvasSize.height()) * device;
  QRectF deviceRect = device.mapRect(QRectF(QPointF(0, 0), canvasSize));
  if (painter.device()) deviceRect = deviceRect.intersected(QRectF(0, 0, painter.device()->width(),
                                                                   painter.device()->height()));
  d->viewport = deviceRect;
  d->onePixelPerPoint = !painter.device() || painter.device()->devicePixelRatio() == 1.0;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const LayerState s = root->presentation(time);
  d->drawLayer(root.get(), s, nullptr, nullptr, base, 1.0, Tint{});
  painter.restore();
  d->painter = nullptr;
  d->sweep();
}

QImage Renderer::renderToImage(const LayerPtr& root, const QSize& size, double time, const QColor& background) {
  QImage img(size, QImage::Format_ARGB32_Premultiplied);
  img.fill(background.isValid() ? background : QColor(Qt::transparent));
  QPainter p(&img);
  render(p, root, QSizeF(size), time);
  p.end();
  return img;
}

bool Renderer::animating() const { return d->animating; }
Renderer::Stats Renderer::lastStats() const { return d->stats; }
void Renderer::setCacheLimit(qint64 bytes) { d->cache.setMaxCost(int(std::max<qint64>(1, bytes / 1024))); }
void Renderer::clearCache() {
  d->cache.clear();
  d->sources.clear();
  d->madeFrom.clear();
}
qint64 Renderer::cacheBytes() const { return qint64(d->cache.totalCost()) * 1024; }

}  // namespace ox
