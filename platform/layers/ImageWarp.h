#pragma once
// Pictures under perspective, drawn by a pass of our own. Not for use outside platform/layers.
#include <QImage>
#include <QTransform>

namespace ox::detail {

// Draws `src` (RGB32 or ARGB32 premultiplied) into `out` (ARGB32 premultiplied), carried by `toOut` from the source's
// pixel coordinates to `out`'s: sampled bilinearly at each pixel's centre, as QPainter samples with smooth
// transforms, with the edges antialiased by the share of each pixel the picture covers. Every pixel of `out` is
// written: transparent where the picture does not reach. False, with `out` untouched, for another format or a map
// that carries a corner to or behind the eye.
//
// Qt draws such a picture by splitting its rows over its own thread pool and waiting for it, which costs the frame
// more than the drawing itself once the machine is busy; this pass runs on the calling thread alone.
bool warpImage(const QImage& src, const QTransform& toOut, QImage& out);

}  // namespace ox::detail
