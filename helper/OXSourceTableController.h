#pragma once
#include <QAbstractListModel>
#include <QFileDialog>
#include <QList>
#include <QPointer>
#include <QUrl>
#include <atomic>
#include <mutex>

#include "helper/OXDragDropView.h"
#include "helper/OXDragDropViewDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/TableView.h"

class QLabel;
class QToolButton;
class QWidget;

// One folder table of the sources page, movie folders or TV-show folders: a header row, then one row per folder in
// the order the folders were added, with the folder's name and how many of its video files the library holds and
// how many of those were not recognised. Its two-segment control adds a folder through a folder chooser and removes
// the selected folders; both go to the scan engine, which changes the folder list, saves and updates the library.
//
// The controller is the table's model. The rows are the folder list as it was at the last reload; every reload and
// removal changes them on the main thread, under the table's lock. Counts follow "sourceStadisticsChanged ", which
// may come from any thread.
class OXSourceTableController : public QAbstractListModel, public OXDragDropViewDelegate {
  Q_OBJECT
 public:
  static constexpr int kWidth = 216;
  static constexpr int kHeight = 250;
  static constexpr int kHeaderRowHeight = 26;
  static constexpr int kFolderRowHeight = 48;
  static constexpr int kAddSegment = 0;
  static constexpr int kRemoveSegment = 1;

  // `tag` 1 lists the movie folders, any other tag the TV-show folders; the folder chooser runs over
  // `settingsWindow`. The table and the control are made here, without a parent, for the page to place.
  OXSourceTableController(int tag, QWidget* settingsWindow);
  ~OXSourceTableController() override;

  ox::TableView* sourceTable() const { return sourceTable_; }
  // The add (0) and remove (1) segments side by side.
  QWidget* segmentedControl() const { return segmentedControl_; }
  QToolButton* segment(int index) const;
  QWidget* settingsWindow() const { return settingsWindow_.data(); }
  void setDragDropView(OXDragDropView* view) { dragDropView_ = view; }
  // The content type given to the engine: 1 movie folders, 3 TV-show folders.
  int type() const;
  // The chooser while it is open; none otherwise.
  QFileDialog* openPanel() const { return openPanel_.data(); }

  // A segment clicked: 0 opens the folder chooser, 1 removes the selected folders.
  void addRemoveRoot(int segment);
  void tableViewSelectionDidChange();
  // Takes the folder list anew (main thread).
  void reloadData();
  // Refreshes the counts of the rows on show; from any thread.
  void sourceStadisticsChanged();

  // The folder's own name as the user sees it.
  static QString nameOfSource(const QUrl& url);
  // The library's files of the table's kind that lie below the folder: all of them, and the unrecognised only.
  quint64 numberOfFilesInPath(const QUrl& url) const;
  quint64 numberOfUnknownInPath(const QUrl& url) const;
  static QString countText(quint64 total, quint64 unknown);

  // A drop changes the folders: the table reloads; the other events change nothing here.
  void draggingEntered() override {}
  void draggingExited() override {}
  void performDragOperation() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  QList<QUrl> foldersOfKind() const;
  void openFolderChooser();
  void removeSelectedFolders();
  void refreshCountsNow();
  QWidget* viewForRow(int row);
  QWidget* makeHeaderView();
  QWidget* makeFolderView(const QUrl& folder);
  void markSelectedRows();

  int tag_;
  QPointer<QWidget> settingsWindow_;
  QPointer<OXDragDropView> dragDropView_;
  QPointer<QFileDialog> openPanel_;
  QPointer<ox::TableView> sourceTable_;
  QPointer<QWidget> segmentedControl_;
  QToolButton* segments_[2] = {nullptr, nullptr};
  std::mutex sourceLock_;
  QList<QUrl> folders_;
  std::atomic<bool> refreshQueued_{false};
  std::vector<ox::NotificationCenter::Token> observers_;
};
