#include "app/HomeSectionListView.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "core/OXPreferencesValues.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"
#include "playback/NSCursor_Hide.h"

using ox::Constraint;
using ox::ConstraintAttribute;
using ox::LayerPtr;
using ox::Transform3D;

namespace {

const char* const kTitleKey = "__sectionTitleLayer";
const char* const kSelectedKey = "selectedItem";

void setHighlighted(const LayerPtr& title, bool on) {
  if (!title) return;
  title->setOpacity(on ? 1.0 : HomeSectionListView::kDimmedOpacity);
  const double s = HomeSectionListView::kDimmedScale;
  title->setTransform(on ? Transform3D::identity() : Transform3D::makeScale(s, s, s));
}

}  // namespace

HomeSectionListView::HomeSectionListView(const QRectF& frame) : ox::View(frame) {}

double HomeSectionListView::backingScaleFactor() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->devicePixelRatio() : 1.0;
}

void HomeSectionListView::initListWithSections(const QStringList& titles) {
  NSCursor_Hide::hideCursor();
  frameViewList_ = frame().height();
  widthList_ = frame().width();
  heightRow_ = frame().height() / 11;
  itemList_ = titles;
  selectedRow_ = 0;
  LayerPtr root = ox::Layer::layer();
  root->setName("root");
  root->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  root->setZPosition(100);
  root->setOpacity(0);
  setLayer(root);
  root->addSublayer(scrollLayer());
  scrollLayer_->setValue(kSelectedKey, qint64(0));
  selectedRow_ = 0;
  setHighlighted(titleLayerAt(0), true);
}

LayerPtr HomeSectionListView::scrollLayer() {
  LayerPtr scroll = ox::Layer::layer();
  scroll->setName("scroll");
  scroll->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  for (auto a : {ConstraintAttribute::MinX, ConstraintAttribute::MaxX, ConstraintAttribute::MinY,
                 ConstraintAttribute::MaxY})
    scroll->addConstraint(Constraint(a, "superlayer", a));
  menuLayer_ = menuLayer();
  scroll->addSublayer(menuLayer_);
  itemNumber_ = quint64(menuLayer_->sublayers().size());
  scrollLayer_ = scroll;
  return scroll;
}

LayerPtr HomeSectionListView::menuLayer() {
  LayerPtr menu = ox::Layer::layer();
  menu->setName("menu");
  menu->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  menu->addConstraint(Constraint(ConstraintAttribute::Width, "superlayer", ConstraintAttribute::Width));
  menu->addConstraint(Constraint(ConstraintAttribute::MidX, "superlayer", ConstraintAttribute::MidX));
  menu->addConstraint(
      Constraint(ConstraintAttribute::MaxY, "superlayer", ConstraintAttribute::MaxY, 1.0, -0.2 * frame().height()));
  double height = 0;
  for (const LayerPtr& row : menuItemsFromNames(itemList_)) {
    height += row->preferredFrameSize().height();
    menu->addSublayer(row);
  }
  menu->setBounds(QRectF(0, 0, menu->bounds().width(), double(float(height))));
  return menu;
}

std::vector<LayerPtr> HomeSectionListView::menuItemsFromNames(const QStringList& names) {
  std::vector<LayerPtr> rows;
  for (qsizetype i = 0; i < names.size(); ++i) rows.push_back(menuItem(names[i], i));
  return rows;
}

LayerPtr HomeSectionListView::menuItem(const QString& name, qsizetype i) {
  const QRectF screen = OXPreferencesValues::sharePreferences()->mainScreenFrame();
  const double fontSize = std::ceil(float(screen.height() / 14.4));
  LayerPtr row = ox::Layer::layer();
  row->setName(QString::number(i));
  row->setBounds(QRectF(0, 0, widthList_, heightRow_));
  row->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  row->addConstraint(Constraint(ConstraintAttribute::MidX, "superlayer", ConstraintAttribute::MidX));
  row->addConstraint(Constraint(ConstraintAttribute::Width, "superlayer", ConstraintAttribute::Width));
  if (i == 0)
    row->addConstraint(Constraint(ConstraintAttribute::MaxY, "superlayer", ConstraintAttribute::MaxY));
  else
    row->addConstraint(Constraint(ConstraintAttribute::MaxY, QString::number(i - 1), ConstraintAttribute::MinY));

  auto title = ox::TextLayer::layer();
  title->setString(name);
  title->setForegroundColor(QColor(255, 255, 255));
  title->setFont("oxfont-Regular");
  title->setFontSize(fontSize);
  title->setAlignmentMode(ox::TextAlignment::Left);
  title->setShadowColor(Qt::black);
  title->setShadowRadius(2);
  title->setShadowOpacity(0.8);
  title->setShadowOffset(QSizeF(0, 0));
  title->addConstraint(Constraint(ConstraintAttribute::MinX, "superlayer", ConstraintAttribute::MinX, 1.0, 50));
  title->addConstraint(
      Constraint(ConstraintAttribute::MidY, "superlayer", ConstraintAttribute::MidY, 1.0, 0.03 * heightRow_));
  title->addConstraint(Constraint(ConstraintAttribute::Width, "superlayer", ConstraintAttribute::Width));
  title->setAnchorPoint(QPointF(0, 0.5));
  title->setContentsScale(backingScaleFactor());
  setHighlighted(title, false);
  row->setValue(kTitleKey, QVariant::fromValue(LayerPtr(title)));
  row->addSublayer(title);
  return row;
}

void HomeSectionListView::addSection(const QString& title) {
  if (!menuLayer_) return;
  const LayerPtr row = menuItem(title, itemList_.size());
  itemList_ << title;
  QRectF bounds = menuLayer_->bounds();
  bounds.setHeight(double(float(bounds.height() + row->preferredFrameSize().height())));
  menuLayer_->addSublayer(row);
  menuLayer_->setBounds(bounds);
  menuLayer_->setNeedsLayout();
  itemNumber_ = quint64(menuLayer_->sublayers().size());
}

std::shared_ptr<ox::TextLayer> HomeSectionListView::titleLayerAt(quint64 row) const {
  if (!menuLayer_ || row >= quint64(menuLayer_->sublayers().size())) return nullptr;
  return std::dynamic_pointer_cast<ox::TextLayer>(menuLayer_->sublayers()[std::size_t(row)]->layerValue(kTitleKey));
}

void HomeSectionListView::selectItemAt(quint64 row) {
  if (!scrollLayer_ || row >= itemNumber_) return;
  const quint64 previous = quint64(scrollLayer_->value(kSelectedKey).toLongLong());
  const auto before = titleLayerAt(previous);
  const auto after = titleLayerAt(row);
  scrollLayer_->setValue(kSelectedKey, qint64(row));
  selectedRow_ = row;
  ox::Transaction::begin();
  ox::Transaction::setAnimationDuration(0.15);
  setHighlighted(before, false);
  setHighlighted(after, true);
  ox::Transaction::commit();
}

bool HomeSectionListView::selectNext() {
  if (itemNumber_ == 0 || selectedRow_ >= itemNumber_ - 1) return false;
  selectItemAt(selectedRow_ + 1);
  return true;
}

bool HomeSectionListView::selectPrevious() {
  if (selectedRow_ == 0) return false;
  selectItemAt(selectedRow_ - 1);
  return true;
}

qint32 HomeSectionListView::sectionSelected() const {
  static const QList<QPair<QString, qint32>> kCodes = {{"Movies Streamers", 5}, {"Shows Streamers", 6},
                                                        {"Trailers", 7},         {"Movies", 1},
                                                        {"Shows", 2},            {"Update Available", 4}};
  if (selectedRow_ >= quint64(itemList_.size())) return -1;
  const QString highlighted = itemList_[qsizetype(selectedRow_)];
  for (const QString& title : itemList_) {
    if (!highlighted.contains(title)) continue;
    for (const auto& [known, code] : kCodes)
      if (title == known) return code;
  }
  return -1;
}
