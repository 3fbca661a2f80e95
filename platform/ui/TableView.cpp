#include "platform/ui/TableView.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <algorithm>

namespace ox {

namespace {

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

TableView::TableView(QWidget* parent) : QAbstractItemView(parent) {
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameShape(QFrame::NoFrame);
  verticalScrollBar()->setSingleStep(kScrollStep);
  tops_.assign(1, 0);
}

TableView::~TableView() = default;

// ---------------------------------------------------------------------------------------------------------------
// Row geometry: each row's height, asked once, and the offsets of the rows' tops, summed again only from the first
// row that changed, so a row inserted into a long table costs next to nothing.

int TableView::rowCountNow() const { return int(heights_.size()); }

int TableView::rowHeight(int row) const {
  const QModelIndex index = model()->index(row, 0, rootIndex());
  const QVariant hint = index.data(Qt::SizeHintRole);
  if (hint.isValid()) return std::max(0, hint.toSize().height());
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  QAbstractItemDelegate* delegate = itemDelegateForIndex(index);
  return delegate ? std::max(0, delegate->sizeHint(option, index).height()) : 0;
}

void TableView::measureAllRows() {
  const int count = model() ? model()->rowCount(rootIndex()) : 0;
  heights_.resize(size_t(count));
  for (int row = 0; row < count; ++row) heights_[size_t(row)] = rowHeight(row);
  topsValid_ = 0;
}

void TableView::updateTops() const {
  const int count = rowCountNow();
  if (int(tops_.size()) != count + 1) tops_.resize(size_t(count) + 1);
  tops_[0] = 0;
  for (int row = std::min(topsValid_, count); row < count; ++row)
    tops_[size_t(row) + 1] = tops_[size_t(row)] + heights_[size_t(row)];
  topsValid_ = count;
}

int TableView::contentHeight() const {
  updateTops();
  return tops_.back();
}

int TableView::rowAtY(int y) const {
  updateTops();
  const int count = rowCountNow();
  if (count == 0 || y < 0 || y >= tops_.back()) return -1;
  const auto at = std::upper_bound(tops_.begin(), tops_.begin() + count + 1, y);
  return int(at - tops_.begin()) - 1;
}

QRect TableView::rowRect(int row) const {
  if (row < 0 || row >= rowCountNow()) return {};
  updateTops();
  return QRect(0, tops_[size_t(row)] - verticalOffset(), viewport()->width(), heights_[size_t(row)]);
}

int TableView::verticalOffset() const { return verticalScrollBar()->value(); }

QRect TableView::visualRect(const QModelIndex& index) const {
  if (!index.isValid() || index.parent() != rootIndex()) return {};
  return rowRect(index.row());
}

QModelIndex TableView::indexAt(const QPoint& point) const {
  const int row = rowAtPoint(point);
  return row < 0 ? QModelIndex() : model()->index(row, 0, rootIndex());
}

int TableView::rowAtPoint(const QPoint& point) const {
  if (!model() || point.x() < 0 || point.x() >= viewport()->width()) return -1;
  return rowAtY(point.y() + verticalOffset());
}

std::pair<int, int> TableView::visibleRows() const {
  const int count = rowCountNow();
  if (count == 0) return {-1, -1};
  const int top = verticalOffset();
  int first = rowAtY(top);
  if (first < 0) first = top <= 0 ? 0 : count - 1;
  if (viewport()->height() <= 0) return {first, first};
  const int last = rowAtY(top + viewport()->height() - 1);
  return {first, last < 0 ? count - 1 : last};
}

void TableView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  const QRect rect = visualRect(index);
  if (rect.isNull()) return;
  const int height = viewport()->height();
  const int top = rect.top() + verticalOffset();
  QScrollBar* bar = verticalScrollBar();
  switch (hint) {
    case PositionAtTop:
      bar->setValue(top);
      break;
    case PositionAtBottom:
      bar->setValue(top + rect.height() - height);
      break;
    case PositionAtCenter:
      bar->setValue(top + rect.height() / 2 - height / 2);
      break;
    case EnsureVisible:
      if (rect.top() < 0)
        bar->setValue(top);
      else if (rect.bottom() >= height)
        bar->setValue(std::min(top, top + rect.height() - height));
      break;
  }
}

QModelIndex TableView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
  const int count = rowCountNow();
  if (count == 0) return {};
  const QModelIndex current = currentIndex();
  int row = current.isValid() ? current.row() : -1;
  const int page = std::max(1, viewport()->height());
  switch (action) {
    case MoveUp:
    case MovePrevious:
      row = row < 0 ? 0 : row - 1;
      break;
    case MoveDown:
    case MoveNext:
      row += 1;
      break;
    case MoveHome:
      row = 0;
      break;
    case MoveEnd:
      row = count - 1;
      break;
    case MovePageUp:
      row = row < 0 ? 0 : rowAtY(std::max(0, rowRect(row).top() + verticalOffset() - page));
      break;
    case MovePageDown: {
      const int below = row < 0 ? 0 : rowAtY(rowRect(row).top() + verticalOffset() + page);
      row = below < 0 ? count - 1 : below;
      break;
    }
    default:
      return current;
  }
  return model()->index(std::clamp(row, 0, count - 1), 0, rootIndex());
}

void TableView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
  if (!model() || !selectionModel()) return;
  const QRect area = rect.normalized();
  const int count = rowCountNow();
  int first = rowAtY(std::max(0, area.top() + verticalOffset()));
  int last = rowAtY(area.bottom() + verticalOffset());
  if (first < 0) {
    selectionModel()->select(QItemSelection(), command);
    return;
  }
  if (last < 0) last = count - 1;
  selectionModel()->select(
      QItemSelection(model()->index(first, 0, rootIndex()), model()->index(last, 0, rootIndex())), command);
}

QRegion TableView::visualRegionForSelection(const QItemSelection& selection) const {
  QRegion region;
  for (const QItemSelectionRange& range : selection) {
    if (range.parent() != rootIndex()) continue;
    const QRect top = rowRect(range.top());
    const QRect bottom = rowRect(std::min(range.bottom(), rowCountNow() - 1));
    if (top.isNull() || bottom.isNull()) continue;
    region += QRect(top.topLeft(), bottom.bottomRight()).intersected(viewport()->rect());
  }
  return region;
}

// ---------------------------------------------------------------------------------------------------------------
// Model changes

void TableView::setModel(QAbstractItemModel* newModel) {
  if (model()) model()->disconnect(this);
  releaseAllViews();
  QAbstractItemView::setModel(newModel);
  if (newModel) {
    // Rows that move or sort anew are measured again.
    const auto remeasure = [this] {
      releaseAllViews();
      measureAllRows();
      scheduleLayout();
    };
    connect(newModel, &QAbstractItemModel::layoutChanged, this, remeasure);
    connect(newModel, &QAbstractItemModel::rowsMoved, this, remeasure);
  }
  measureAllRows();
}

void TableView::reset() {
  QAbstractItemView::reset();
  releaseAllViews();
  fading_.clear();
  measureAllRows();
  scheduleLayout();
}

void TableView::doItemsLayout() {
  if (model() && model()->rowCount(rootIndex()) != rowCountNow()) measureAllRows();
  QAbstractItemView::doItemsLayout();
}

void TableView::rowsInserted(const QModelIndex& parent, int start, int end) {
  QAbstractItemView::rowsInserted(parent, start, end);
  if (parent != rootIndex() || start < 0 || end < start) return;
  std::vector<int> added;
  added.reserve(size_t(end - start) + 1);
  for (int row = start; row <= end; ++row) added.push_back(rowHeight(row));
  start = std::min(start, rowCountNow());
  heights_.insert(heights_.begin() + start, added.begin(), added.end());
  topsValid_ = std::min(topsValid_, start);
  if (isVisible()) {
    const auto [first, last] = visibleRows();
    for (int row = std::max(start, first); row <= end && row <= last; ++row)
      fading_.insert(QPersistentModelIndex(model()->index(row, 0, rootIndex())));
  }
  scheduleLayout();
}

void TableView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
  if (parent == rootIndex() && start >= 0 && start < rowCountNow()) {
    const int last = std::min(end, rowCountNow() - 1);
    for (qsizetype i = rowViews_.size() - 1; i >= 0; --i) {
      const int row = rowViews_[i].index.row();
      if (row < start || row > last) continue;
      releaseView(rowViews_[i].view);
      rowViews_.removeAt(i);
    }
    heights_.erase(heights_.begin() + start, heights_.begin() + last + 1);
    topsValid_ = std::min(topsValid_, start);
    scheduleLayout();
  }
  QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
}

void TableView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
  QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
  if (!topLeft.isValid() || topLeft.parent() != rootIndex()) return;
  if (!roles.isEmpty() && !roles.contains(Qt::SizeHintRole)) return;
  const int last = std::min(bottomRight.row(), rowCountNow() - 1);
  for (int row = topLeft.row(); row <= last; ++row) heights_[size_t(row)] = rowHeight(row);
  topsValid_ = std::min(topsValid_, topLeft.row());
  scheduleLayout();
}

// ---------------------------------------------------------------------------------------------------------------
// The rows' widgets

QWidget* TableView::makeViewWithIdentifier(const QString& identifier) {
  reusing_.insert(identifier);
  QList<QPointer<QWidget>>& kept = kept_[identifier];
  while (!kept.isEmpty()) {
    QWidget* view = kept.takeLast();
    if (view) return view;
  }
  return nullptr;
}

void TableView::releaseView(QWidget* view) {
  if (!view) return;
  view->hide();
  // A fade still running would show the row half drawn where it is used next.
  view->setGraphicsEffect(nullptr);
  const QString identifier = view->objectName();
  if (reusing_.contains(identifier)) {
    QList<QPointer<QWidget>>& kept = kept_[identifier];
    kept.removeAll(nullptr);
    if (kept.size() <= mostInSight_) {
      kept << view;
      return;
    }
  }
  view->deleteLater();
}

void TableView::releaseAllViews() {
  for (const RowView& row : std::as_const(rowViews_)) releaseView(row.view);
  rowViews_.clear();
}

QWidget* TableView::viewAtRow(int row) const {
  for (const RowView& r : rowViews_)
    if (r.index.isValid() && r.index.row() == row && r.view) return r.view;
  return nullptr;
}

int TableView::rowForView(const QWidget* view) const {
  for (const QWidget* w = view; w; w = w->parentWidget()) {
    if (w->parentWidget() != viewport()) continue;
    for (const RowView& r : rowViews_)
      if (r.view == w) return r.index.isValid() ? r.index.row() : -1;
    return -1;
  }
  return -1;
}

int TableView::rowViewCount() const {
  int count = 0;
  for (const RowView& r : rowViews_) count += r.view ? 1 : 0;
  for (const auto& kept : kept_)
    for (const auto& view : kept) count += view ? 1 : 0;
  return count;
}

void TableView::makeVisibleRowViews() {
  if (making_ || !model()) return;
  making_ = true;
  const auto [first, last] = visibleRows();
  if (first >= 0) mostInSight_ = std::max(mostInSight_, last - first + 1);
  QSet<int> shown;
  for (qsizetype i = rowViews_.size() - 1; i >= 0; --i) {
    const RowView& r = rowViews_[i];
    const int row = r.index.isValid() ? r.index.row() : -1;
    if (!r.view || row < first || row > last || shown.contains(row)) {
      releaseView(r.view);
      rowViews_.removeAt(i);
      continue;
    }
    r.view->setGeometry(rowRect(row));
    shown.insert(row);
  }
  for (int row = first; viewForRow_ && row >= 0 && row <= last; ++row) {
    if (shown.contains(row)) continue;
    QWidget* view = viewForRow_(row);
    if (!view) continue;
    if (view->parentWidget() != viewport()) view->setParent(viewport());
    view->setGeometry(rowRect(row));
    view->show();
    const QPersistentModelIndex index(model()->index(row, 0, rootIndex()));
    rowViews_.append({index, view});
    if (fading_.contains(index)) fadeIn(view);
  }
  fading_.clear();
  making_ = false;
}

void TableView::scheduleLayout() {
  if (layoutQueued_) return;
  layoutQueued_ = true;
  QMetaObject::invokeMethod(this, [this] { layoutNow(); }, Qt::QueuedConnection);
}

void TableView::layoutNow() {
  layoutQueued_ = false;
  updateGeometries();
}

void TableView::updateGeometries() {
  QAbstractItemView::updateGeometries();
  QScrollBar* bar = verticalScrollBar();
  const int height = viewport()->height();
  bar->setPageStep(height);
  bar->setSingleStep(kScrollStep);
  bar->setRange(0, std::max(0, contentHeight() - height));
  makeVisibleRowViews();
  emit boundsChanged();
}

void TableView::scrollContentsBy(int dx, int dy) {
  QAbstractItemView::scrollContentsBy(dx, dy);
  makeVisibleRowViews();
  emit boundsChanged();
}

}  // namespace ox
