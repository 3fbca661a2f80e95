#include "app/OXPanelResumeView.h"

#include "app/OXOverlayLayers.h"
#include "app/PanelResume.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/layers/Transaction.h"

using namespace ox;

OXPanelResumeView::OXPanelResumeView(const QRectF& frame) : View(frame) {}

void OXPanelResumeView::setupLayers() {
  const double H = bounds().height();
  LayerPtr root = OXOverlay::hostBaseLayer(*this, 0.7);
  root->addSublayer(OXOverlay::vignetteLayer(bounds().size()));
  // Fixed texts, as the question is always the same.
  firstRow_ = OXOverlay::textRow(QStringLiteral("Resume"), kFontSize * H);
  OXOverlay::centreHorizontally(firstRow_);
  OXOverlay::placeMiddle(firstRow_, 0.032 * H);
  OXOverlay::setRowChosen(firstRow_, true, kDimmedScale);
  root->addSublayer(firstRow_);
  secondRow_ = OXOverlay::textRow(QStringLiteral("Play"), kFontSize * H);
  OXOverlay::centreHorizontally(secondRow_);
  OXOverlay::placeMiddle(secondRow_, -0.045 * H);
  OXOverlay::setRowChosen(secondRow_, false, kDimmedScale);
  root->addSublayer(secondRow_);
  selectItem_ = 0;
}

void OXPanelResumeView::selectItem(quint64 index) {
  selectItem_ = index != 0 ? 1 : 0;
  if (!firstRow_) return;
  Transaction::begin();
  Transaction::setAnimationDuration(0.15);
  OXOverlay::setRowChosen(firstRow_, selectItem_ == 0, dimmedScale());
  OXOverlay::setRowChosen(secondRow_, selectItem_ == 1, dimmedScale());
  Transaction::commit();
  layer()->setNeedsLayout();
}

void OXPanelResumeView::moveUp() {
  if (selectItem_ == 0) return;
  selectItem(selectItem_ - 1);
}

void OXPanelResumeView::moveDown() {
  if (selectItem_ == 1) return;
  selectItem(selectItem_ + 1);
}

void OXPanelResumeView::postAnswer(qint64 index) {
  NotificationCenter::defaultCenter().post(QString::fromLatin1(closePanelResumeNotification), nullptr,
                                           {{QString::fromLatin1(closePanelResumeIndexKey), index}});
}

// The opener starts playback from inside the post, before the panel fades.
void OXPanelResumeView::keyPlay() {
  postAnswer(qint64(selectItem_));
  OXOverlay::fadeOutAndClose(window());
}

void OXPanelResumeView::keyMenu() { OXOverlay::fadeOutAndClose(window()); }

void OXPanelResumeView::keyDown(const KeyEvent& event) { OXSendRemoteCommand(*this, OXRemoteCommandForKey(event)); }
