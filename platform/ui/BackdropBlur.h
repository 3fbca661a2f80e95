#pragma once
#include <QImage>

namespace ox {

// A blurred copy of `source` at its own size, as a window shows what lies beneath it: the picture is reduced, blurred
// there with three box passes (close to a Gaussian) and brought back with smooth scaling, so a large radius costs
// little. `radius` is in pixels of `source`; 0 or less answers the source.
QImage blurredBackdrop(const QImage& source, double radius);

}  // namespace ox
