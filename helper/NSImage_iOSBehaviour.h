#pragma once
#include <QImage>

// Horizontally stretchable pictures: a left cap, a middle and a right cap cut from an image, the middle stretched to
// a chosen width (the backgrounds of the panel lists' buttons). Widths in points.
class NSImage_iOSBehaviour {
 public:
  // An image left + middle + right points wide and as high as `image`. A piece with no width is left empty.
  static QImage leftCapWidth(const QImage& image, double left, double middle, double right);
};
