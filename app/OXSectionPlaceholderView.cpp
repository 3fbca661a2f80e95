#include "app/OXSectionPlaceholderView.h"

#include <cmath>

#include "platform/layers/LayoutManager.h"

using ox::Constraint;
using ox::ConstraintAttribute;

OXSectionPlaceholderView::OXSectionPlaceholderView(const QRectF& frame, const QString& title, qint32 returnCode)
    : OXSectionView(frame), title_(title), returnCode_(returnCode) {}

void OXSectionPlaceholderView::setupLayers() {
  const ox::LayerPtr root = layer();
  root->setBackgroundColor(Qt::black);
  root->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  titleLayer_ = ox::TextLayer::layer();
  titleLayer_->setName("title");
  titleLayer_->setString(title_);
  titleLayer_->setFont("oxfont-Regular");
  titleLayer_->setFontSize(std::ceil(float(frame().height() / 14.4)));
  titleLayer_->setForegroundColor(QColor(255, 255, 255, 128));
  titleLayer_->addConstraint(Constraint(ConstraintAttribute::MidX, "superlayer", ConstraintAttribute::MidX));
  titleLayer_->addConstraint(Constraint(ConstraintAttribute::MidY, "superlayer", ConstraintAttribute::MidY));
  root->addSublayer(titleLayer_);
}

void OXSectionPlaceholderView::keyMenu() {
  if (auto d = delegate()) d->openHome(returnCode_);
}
