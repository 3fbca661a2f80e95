#include "app/OXFullScreenOptionsView.h"

#include "app/OXOverlayLayers.h"
#include "core/OXPreferencesValues.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/Window.h"

using namespace ox;

OXFullScreenOptionsView::OXFullScreenOptionsView(const QRectF& frame, const QString& title,
                                                 const QStringList& buttonsText)
    : View(frame), title_(title) {
  // A tag is the entry's own position, so entries with equal texts stay apart.
  for (qsizetype i = 0; i < buttonsText.size(); ++i) buttons_.push_back(std::make_shared<Button>(buttonsText[i], i));
}

std::shared_ptr<OXFullScreenOptionsView> OXFullScreenOptionsView::initWithTitle(const QString& title,
                                                                                const QStringList& buttonsText) {
  return std::shared_ptr<OXFullScreenOptionsView>(new OXFullScreenOptionsView(
      OXPreferencesValues::sharePreferences()->mainScreenFrame(), title, buttonsText));
}

void OXFullScreenOptionsView::setFirstSelected(quint64 index) {
  if (index < buttons_.size()) firstSelected_ = index;
}

void OXFullScreenOptionsView::setupLayers() {
  const double W = bounds().width(), H = bounds().height();
  const auto n = buttons_.size();
  LayerPtr root = OXOverlay::hostBaseLayer(*this, 0.7);
  root->addSublayer(OXOverlay::vignetteLayer(bounds().size()));

  buttonBase_ = Layer::layer();
  buttonBase_->setLayoutManager(ConstraintLayoutManager::layoutManager());
  OXOverlay::centreHorizontally(buttonBase_);
  if (hasTitle()) {
    titleText_ = OXOverlay::textRow(title_, kFontSize * H);
    titleText_->setName(QStringLiteral("titleText"));
    titleText_->setTransform(Transform3D::makeScale(kTitleScale, kTitleScale, kTitleScale));
    OXOverlay::centreHorizontally(titleText_);
    OXOverlay::placeMiddle(titleText_, double(n) * 0.078 * H);
    root->addSublayer(titleText_);
    buttonBase_->setFrame(QRectF(0, 0, W, double(n) * 0.12 * H));
    buttonBase_->addConstraint(
        Constraint(ConstraintAttribute::MaxY, QStringLiteral("titleText"), ConstraintAttribute::MinY));
  } else {
    buttonBase_->setFrame(QRectF(0, 0, W, H));
    OXOverlay::placeMiddle(buttonBase_, 0);
  }
  root->addSublayer(buttonBase_);

  // With a title the rows hang from the base's top; without, the column is centred on the view. The highlighted row
  // is the first selection in both (a titled list dims no row until the first move).
  for (std::size_t i = 0; i < n; ++i) {
    auto row = OXOverlay::textRow(buttons_[i]->title(), kFontSize * H);
    row->setName(QString::number(i));
    OXOverlay::centreHorizontally(row);
    if (hasTitle()) {
      if (i == 0)
        row->addConstraint(Constraint(ConstraintAttribute::MaxY, QStringLiteral("superlayer"),
                                      ConstraintAttribute::MaxY, 1.0, -0.048 * H));
      else
        row->addConstraint(Constraint(ConstraintAttribute::MaxY, QString::number(i - 1), ConstraintAttribute::MaxY,
                                      1.0, -kPitch * H));
    } else {
      OXOverlay::placeMiddle(row, ((double(n) - 1) / 2 - double(i)) * kPitch * H);
    }
    const bool chosen = i == firstSelected_;
    OXOverlay::setRowChosen(row, chosen, kDimmedScale);
    if (hasTitle()) row->setOpacity(1.0);
    buttonBase_->addSublayer(row);
  }
  selectItem_ = firstSelected_;
}

void OXFullScreenOptionsView::selectItem(quint64 index) {
  if (!buttonBase_ || index >= buttons_.size()) return;
  Transaction::begin();
  Transaction::setAnimationDuration(0.15);
  const auto& rows = buttonBase_->sublayers();
  for (std::size_t i = 0; i < buttons_.size() && i < rows.size(); ++i) {
    if (i == index) selectItem_ = index;
    OXOverlay::setRowChosen(rows[i], i == index, kDimmedScale);
  }
  Transaction::commit();
  layer()->setNeedsLayout();
}

void OXFullScreenOptionsView::moveUp() {
  if (selectItem_ == 0) return;
  selectItem(selectItem_ - 1);
}

void OXFullScreenOptionsView::moveDown() {
  if (selectItem_ + 1 >= buttons_.size()) return;
  selectItem(selectItem_ + 1);
}

void OXFullScreenOptionsView::keyPlay() {
  if (selectItem_ < buttons_.size()) {
    const ButtonPtr chosen = buttons_[selectItem_];  // kept while its action runs
    chosen->sendAction();
  }
  if (auto w = window()) w->close();
}

// The window's own close fades once more: the window is gone 0.6 s after the key.
void OXFullScreenOptionsView::keyMenu() { OXOverlay::fadeOutAndClose(window()); }

void OXFullScreenOptionsView::keyDown(const KeyEvent& event) {
  OXSendRemoteCommand(*this, OXRemoteCommandForKey(event));
}
