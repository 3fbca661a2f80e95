#include "playback/OXEpisodeLayoutManager.h"

#include "platform/layers/Layer.h"
#include "platform/layers/Transaction.h"

using ox::Transaction;
using ox::Transform3D;

std::shared_ptr<OXEpisodeLayoutManager> OXEpisodeLayoutManager::layoutManager() {
  return std::make_shared<OXEpisodeLayoutManager>();
}

void OXEpisodeLayoutManager::layoutSublayersOfLayer(ox::Layer* layer) {
  Transaction::begin();
  Transaction::setAnimationDuration(0.2);
  Transaction::setAnimationTimingFunction(ox::TimingFunction::easeOut());
  if (!layer || layer->sublayers().empty()) {
    Transaction::commit();
    return;
  }
  const double s = double(layer->value("selectedIndex").toFloat());
  const QRectF frame = layer->frame();
  const double c = 0.5 * frame.width(), y = 0.3 * frame.height();
  for (std::size_t i = 0; i < layer->sublayers().size(); ++i) {
    const ox::LayerPtr thumb = layer->sublayers()[i];
    const double di = double(i);
    double x = c;
    if (s > di || di > s) {
      thumb->setTransform(Transform3D::makeScale(0.85, 0.85, 0.85));
      const double w = thumb->frame().width();
      x = s > di ? c - 1.16 * w - (s - di - 1) * 1.08 * w : c + 1.16 * w + (di - s - 1) * 1.08 * w;
    } else {
      thumb->setTransform(Transform3D::identity());
    }
    thumb->setPosition(QPointF(x, y));
  }
  Transaction::commit();
}
