#pragma once
#include <QMetaObject>
#include <memory>

#include "platform/media/VLCFrameSink.h"
#include "platform/ui/View.h"

namespace ox {

// Shows the picture of the player made on it: each newest frame of the view's sink becomes the contents of its
// layer, kept to the picture's shape in the middle of the view (black bars fill the rest). Main thread only.
class VLCVideoView : public View {
 public:
  static std::shared_ptr<VLCVideoView> initWithFrame(const QRectF& frame);
  ~VLCVideoView() override;

  // Where a player made on this view sends its pictures.
  const std::shared_ptr<VLCFrameSink>& frameSink() const { return sink_; }

 protected:
  explicit VLCVideoView(const QRectF& frame);
  LayerPtr makeBackingLayer() override;

 private:
  void showLatestFrame();

  std::shared_ptr<VLCFrameSink> sink_;
  QMetaObject::Connection arrivals_;
};

}  // namespace ox
