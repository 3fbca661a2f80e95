// The content list's live changes: what the scan engine reports while the panel is open goes to its place in the
// list, one change at a time and in the order reported.
#include <QLabel>
#include <QPushButton>

#include "core/OXLibrary.h"
#include "helper/OXContentListViewController.h"
#include "platform/foundation/MainQueue.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewTag.h"

OXContentListViewController::~OXContentListViewController() {
  ox::NotificationCenter::defaultCenter().removeObserver(reloadObserver_);
  {
    std::lock_guard hold(gate_->mutex);
    gate_->closed = true;
  }
  gate_->changed.notify_all();
  syncQueue_.close();
  delete view_.data();
}

void OXContentListViewController::queueRowChange(std::function<void()> change) {
  syncQueue_.addOperationWithBlock(
      [gate = gate_, self = QPointer<OXContentListViewController>(this), change = std::move(change)] {
        auto done = std::make_shared<bool>(false);
        ox::dispatchMain([gate, self, change, done] {
          bool closed = false;
          {
            std::lock_guard hold(gate->mutex);
            closed = gate->closed;
          }
          if (self && !closed) change();
          {
            std::lock_guard hold(gate->mutex);
            *done = true;
          }
          gate->changed.notify_all();
        });
        std::unique_lock hold(gate->mutex);
        gate->changed.wait(hold, [&] { return *done || gate->closed; });
      });
}

bool OXContentListViewController::fileTabSelected(qint32 type) const {
  if (type == OXFile::kTypeMovie) return selectedTab_ == 1;
  if (type == OXFile::kTypeEpisode) return selectedTab_ == 2;
  return true;
}

void OXContentListViewController::unknownAdded(const std::shared_ptr<OXFile>& file) {
  if (!file || state_ == 0 || !fileTabSelected(file->type())) return;
  queueRowChange([this, file] { insertUnknownNow(file); });
}

void OXContentListViewController::contentAdded(const ox::CodingPtr& item) {
  if (!item) return;
  queueRowChange([this, item] { contentAddedNow(item); });
}

void OXContentListViewController::removeUnknown(const std::shared_ptr<OXFile>& file) {
  if (!file || state_ != 1 || !fileTabSelected(file->type())) return;
  // Behind the insertions still waiting: one of them may be this file's, which would otherwise land after its removal.
  queueRowChange([this, file] { removeUnknownNow(file); });
}

// ---------------------------------------------------------------------------------------------------------------
// Row array changes, on the main thread

void OXContentListViewController::insertRows(int at, const Rows& rows) {
  if (rows.isEmpty()) return;
  std::lock_guard hold(contentListLock_);
  at = std::clamp(at, 0, int(sourceArray_.size()));
  beginInsertRows(QModelIndex(), at, at + int(rows.size()) - 1);
  for (qsizetype i = 0; i < rows.size(); ++i) {
    sourceArray_.insert(at + i, rows[i]);
    if (const QString key = itemKeyOf(rows[i]); itemKeys_ && !key.isEmpty()) itemKeys_->insert(key);
  }
  endInsertRows();
}

void OXContentListViewController::removeRowsAt(int at, int count) {
  std::lock_guard hold(contentListLock_);
  if (at < 0 || count <= 0 || at >= sourceArray_.size()) return;
  count = std::min(count, int(sourceArray_.size()) - at);
  beginRemoveRows(QModelIndex(), at, at + count - 1);
  for (int row = at; itemKeys_ && row < at + count; ++row) itemKeys_->remove(itemKeyOf(sourceArray_[row]));
  sourceArray_.remove(at, count);
  endRemoveRows();
}

int OXContentListViewController::rowOfUnknownFile(const QString& path) const {
  std::lock_guard hold(contentListLock_);
  const int end = firstRowAfterUnknownBlock();
  for (int row = 1; row < end; ++row)
    if (keyOf(sourceArray_[row].item) == path) return row;
  return -1;
}

// Rows are found where they are in the array: a file placed live stands at the top of its block, not at its place
// in the store's list, and the array may hold more or fewer files than the store has now.
int OXContentListViewController::firstRowAfterUnknownBlock() const {
  std::lock_guard hold(contentListLock_);
  if (sourceArray_.isEmpty() || sourceArray_[0].header != kNotRecognized) return 0;
  int row = 1;
  while (row < sourceArray_.size() && std::dynamic_pointer_cast<OXFile>(sourceArray_[row].item)) ++row;
  return row;
}

void OXContentListViewController::insertUnknownNow(const std::shared_ptr<OXFile>& file) {
  std::lock_guard hold(contentListLock_);
  // The tab may have changed since the file was reported.
  if (!fileTabSelected(file->type())) return;
  if (rowOfUnknownFile(file->filePath()) >= 0) return;
  if (!sourceArray_.isEmpty() && sourceArray_[0].header == kNotRecognized)
    insertRows(1, {Row{{}, file}});
  else
    insertRows(0, {Row{kNotRecognized, {}}, Row{{}, file}});
}

void OXContentListViewController::contentAddedNow(const ox::CodingPtr& item) {
  if (state_ != 1) return;
  if (std::dynamic_pointer_cast<OXMovie>(item)) {
    if (movieButton_->isChecked()) addNewContent(item);
  } else if (std::dynamic_pointer_cast<OXShow>(item)) {
    if (showButton_->isChecked()) addNewContent(item);
  } else if (auto episode = std::dynamic_pointer_cast<OXEpisode>(item)) {
    if (showButton_->isChecked()) refreshEpisodeCount(episode->showID());
  }
}

void OXContentListViewController::addNewContent(const ox::CodingPtr& item) {
  const QString title = titleOf(item);
  const QString key = keyOf(item);
  std::lock_guard hold(contentListLock_);
  // Already there: in the store when the list was built, or told twice.
  if (!itemKeys_) {
    itemKeys_.emplace();
    for (const Row& row : std::as_const(sourceArray_))
      if (const QString listed = itemKeyOf(row); !listed.isEmpty()) itemKeys_->insert(listed);
  }
  if (itemKeys_->contains(key)) return;

  const int start = firstRowAfterUnknownBlock();
  const QString letter = getCharacterForTitle(title);
  int section = -1;
  for (int row = start; row < sourceArray_.size() && section < 0; ++row)
    if (sourceArray_[row].header == letter) section = row;

  if (section < 0) {
    int at = int(sourceArray_.size());
    if (letter == QStringLiteral("#")) {
      at = start;
    } else {
      for (int row = start; row < sourceArray_.size(); ++row) {
        const QString& header = sourceArray_[row].header;
        if (sourceArray_[row].isHeader() && QString::compare(letter, header, Qt::CaseSensitive) < 0) {
          at = row;
          break;
        }
      }
    }
    insertRows(at, {Row{letter, {}}, Row{{}, item}});
    return;
  }
  int at = section + 1;
  while (at < sourceArray_.size() && !sourceArray_[at].isHeader() &&
         QString::compare(titleOf(sourceArray_[at].item), title, Qt::CaseSensitive) <= 0)
    ++at;
  insertRows(at, {Row{{}, item}});
}

void OXContentListViewController::removeUnknownNow(const std::shared_ptr<OXFile>& file) {
  std::lock_guard hold(contentListLock_);
  const int row = rowOfUnknownFile(file->filePath());
  if (row < 0) return;
  // The last file of the block takes its header with it.
  firstRowAfterUnknownBlock() == 2 ? removeRowsAt(0, 2) : removeRowsAt(row, 1);
}

// The count is set in the row view made for the show only while that view still shows the show: a view is found by
// the show's key and checked against the key it carries. A show out of sight is counted when its row is made.
void OXContentListViewController::refreshEpisodeCount(quint64 showID) {
  forgetEpisodeCount(showID);
  const QString key = QString::number(showID);
  QWidget* cell = cellForKey(key);
  if (!cell || cell->isHidden()) return;
  QLabel* keyField = ox::viewWithTag<QLabel>(cell, 5);
  QLabel* count = ox::viewWithTag<QLabel>(cell, 3);
  if (!keyField || !count || keyField->text() != key) return;
  count->setText(episodesText(showID));
}
