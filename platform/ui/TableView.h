#pragma once
#include <QListView>
#include <QPersistentModelIndex>
#include <QSet>
#include <functional>

class QWidget;

namespace ox {

// A table whose rows are widgets, made as they are needed: the model gives the number of rows and each row's height
// (Qt::SizeHintRole); `viewForRow` makes a row's widget when the row first comes into sight, and the widget then
// keeps to its row as rows are inserted or removed around it. A reset of the model drops every widget. Rows inserted
// while the table shows fade in. Main thread only.
class TableView : public QListView {
  Q_OBJECT
 public:
  using ViewForRow = std::function<QWidget*(int row)>;
  static constexpr int kFadeMs = 250;

  explicit TableView(QWidget* parent = nullptr);

  void setViewForRow(ViewForRow make) { viewForRow_ = std::move(make); }
  // The widget made for the row; none when the row has not been in sight or does not exist.
  QWidget* viewAtRow(int row) const;
  // The row whose widget is `view` or holds it; -1 when none.
  int rowForView(const QWidget* view) const;
  // The row at a point of the visible part; -1 when there is none.
  int rowAtPoint(const QPoint& point) const;
  // The rows now in sight, first and last; (-1, -1) when none.
  std::pair<int, int> visibleRows() const;
  // Makes the widgets of the rows in sight that have none (also done after every scroll, resize and row change).
  void makeVisibleRowViews();

 signals:
  // The visible part moved over the rows: a scroll, a resize, or rows changing under it.
  void boundsChanged();

 protected:
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;

 private:
  ViewForRow viewForRow_;
  QSet<QPersistentModelIndex> fading_;
  bool making_ = false;
};

}  // namespace ox
