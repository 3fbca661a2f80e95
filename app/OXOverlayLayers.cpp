#include "app/OXOverlayLayers.h"

#include <QGuiApplication>
#include <QScreen>

#include "core/OXTools.h"
#include "platform/layers/LayoutManager.h"
#include "platform/ui/Images.h"

using namespace ox;

namespace OXOverlay {

namespace {

double mainScreenScale() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->devicePixelRatio() : 1.0;
}

}  // namespace

LayerPtr hostBaseLayer(View& view, double alpha) {
  LayerPtr base = Layer::layer();
  base->setBackgroundColor(QColor::fromRgbF(0, 0, 0, float(alpha)));
  base->setLayoutManager(ConstraintLayoutManager::layoutManager());
  view.setLayer(base);
  return base;
}

LayerPtr vignetteLayer(const QSizeF& size) {
  LayerPtr vignette = Layer::layer();
  vignette->setLayoutManager(ConstraintLayoutManager::layoutManager());
  vignette->setBounds(QRectF(QPointF(0, 0), size));
  vignette->setContents(imageNamed(QStringLiteral("PanelResumeVignette.png")));
  centreHorizontally(vignette);
  placeMiddle(vignette, 0);
  return vignette;
}

std::shared_ptr<TextLayer> textRow(const QString& text, double fontSize) {
  auto row = TextLayer::layer();
  row->setString(text);
  row->setFont(QString::fromLatin1(kFont));
  row->setFontSize(fontSize);
  row->setForegroundColor(Qt::white);
  row->setAlignmentMode(TextAlignment::Center);
  row->setContentsScale(mainScreenScale());
  row->setLayoutManager(ConstraintLayoutManager::layoutManager());
  return row;
}

void setRowChosen(const LayerPtr& row, bool chosen, double dimmedScale) {
  if (!row) return;
  row->setOpacity(chosen ? 1.0 : kDimmedOpacity);
  row->setTransform(chosen ? Transform3D::identity() : Transform3D::makeScale(dimmedScale, dimmedScale, dimmedScale));
}

void centreHorizontally(const LayerPtr& layer, const QString& source) {
  layer->addConstraint(Constraint(ConstraintAttribute::MidX, source, ConstraintAttribute::MidX));
}

void placeMiddle(const LayerPtr& layer, double offset, const QString& source) {
  layer->addConstraint(Constraint(ConstraintAttribute::MidY, source, ConstraintAttribute::MidY, 1.0, offset));
}

void fadeOutAndClose(const std::shared_ptr<Window>& window) {
  if (!window) return;
  window->animateAlphaValue(0.0);
  performBlockAfterDelay([window] { window->close(); }, 0.3);
}

}  // namespace OXOverlay
