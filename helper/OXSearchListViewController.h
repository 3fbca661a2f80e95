#pragma once
#include <QAbstractListModel>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QString>
#include <memory>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/OperationQueue.h"

class OXPanelListControllerDelegate;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;
namespace ox {
class HttpCancel;
class TableView;
}

// The page of the panel where a file is identified by hand: an unrecognised file, or a movie, show or episode that
// was matched wrongly. It searches the cloud index by a title the user can edit, lists the results in pages of 20
// that load as the list is scrolled, and hands the chosen movie or show to the panel, which re-identifies the item.
// Files of movies (and movies) are searched as movies; episode files, episodes and shows as shows.
//
// Searches run on a queue of the page's own and are numbered: only the answer of the latest search (or of its
// further pages) is applied, on the main thread; a page that goes ends the requests of its searches at once. The
// controller is its result table's model. Main thread only.
class OXSearchListViewController : public QAbstractListModel {
  Q_OBJECT
 public:
  static constexpr int kWidth = 330;
  static constexpr int kHeight = 572;
  static constexpr int kRowHeight = 87;
  static constexpr int kPageSize = 20;
  // Posted with the new panel title as its object (a const QString*, to be read during the post).
  static const QString kChangePopUpTitleNotification;  // "changePopUpTitleNotification"

  OXSearchListViewController();
  ~OXSearchListViewController() override;

  QWidget* view() const { return view_.data(); }
  QLineEdit* searchTextField() const { return searchTextField_; }
  QLabel* filenameLabel() const { return filenameLabel_; }
  ox::TableView* contentTableView() const { return contentTableView_; }
  QLabel* message() const { return message_; }
  QProgressBar* progressIndicator() const { return progressIndicator_; }
  QPushButton* backButton() const { return backButton_; }
  void setDelegate(OXPanelListControllerDelegate* delegate) { delegate_ = delegate; }

  ox::CodingPtr content() const { return content_; }
  // Takes the item (an OXFile, OXMovie, OXEpisode or OXShow), fills the field and the file names, and searches.
  void setContent(const ox::CodingPtr& content);
  // A first page for the field's text.
  void search();
  // A further page, when the list was scrolled to within four rows of its end and the last page came back full.
  void scrollChanged();
  // The button of a result's row: that result is the item's identity.
  void markMovie(QWidget* sender);
  // Leaves without a change, dropping the results.
  void back();
  // Escape leaves and keeps the results.
  void keyDown(int key);

  QList<ox::CodingPtr> sourceArray() const { return sourceArray_; }
  quint64 numberOfRowsTemp() const { return numberOfRowsTemp_; }
  // A search or a further page is on its way.
  bool isSearching() const { return searchQueue_.operationCount() > 0; }
  // Answers that came after a newer search and were dropped.
  int droppedAnswers() const { return droppedAnswers_; }

  // Posts the panel title for the item: none "Ombrix Helper", a file "Identify Movie" or "Identify Show", anything
  // else "Fix incorrect match".
  static void changePopUpTitleForContent(const ox::CodingPtr& content);
  // "year | genres | runtime min", leaving out what the record lacks; at most two genres.
  static QString detailText(const ox::CodingPtr& record);
  // The file names of a show's episodes in the store, stopped after the name that takes the text past 80 characters.
  static QString filenamesForShow(quint64 showID, QString* firstTitle);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void searchFrom(quint64 start);
  void answered(quint64 number, quint64 start, const QList<ox::CodingPtr>& results);
  void showResults();
  void showStatus(const QString& text, bool spinning);
  QWidget* viewForRow(int row);

  QPointer<QWidget> view_;
  QPushButton* backButton_ = nullptr;
  QLineEdit* searchTextField_ = nullptr;
  QLabel* filenameLabel_ = nullptr;
  ox::TableView* contentTableView_ = nullptr;
  QLabel* message_ = nullptr;
  QProgressBar* progressIndicator_ = nullptr;
  OXPanelListControllerDelegate* delegate_ = nullptr;
  QImage buttonImage_;

  ox::CodingPtr content_;
  QList<ox::CodingPtr> sourceArray_;
  quint64 numberOfRowsTemp_ = 0;
  // The latest search; an answer carrying another number is stale.
  quint64 searchNumber_ = 0;
  // A further page came back empty: the results are complete.
  bool endReached_ = false;
  bool observingBounds_ = false;
  int droppedAnswers_ = 0;
  const std::shared_ptr<ox::HttpCancel> cancel_;
  // Declared last: its running searches end before anything they answer to goes.
  ox::OperationQueue searchQueue_{4};
};
