#pragma once
#include <QImage>
#include <functional>

#include "platform/layers/Layer.h"

// Home's backdrop slideshow: two picture layers, centred and a little larger than the screen, that cross-fade over
// 2 s whenever a new picture is given, while the incoming one runs one of seven slow pan-and-zoom motions, picked at
// random. It has no timer of its own; its owner feeds it pictures.
class OXKenBurnsLayer : public ox::Layer {
 public:
  static constexpr quint64 kRandomCase = ~quint64(0);

  // init: constraint layout, the screen's frame, centred on its superlayer; then setupLayer.
  static std::shared_ptr<OXKenBurnsLayer> layer();

  void setupLayer();
  // Shows the picture (a null image leaves the incoming layer empty) on the layer that is not current,
  // cross-fades to it and starts a random motion on it.
  void nextWithImage(const QImage& image);
  // Starts the motion of case c (1..7; kRandomCase picks one) on the current picture layer.
  void kenburns(quint64 c);
  void applyIdentityTransformToLayer(const ox::LayerPtr& layer);
  void applyTransformCase3ToLayer(const ox::LayerPtr& layer);
  void applyTransformCase4ToLayer(const ox::LayerPtr& layer);
  using ox::Layer::setTransform;
  // One transaction of `time` seconds, ease-out, that moves the layer to the transform.
  void setTransform(const ox::Transform3D& transform, const ox::LayerPtr& layer, float time);

  ox::LayerPtr backdropHomeA() const { return backdropHomeA_; }
  ox::LayerPtr backdropHomeB() const { return backdropHomeB_; }
  bool backActiveA() const { return backActiveA_; }

  // The generator behind random cases; the C library's rand() (never seeded) unless replaced.
  void setRandomSource(std::function<int()> source) { random_ = std::move(source); }
  // The case a draw of `r` selects: 1 + (r mod 7) after r has passed through single precision.
  static int caseForRandomValue(int r);
  // The zoom panned by (tx, ty): the 1.17 scale with the translation applied before it.
  static ox::Transform3D zoomWithPan(double tx, double ty);
  // The pan distance d for the chosen screen.
  double panDistance() const;

 protected:
  OXKenBurnsLayer();

 private:
  std::shared_ptr<OXKenBurnsLayer> self();
  void performAfterDelay(void (OXKenBurnsLayer::*op)(const ox::LayerPtr&), const ox::LayerPtr& layer);

  ox::LayerPtr backdropHomeA_;
  ox::LayerPtr backdropHomeB_;
  bool backActiveA_ = false;
  std::function<int()> random_;
};
