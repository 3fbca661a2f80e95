#pragma once
#include <QAbstractListModel>
#include <QPointer>
#include <QVariantList>

#include "platform/ui/TableView.h"

class QCheckBox;

// The subtitle languages of the settings window: the languages Ombrix looks for subtitles in, above those it does
// not, each section under its header. Ticking or unticking a language moves its row to its alphabetical place in
// the other section (case ignored) and tells the scan engine, which updates the library's list and saves it.
//
// The controller is the table's model. Rows: 0 "Enabled Languages", 1..E the enabled entries, E + 1 "Disabled
// Languages", then the disabled entries. Main thread only.
class OXSubtitleTableController : public QAbstractListModel {
  Q_OBJECT
 public:
  static constexpr int kHeaderRowHeight = 26;
  static constexpr int kLanguageRowHeight = 38;

  OXSubtitleTableController();

  // The table this controller fills; rows are never selected.
  void setTableView(ox::TableView* table);
  ox::TableView* tableView() const { return table_.data(); }

  // Both sections anew from the library's list, in its order.
  void rebuildDataSource();
  QVariantList enableArray() const { return enableArray_; }
  QVariantList disableArray() const { return disableArray_; }
  // A language's check box changed: its row moves to the other section.
  void checkBoxChanged(QCheckBox* sender);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  bool isHeaderRow(int row) const;
  // The entry of a language row; an empty map for a header.
  QVariantMap entryAtRow(int row) const;
  QWidget* viewForRow(int row);
  // Where `entry` goes among `list` sorted by name, case ignored.
  static qsizetype sortedPosition(const QVariantList& list, const QVariantMap& entry);

  QPointer<ox::TableView> table_;
  QVariantList enableArray_;
  QVariantList disableArray_;
};
