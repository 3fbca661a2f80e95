#pragma once
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <memory>

#include "platform/layers/Layer.h"

namespace ox {

// Paints layer trees with QPainter. The tree is drawn as it looks at a chosen instant (LayerClock time), so a
// test renders any moment of an animation into an image. Every layer plane is carried to the canvas by the exact
// 2D homography of its 4x4 chain; the canvas keeps the layers' convention (origin bottom left, y up) and is flipped
// once, here. Hidden layers, layers at opacity 0 and layers outside the canvas (or behind the eye) are skipped, and
// a sublayer whose whole tree lies outside is passed over without a look inside, so a layer of thousands of
// sublayers costs about what the few in view cost. Contents images much larger than their size on screen are drawn
// from a cached, smoothly scaled copy; pictures under perspective are resampled by a pass of our own
// (ImageWarp.h).
//
// Opacity multiplies down the tree (no group opacity). Shadows follow the layer's own background, contents or
// text, not its sublayers. Instance tints of replicators multiply colours and images, not vector content.
class Renderer {
 public:
  Renderer();
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // Flushes pending layout, then paints the tree of `root` onto the painter's device. The canvas is `canvasSize`
  // points with the origin at its bottom left, mapped through the painter's current transform.
  void render(QPainter& painter, const LayerPtr& root, const QSizeF& canvasSize, double time);
  // The same into a new image of `size` pixels (one pixel per point), filled with `background` first.
  QImage renderToImage(const LayerPtr& root, const QSize& size, double time,
                       const QColor& background = Qt::transparent);

  // Whether something drawn in the last render was still moving after its instant.
  bool animating() const;

  struct Stats {
    int visited = 0;      // layers looked at (not those inside trees passed over)
    int drawn = 0;        // layers that drew something
    int culled = 0;       // layers found outside the canvas or behind the eye; a tree passed over counts once
    int cacheHits = 0;    // scaled or tinted contents taken from the cache
    int cacheMisses = 0;  // ... made anew
  };
  Stats lastStats() const;

  // Upper bound of the cache of scaled and tinted contents and shadows, in bytes (default 256 MiB). What was made
  // from a picture no layer holds any more is let go within 60 renders, whatever the bound.
  void setCacheLimit(qint64 bytes);
  void clearCache();
  // What the cache holds, in bytes.
  qint64 cacheBytes() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace ox
