#include <gtest/gtest.h>

#include <QAbstractListModel>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>

#include "platform/ui/TableView.h"

namespace {

// Rows as the helper's lists have them: headers (names starting with "#") 25 points high, items 74.
class Rows : public QAbstractListModel {
 public:
  explicit Rows(int count) {
    for (int i = 0; i < count; ++i) names << (i % 10 == 0 ? QStringLiteral("#%1") : QStringLiteral("Row %1")).arg(i);
  }
  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(names.size()); }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role == Qt::SizeHintRole) return QSize(300, names[index.row()].startsWith('#') ? 25 : 74);
    return role == Qt::DisplayRole ? QVariant(names[index.row()]) : QVariant();
  }
  void insert(int at, const QString& name) {
    beginInsertRows({}, at, at);
    names.insert(at, name);
    endInsertRows();
  }
  QStringList names;
};

void settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

}  // namespace

TEST(TableView, ClicksAndKeysSelectTheRowsUnderThemAndWidgetsKeepToTheirRows) {
  Rows model(300);
  ox::TableView table;
  table.resize(300, 400);
  table.setModel(&model);
  table.setSelectionMode(QAbstractItemView::ExtendedSelection);
  table.setViewForRow([&](int row) {
    auto* label = qobject_cast<QLabel*>(table.makeViewWithIdentifier(QStringLiteral("row")));
    if (!label) label = new QLabel;
    label->setObjectName(QStringLiteral("row"));
    label->setText(model.names[row]);
    return label;
  });
  table.show();
  settle();
  const auto labelAt = [&](int row) { return qobject_cast<QLabel*>(table.viewAtRow(row)); };
  ASSERT_NE(labelAt(2), nullptr);
  EXPECT_EQ(labelAt(2)->geometry(), QRect(0, 25 + 74, table.viewport()->width(), 74));

  // A click on the third row selects it; Shift and Down take the next one in.
  const QPointF third(10, 25 + 74 + 30);
  QMouseEvent press(QEvent::MouseButtonPress, third, table.viewport()->mapToGlobal(third), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(table.viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, third, table.viewport()->mapToGlobal(third), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(table.viewport(), &release);
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
  QCoreApplication::sendEvent(&table, &down);
  QList<int> selected;
  for (const QModelIndex& index : table.selectionModel()->selectedIndexes()) selected << index.row();
  std::sort(selected.begin(), selected.end());
  EXPECT_EQ(selected, (QList<int>{2, 3}));

  // A row inserted above moves the rows' widgets down with their rows.
  QLabel* fourth = labelAt(3);
  model.insert(0, QStringLiteral("New"));
  settle();
  EXPECT_EQ(labelAt(4), fourth);
  EXPECT_EQ(fourth->geometry(), table.visualRect(model.index(4)));
  EXPECT_EQ(labelAt(0)->text(), "New");

  // At the end, the last rows show their own names.
  table.scrollTo(model.index(300));
  settle();
  EXPECT_EQ(table.verticalScrollBar()->value(), table.verticalScrollBar()->maximum());
  EXPECT_EQ(table.visibleRows().second, 300);
  EXPECT_EQ(labelAt(300)->text(), model.names[300]);
  EXPECT_EQ(table.indexAt(QPoint(10, table.viewport()->height() - 1)).row(), 300);
}
