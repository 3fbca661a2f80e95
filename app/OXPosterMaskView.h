#pragma once
#include <QImage>

#include "platform/ui/View.h"

// The poster frame: a dark 1-point outline along the canvas edge (radius 6) and a faint light one just inside it
// (radius 5). Never shown in a window: the poster composer draws it into an image, off the main thread too.
class OXPosterMaskView : public ox::View {
 public:
  using ox::View::View;  // initWithFrame
  void drawRect(QPainter& painter, const QRectF& dirtyRect) override;
  bool drawsContent() const override { return true; }
  // The view's drawing at the size of its bounds.
  QImage imageWithSubviews() const;
};

// The rounded-corner mask: opaque black inside a rounded rectangle of radius 6, transparent in the corners; the
// composer keeps the poster only where it is opaque.
class OXPosterMaskCornerRadius : public ox::View {
 public:
  using ox::View::View;
  void drawRect(QPainter& painter, const QRectF& dirtyRect) override;
  bool drawsContent() const override { return true; }
  QImage imageWithSubviews() const;
};
