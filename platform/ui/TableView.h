#pragma once
#include <QAbstractItemView>
#include <QHash>
#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QSet>
#include <functional>
#include <vector>

class QWidget;

namespace ox {

// A table whose rows are widgets, made only for the rows in sight: the model gives the number of rows and each row's
// height (Qt::SizeHintRole); `viewForRow` gives a row's widget when the row comes into sight, and a widget that goes
// out of sight is kept, by its object name, for makeViewWithIdentifier to hand out again (or deleted when enough are
// kept). So the widgets alive stay as many as the rows in sight, however long the table. A widget keeps to its row as
// rows are inserted or removed around it; a reset of the model lets every widget go. Rows inserted in sight fade in.
// The widgets draw everything; the table itself draws nothing but its background. Main thread only.
class TableView : public QAbstractItemView {
  Q_OBJECT
 public:
  using ViewForRow = std::function<QWidget*(int row)>;
  static constexpr int kFadeMs = 250;
  static constexpr int kScrollStep = 20;

  explicit TableView(QWidget* parent = nullptr);
  ~TableView() override;

  void setViewForRow(ViewForRow make) { viewForRow_ = std::move(make); }
  // A widget of this object name that went out of sight, for the caller to fill for its row; none when none is kept.
  QWidget* makeViewWithIdentifier(const QString& identifier);
  // The widget of a row in sight; none for a row out of sight or that does not exist.
  QWidget* viewAtRow(int row) const;
  // The row whose widget is `view` or holds it; -1 when none.
  int rowForView(const QWidget* view) const;
  // The row at a point of the visible part; -1 when there is none.
  int rowAtPoint(const QPoint& point) const;
  // The rows now in sight, first and last; (-1, -1) when none.
  std::pair<int, int> visibleRows() const;
  // Gives the rows in sight their widgets and lets the others go (also done after every scroll, resize and row
  // change).
  void makeVisibleRowViews();
  // The widgets the table holds: those of the rows in sight and those kept for reuse.
  int rowViewCount() const;

  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;
  void setModel(QAbstractItemModel* model) override;
  void reset() override;
  void doItemsLayout() override;

 signals:
  // The visible part moved over the rows: a scroll, a resize, or rows changing under it.
  void boundsChanged();

 protected:
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override { return 0; }
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex&) const override { return false; }
  void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;
  void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles = QList<int>()) override;

 private:
  struct RowView {
    QPersistentModelIndex index;
    QPointer<QWidget> view;
  };

  int rowCountNow() const;
  int rowHeight(int row) const;
  // Heights of every row asked anew: at a reset or a change of layout.
  void measureAllRows();
  // Offsets of the rows' tops, brought up to date from the first row changed.
  void updateTops() const;
  int contentHeight() const;
  int rowAtY(int y) const;
  QRect rowRect(int row) const;
  // Lets a row's widget go: kept for reuse under its object name, or deleted.
  void releaseView(QWidget* view);
  void releaseAllViews();
  // After rows changed: the scroll range and the widgets, on the next turn of the event loop.
  void scheduleLayout();
  void layoutNow();

  ViewForRow viewForRow_;
  std::vector<int> heights_;
  mutable std::vector<int> tops_;  // tops_[row]; tops_[n] is the content's height
  mutable int topsValid_ = 0;      // tops_ are right for rows [0, topsValid_]
  QList<RowView> rowViews_;
  QHash<QString, QList<QPointer<QWidget>>> kept_;
  // The object names the table's owner asks for again; widgets of other names are deleted when they leave.
  QSet<QString> reusing_;
  QSet<QPersistentModelIndex> fading_;
  bool making_ = false;
  bool layoutQueued_ = false;
  int mostInSight_ = 0;
};

}  // namespace ox
