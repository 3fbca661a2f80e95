#include "platform/media/VLCVideoView.h"

#include "platform/layers/Transaction.h"

namespace ox {

std::shared_ptr<VLCVideoView> VLCVideoView::initWithFrame(const QRectF& frame) {
  return std::shared_ptr<VLCVideoView>(new VLCVideoView(frame));
}

VLCVideoView::VLCVideoView(const QRectF& frame) : View(frame), sink_(std::make_shared<VLCFrameSink>()) {
  // The sink may outlive the view (a player still holds it); the connection goes with the view.
  arrivals_ = QObject::connect(sink_.get(), &VLCFrameSink::frameArrived, sink_.get(), [this] { showLatestFrame(); });
}

VLCVideoView::~VLCVideoView() { QObject::disconnect(arrivals_); }

LayerPtr VLCVideoView::makeBackingLayer() {
  LayerPtr l = Layer::layer();
  Transaction::begin();
  Transaction::setDisableActions(true);
  l->setBackgroundColor(Qt::black);
  l->setContentsGravity(Gravity::ResizeAspect);
  l->setMasksToBounds(true);
  l->setName(QStringLiteral("video"));
  l->setContents(sink_->latestFrame());
  Transaction::commit();
  return l;
}

void VLCVideoView::showLatestFrame() {
  const QImage frame = sink_->latestFrame();
  if (frame.isNull()) return;
  Transaction::begin();
  Transaction::setDisableActions(true);
  layer()->setContents(frame);
  Transaction::commit();
}

}  // namespace ox
