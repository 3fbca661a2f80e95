#include "app/OXSimpleAlertView.h"

#include "app/OXOverlayLayers.h"
#include "core/OXPreferencesValues.h"
#include "platform/ui/Window.h"

using namespace ox;

OXSimpleAlertView::OXSimpleAlertView(const QRectF& frame, const QStringList& textArray)
    : View(frame), textArray_(textArray) {}

std::shared_ptr<OXSimpleAlertView> OXSimpleAlertView::initWithText(const QStringList& textArray) {
  return std::shared_ptr<OXSimpleAlertView>(
      new OXSimpleAlertView(OXPreferencesValues::sharePreferences()->mainScreenFrame(), textArray));
}

void OXSimpleAlertView::setupLayers() {
  const double H = bounds().height();
  LayerPtr root = OXOverlay::hostBaseLayer(*this, 0.7);
  root->addSublayer(OXOverlay::vignetteLayer(bounds().size()));
  const qsizetype n = textArray_.size();
  const qsizetype m = n / 2;
  // The middle line is placed on the centre and every other one from its neighbour towards the middle.
  for (qsizetype i = 0; i < n; ++i) {
    auto line = OXOverlay::textRow(textArray_[i], kFontSize * H);
    line->setName(QString::number(i));
    OXOverlay::centreHorizontally(line);
    if (i < m)
      OXOverlay::placeMiddle(line, kPitch * H, QString::number(i + 1));
    else if (i > m)
      OXOverlay::placeMiddle(line, -kPitch * H, QString::number(i - 1));
    else
      OXOverlay::placeMiddle(line, n % 2 ? 0.0 : -kPitch / 2 * H);
    root->addSublayer(line);
  }
}

// The window's own close fades once more: the window is gone 0.6 s after the key.
void OXSimpleAlertView::keyMenu() { OXOverlay::fadeOutAndClose(window()); }

void OXSimpleAlertView::keyDown(const KeyEvent& event) { OXSendRemoteCommand(*this, OXRemoteCommandForKey(event)); }
