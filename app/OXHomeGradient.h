#pragma once
#include "platform/ui/View.h"

// The dark band behind Home's section list: black at 55 % on the left edge, fading to clear at the right edge.
class OXHomeGradient : public ox::View {
 public:
  explicit OXHomeGradient(const QRectF& frame) : ox::View(frame) {}
  bool drawsContent() const override { return true; }
  void drawRect(QPainter& painter, const QRectF& dirtyRect) override;
};
