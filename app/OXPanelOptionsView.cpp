#include "app/OXPanelOptionsView.h"

#include "app/OXOverlayLayers.h"
#include "core/OXPreferencesValues.h"
#include "platform/layers/LayoutManager.h"

using namespace ox;

OXPanelOptionsView::OXPanelOptionsView(const QString& title, const QString& optionA, const QString& optionB)
    : OXPanelResumeView(OXPreferencesValues::sharePreferences()->mainScreenFrame()),
      title_(title),
      optionA_(optionA),
      optionB_(optionB) {}

void OXPanelOptionsView::setupLayers() {
  const double H = bounds().height();
  LayerPtr root = OXOverlay::hostBaseLayer(*this, 0.3);
  root->addSublayer(OXOverlay::vignetteLayer(bounds().size()));
  firstRow_ = OXOverlay::textRow(optionA_, kFontSize * H);
  firstRow_->setName(QStringLiteral("row_0"));
  OXOverlay::centreHorizontally(firstRow_);
  OXOverlay::placeMiddle(firstRow_, 0.0345 * H);
  OXOverlay::setRowChosen(firstRow_, true, kDimmedScale);
  root->addSublayer(firstRow_);
  secondRow_ = OXOverlay::textRow(optionB_, kFontSize * H);
  OXOverlay::centreHorizontally(secondRow_);
  OXOverlay::placeMiddle(secondRow_, -0.055 * H);
  OXOverlay::setRowChosen(secondRow_, false, kDimmedScale);
  root->addSublayer(secondRow_);
  titleText_ = OXOverlay::textRow(title_, kFontSize * H);
  titleText_->setTransform(Transform3D::makeScale(kTitleScale, kTitleScale, kTitleScale));
  OXOverlay::centreHorizontally(titleText_, QStringLiteral("row_0"));
  titleText_->addConstraint(
      Constraint(ConstraintAttribute::MinY, QStringLiteral("row_0"), ConstraintAttribute::MaxY, 1.0, 0.038 * H));
  root->addSublayer(titleText_);
  selectItem_ = 0;
}

// The window is gone before the observers hear the answer.
void OXPanelOptionsView::keyPlay() {
  if (auto w = window()) w->close();
  postAnswer(qint64(selectItem_));
}

void OXPanelOptionsView::keyMenu() {
  if (auto w = window()) w->close();
  postAnswer(-1);
}
