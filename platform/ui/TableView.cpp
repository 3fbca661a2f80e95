#include "platform/ui/TableView.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace ox {

namespace {

const char* const kRowProperty = "ox_tableRow";

// The rows' widgets draw everything; the items under them draw nothing (no hover or focus marks).
class BlankDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter*, const QStyleOptionViewItem&, const QModelIndex&) const override {}
};

void fadeIn(QWidget* view) {
  auto* effect = new QGraphicsOpacityEffect(view);
  effect->setOpacity(0);
  view->setGraphicsEffect(effect);
  auto* fade = new QPropertyAnimation(effect, "opacity", view);
  fade->setDuration(TableView::kFadeMs);
  fade->setEndValue(1.0);
  // Without the effect the row draws sharp again.
  QObject::connect(fade, &QPropertyAnimation::finished, view, [view, effect] {
    if (view->graphicsEffect() == effect) view->setGraphicsEffect(nullptr);
  });
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace

TableView::TableView(QWidget* parent) : QListView(parent) {
  setItemDelegate(new BlankDelegate(this));
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameShape(QFrame::NoFrame);
  setUniformItemSizes(false);
  verticalScrollBar()->setSingleStep(20);
}

QWidget* TableView::viewAtRow(int row) const {
  if (!model() || row < 0 || row >= model()->rowCount(rootIndex())) return nullptr;
  return indexWidget(model()->index(row, 0, rootIndex()));
}

int TableView::rowForView(const QWidget* view) const {
  for (const QWidget* w = view; w; w = w->parentWidget()) {
    if (w->parentWidget() != viewport()) continue;
    const QPersistentModelIndex index = w->property(kRowProperty).value<QPersistentModelIndex>();
    return index.isValid() && indexWidget(index) == w ? index.row() : -1;
  }
  return -1;
}

int TableView::rowAtPoint(const QPoint& point) const {
  const QModelIndex index = indexAt(point);
  return index.isValid() ? index.row() : -1;
}

std::pair<int, int> TableView::visibleRows() const {
  const int count = model() ? model()->rowCount(rootIndex()) : 0;
  if (count == 0) return {-1, -1};
  const QModelIndex top = indexAt(QPoint(0, 0));
  const int first = top.isValid() ? top.row() : 0;
  int last = first;
  const int height = viewport()->height();
  while (last + 1 < count && visualRect(model()->index(last + 1, 0, rootIndex())).top() < height) ++last;
  return {first, last};
}

void TableView::makeVisibleRowViews() {
  if (making_ || !viewForRow_ || !model()) return;
  making_ = true;
  const auto [first, last] = visibleRows();
  for (int row = first; row >= 0 && row <= last; ++row) {
    const QModelIndex index = model()->index(row, 0, rootIndex());
    if (indexWidget(index)) continue;
    QWidget* view = viewForRow_(row);
    if (!view) continue;
    view->setProperty(kRowProperty, QVariant::fromValue(QPersistentModelIndex(index)));
    setIndexWidget(index, view);
    if (fading_.remove(QPersistentModelIndex(index))) fadeIn(view);
  }
  fading_.removeIf([](const QPersistentModelIndex& index) { return !index.isValid(); });
  making_ = false;
}

void TableView::updateGeometries() {
  QListView::updateGeometries();
  makeVisibleRowViews();
  emit boundsChanged();
}

void TableView::scrollContentsBy(int dx, int dy) {
  QListView::scrollContentsBy(dx, dy);
  makeVisibleRowViews();
  emit boundsChanged();
}

void TableView::rowsInserted(const QModelIndex& parent, int start, int end) {
  QListView::rowsInserted(parent, start, end);
  if (!isVisible() || !model()) return;
  for (int row = start; row <= end; ++row) fading_.insert(QPersistentModelIndex(model()->index(row, 0, parent)));
}

}  // namespace ox
