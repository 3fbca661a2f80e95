#pragma once
#include <QAbstractListModel>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUrl>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "core/OXFile.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"

class OXPanelListControllerDelegate;
class OXTableCellViewHover;
class QAbstractButton;
class QLabel;
class QPushButton;
class QWidget;
namespace ox {
class TableView;
}

// The list on the panel's main page: two tabs, movies and TV shows. Each lists first the files identification did
// not recognise, under "Not recognized", then the movies (or shows) by title in sections headed by a capital letter
// or "#". A row's button, shown while the pointer is over it, opens the manual search for the row's item. While the
// panel is open, what the scan engine adds appears at its place without a full rebuild.
//
// The controller is the table's model: one model row per row of the list. The row array is changed on the main
// thread only, under the list's lock; the scan engine's calls come on any thread and go through a serial queue whose
// every step does its row change on the main thread and waits for it, so the changes keep their order.
class OXContentListViewController : public QAbstractListModel {
  Q_OBJECT
 public:
  static constexpr int kWidth = 330;
  static constexpr int kHeight = 572;
  static constexpr int kHeaderRowHeight = 25;
  static constexpr int kItemRowHeight = 74;
  // The row's key (file path, or a show's id as decimal text); empty for a header.
  static constexpr int kKeyRole = Qt::UserRole + 1;
  static const QString kNotRecognized;  // "Not recognized"

  // A row: a header string, or an item (an unrecognised OXFile, an OXMovie or an OXShow).
  struct Row {
    QString header;
    ox::CodingPtr item;
    bool isHeader() const { return !item; }
  };
  using Rows = QList<Row>;

  OXContentListViewController();
  ~OXContentListViewController() override;

  QWidget* view() const { return view_.data(); }
  ox::TableView* contentTableView() const { return contentTableView_; }
  QPushButton* movieButton() const { return movieButton_; }
  QPushButton* showButton() const { return showButton_; }
  OXPanelListControllerDelegate* delegate() const { return delegate_; }
  void setDelegate(OXPanelListControllerDelegate* delegate) { delegate_ = delegate; }

  // The panel's state: 0 never opened, 1 open, 2 closed. Opening rebuilds the list and posts "libraryChanged";
  // closing drops the insertions still waiting and ends the poster downloads.
  int state() const { return state_; }
  void setPopUpState(int state);
  // 1 movies, 2 shows, 0 neither.
  int buttonSegmentedSelected() const;
  // The tabs' actions: the selected tab clicked again stays selected and nothing happens.
  void switchMovieList();
  void switchShowList();
  // Rebuilds the selected tab; from any thread (the rebuild is made on the main thread).
  void reloadData();
  // Drops the insertions still waiting and reloads the table from the row array.
  void reloadTable();

  // The scan engine's news, from any thread.
  void unknownAdded(const std::shared_ptr<OXFile>& file);
  void removeUnknown(const std::shared_ptr<OXFile>& file);
  void contentAdded(const ox::CodingPtr& item);
  // Puts a movie or a show at its place in the list (main thread).
  void addNewContent(const ox::CodingPtr& item);
  // Insertions are waiting on the queue or running.
  bool isSyncing() const { return syncQueue_.operationCount() > 0; }

  // A row's button: the item of the row it sits in goes to the manual search.
  void actionMovie(QWidget* sender);

  // A copy of the row array; any thread.
  Rows sourceArray() const;
  // The row view made for the item with this key (IMDb code of a movie, show id of a show); none if not made.
  QWidget* cellForKey(const QString& key) const;

  // The last component of the file's path as people read it; empty without a file.
  static QString fileNameOf(const std::shared_ptr<OXFile>& file);
  // A row's poster: the picture at 75 pixels wide, loaded into the image view; `failure` shows when it cannot be.
  static void loadPoster(QLabel* view, const QUrl& poster, const QImage& failure = QImage());
  // "#" for anything but a title starting with a to z (after lower-casing); that letter in capitals otherwise.
  static QString getCharacterForTitle(const QString& title);
  // A tab's rows from the store's lists: the unrecognised files in their order, then the items by title.
  static Rows buildMovieList();
  static Rows buildShowList();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  // A step of the serial queue waits for its change on the main thread; closing lets every waiting step go, so the
  // controller can end while steps wait for a main thread that is busy ending it.
  struct SyncGate {
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
  };

  // A tab's action: `movies` is the tab clicked.
  void switchTab(bool movies);
  void buildAndReload(bool movies);
  void setRows(Rows rows);
  void insertRows(int at, const Rows& rows);
  void removeRowsAt(int at, int count);
  // Row array lookups (under the lock).
  // The row of a file in the block under "Not recognized", the only place files stand; -1 when not there.
  int rowOfUnknownFile(const QString& path) const;
  int firstRowAfterUnknownBlock() const;
  static QString keyOf(const ox::CodingPtr& item);
  // The key a movie or show row is known by in itemKeys_; empty for a file or a header.
  static QString itemKeyOf(const Row& row);
  static QString titleOf(const ox::CodingPtr& item);
  // The tab that lists an unrecognised file of this type is selected (files of other types are not checked).
  bool fileTabSelected(qint32 type) const;

  void insertUnknownNow(const std::shared_ptr<OXFile>& file);
  void contentAddedNow(const ox::CodingPtr& item);
  void removeUnknownNow(const std::shared_ptr<OXFile>& file);
  void refreshEpisodeCount(quint64 showID);
  // One step of the serial queue: `change` on the main thread, the step waiting for it.
  void queueRowChange(std::function<void()> change);

  // A row's view: one kept from a row gone out of sight, filled for this row, or a new one.
  QWidget* viewForRow(int row);
  QWidget* makeSeparatorView();
  OXTableCellViewHover* makeContentView();
  void fillContentView(OXTableCellViewHover* cell, const Row& row);
  // "%1 episodes" with the show's count as taken from the store: for every show at a build of the show tab, for one
  // show when an episode of it arrives while its row shows, else when its row is made next.
  QString episodesText(quint64 showID);
  void countEpisodes();
  void forgetEpisodeCount(quint64 showID);
  void tabSelected(int tab);

  QPointer<QWidget> view_;
  ox::TableView* contentTableView_ = nullptr;
  QPushButton* movieButton_ = nullptr;
  QPushButton* showButton_ = nullptr;
  OXPanelListControllerDelegate* delegate_ = nullptr;
  QImage image78_, image88_, image102_;

  mutable std::recursive_mutex contentListLock_;
  Rows sourceArray_;
  // The keys of the movie and show rows, so an item told twice is found without walking the rows; gathered at the
  // first live insertion after a build.
  std::optional<QSet<QString>> itemKeys_;
  QHash<QString, QPointer<QWidget>> cellDictionary_;
  QHash<quint64, qsizetype> episodeCounts_;
  std::atomic<int> state_{0};
  // The selected tab, for the checks made on the engine's threads.
  std::atomic<int> selectedTab_{1};
  ox::NotificationCenter::Token reloadObserver_ = 0;
  std::shared_ptr<SyncGate> gate_;
  // Declared last: closed first, while everything its steps use is still there.
  ox::OperationQueue syncQueue_{1};
};
