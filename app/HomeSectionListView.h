#pragma once
#include <QStringList>
#include <vector>

#include "platform/layers/TextLayer.h"
#include "platform/ui/View.h"

// Home's column of section titles on the left half of the screen. The highlighted title is at full size and
// opacity, every other one smaller (towards its left end) and half transparent; moving the highlight animates both
// in 0.15 s. Home drives it; the list itself takes no input.
class HomeSectionListView : public ox::View {
 public:
  explicit HomeSectionListView(const QRectF& frame);

  // Builds the list; sent once, right after construction.
  void initListWithSections(const QStringList& titles);
  // One more title at the end of the list built, dimmed; the highlight stays where it is.
  void addSection(const QString& title);

  bool acceptsFirstResponder() const override { return false; }

  // Builders of the layer tree, as initListWithSections uses them.
  ox::LayerPtr scrollLayer();
  ox::LayerPtr menuLayer();
  std::vector<ox::LayerPtr> menuItemsFromNames(const QStringList& names);
  // The row of one title, under the row before it.
  ox::LayerPtr menuItem(const QString& name, qsizetype index);

  // Rows between 0 and itemNumber() - 1.
  void selectItemAt(quint64 row);
  // False, changing nothing, at the last (first) row.
  bool selectNext();
  bool selectPrevious();
  // The code of the highlighted title's section: 1 Movies, 2 Shows, 4 Update Available, 5 Movies Streamers,
  // 6 Shows Streamers, 7 Trailers; -1 when no title decides.
  qint32 sectionSelected() const;
  quint64 selectedRow() const { return selectedRow_; }

  quint64 itemNumber() const { return itemNumber_; }
  double heightRow() const { return heightRow_; }
  QStringList itemList() const { return itemList_; }
  ox::LayerPtr menu() const { return menuLayer_; }
  ox::LayerPtr scroll() const { return scrollLayer_; }
  // The title layer of a row; empty for a row that does not exist.
  std::shared_ptr<ox::TextLayer> titleLayerAt(quint64 row) const;

  // The main screen's pixels per point, at which the titles (and Home's clock) are drawn.
  static double backingScaleFactor();

  static constexpr double kDimmedOpacity = 0.5;
  static constexpr double kDimmedScale = 0.7335;

 private:
  double frameViewList_ = 0;
  double widthList_ = 0;
  double heightRow_ = 0;
  QStringList itemList_;
  quint64 selectedRow_ = 0;
  ox::LayerPtr menuLayer_;
  ox::LayerPtr scrollLayer_;
  quint64 itemNumber_ = 0;
};
