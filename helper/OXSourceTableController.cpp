#include "helper/OXSourceTableController.h"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <algorithm>

#include "core/OXLibrary.h"
#include "core/OXRootList.h"
#include "helper/OXDragDropView.h"
#include "helper/OXPanelController.h"
#include "helper/OXPanelListController.h"
#include "helper/OXSourceTableCellView.h"
#include "platform/foundation/FileName.h"
#include "platform/foundation/MainQueue.h"
#include "platform/ui/ViewTag.h"
#include "scanner/OXCoreLibrary.h"

namespace {

constexpr int kTypeMovie = 1;
constexpr int kTypeEpisode = 3;
constexpr int kSegmentWidth = 26;
constexpr int kSegmentHeight = 22;

const QString kRowStyle = QStringLiteral("OXSourceTableCellView { background: transparent; }");
const QString kSelectedRowStyle = QStringLiteral("OXSourceTableCellView { background: #d6e4f8; }");

QString filePathOf(const ox::CodingPtr& entry) {
  if (const auto file = std::dynamic_pointer_cast<OXFile>(entry)) return file->filePath();
  if (const auto movie = std::dynamic_pointer_cast<OXMovie>(entry))
    return movie->file() ? movie->file()->filePath() : QString();
  if (const auto episode = std::dynamic_pointer_cast<OXEpisode>(entry))
    return episode->file() ? episode->file()->filePath() : QString();
  return {};
}

// Below the folder in the root list's own sense, so a count agrees with what the scan takes for the folder's files
// ("/Movies" does not hold "/Movies2/x").
template <class T>
quint64 countBelow(const QList<std::shared_ptr<T>>& entries, const QString& folder) {
  if (folder.isEmpty()) return 0;
  return quint64(std::count_if(entries.begin(), entries.end(), [&](const std::shared_ptr<T>& entry) {
    return OXRootList::pathLiesInFolder(OXRootList::cleanedPath(filePathOf(entry)), folder);
  }));
}

}  // namespace

OXSourceTableController::OXSourceTableController(int tag, QWidget* settingsWindow)
    : tag_(tag), settingsWindow_(settingsWindow) {
  sourceTable_ = new ox::TableView;
  sourceTable_->setObjectName(tag == 1 ? QStringLiteral("movieSourceTable") : QStringLiteral("showSourceTable"));
  ox::setTag(sourceTable_, tag);
  sourceTable_->resize(kWidth, kHeight);
  sourceTable_->setStyleSheet(QStringLiteral("ox--TableView { background: white; }"));
  sourceTable_->setModel(this);
  sourceTable_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  sourceTable_->setViewForRow([this](int row) { return viewForRow(row); });
  connect(sourceTable_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { tableViewSelectionDidChange(); });

  segmentedControl_ = new QWidget;
  segmentedControl_->setObjectName(QStringLiteral("segmentedControl"));
  auto* row = new QHBoxLayout(segmentedControl_);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  const QString titles[2] = {QStringLiteral("+"), QStringLiteral("\u2212")};
  const QString tips[2] = {tr("Add a folder"), tr("Remove the selected folders")};
  for (int i = 0; i < 2; ++i) {
    auto* segment = new QToolButton(segmentedControl_);
    segment->setText(titles[i]);
    segment->setToolTip(tips[i]);
    segment->setFixedSize(kSegmentWidth, kSegmentHeight);
    segment->setFocusPolicy(Qt::NoFocus);
    connect(segment, &QToolButton::clicked, this, [this, i] { addRemoveRoot(i); });
    row->addWidget(segment);
    segments_[i] = segment;
  }
  row->addStretch();
  segments_[kRemoveSegment]->setEnabled(false);

  auto& centre = ox::NotificationCenter::defaultCenter();
  observers_.push_back(centre.addObserver(OXPanelListController::kSourceStatisticsChanged, nullptr,
                                          [this](const ox::Notification&) { sourceStadisticsChanged(); }));
  // A log-out has emptied the library.
  observers_.push_back(centre.addObserver(OXPanelController::kLogOut, nullptr, [this](const ox::Notification&) {
    ox::performOnMainThread(this, [this] { reloadData(); });
  }));
  reloadData();
}

OXSourceTableController::~OXSourceTableController() {
  for (const auto token : observers_) ox::NotificationCenter::defaultCenter().removeObserver(token);
  delete openPanel_.data();
  // What no page took is this controller's.
  if (sourceTable_ && !sourceTable_->parent()) delete sourceTable_.data();
  if (segmentedControl_ && !segmentedControl_->parent()) delete segmentedControl_.data();
}

QToolButton* OXSourceTableController::segment(int index) const {
  return index == 0 || index == 1 ? segments_[index] : nullptr;
}

int OXSourceTableController::type() const { return tag_ == 1 ? kTypeMovie : kTypeEpisode; }

QList<QUrl> OXSourceTableController::foldersOfKind() const {
  const auto roots = OXLibrary::shareLibrary()->rootList();
  if (!roots) return {};
  return type() == kTypeMovie ? roots->moviePaths() : roots->episodePaths();
}

// ---------------------------------------------------------------------------------------------------------------
// Adding and removing

void OXSourceTableController::addRemoveRoot(int segment) {
  if (segment == kAddSegment)
    openFolderChooser();
  else if (segment == kRemoveSegment)
    removeSelectedFolders();
  if (QToolButton* clicked = this->segment(segment)) clicked->setDown(false);
}

void OXSourceTableController::openFolderChooser() {
  if (openPanel_) {
    openPanel_->raise();
    return;
  }
  auto* panel = new QFileDialog(settingsWindow_, tr("Choose a folder"));
  panel->setFileMode(QFileDialog::Directory);
  panel->setOption(QFileDialog::ShowDirsOnly);
  panel->setAcceptMode(QFileDialog::AcceptOpen);
  panel->setWindowModality(Qt::WindowModal);
  openPanel_ = panel;
  connect(panel, &QFileDialog::finished, this, [this, panel](int result) {
    openPanel_ = nullptr;
    panel->deleteLater();
    if (result != QDialog::Accepted) return;
    OXCoreLibrary::shareCoreLibrary()->addURLsToRootList(panel->selectedUrls(), type());
    reloadData();
  });
  panel->open();
}

void OXSourceTableController::removeSelectedFolders() {
  QList<qsizetype> rows;
  for (const QModelIndex& index : sourceTable_->selectionModel()->selectedIndexes())
    if (index.row() >= 1) rows << index.row();
  if (rows.isEmpty()) return;
  OXCoreLibrary::shareCoreLibrary()->removeFolderAtIndexes(rows, type());
  std::sort(rows.begin(), rows.end(), std::greater<>());
  std::lock_guard hold(sourceLock_);
  for (const qsizetype row : rows) {
    if (row > folders_.size()) continue;
    beginRemoveRows({}, int(row), int(row));
    folders_.removeAt(row - 1);
    endRemoveRows();
  }
}

void OXSourceTableController::performDragOperation() { reloadData(); }

void OXSourceTableController::reloadData() {
  std::lock_guard hold(sourceLock_);
  beginResetModel();
  folders_ = foldersOfKind();
  endResetModel();
}

void OXSourceTableController::tableViewSelectionDidChange() {
  segments_[kRemoveSegment]->setEnabled(sourceTable_->selectionModel()->hasSelection());
  markSelectedRows();
}

void OXSourceTableController::markSelectedRows() {
  const QItemSelectionModel* selection = sourceTable_->selectionModel();
  for (int row = 1; row < rowCount(); ++row)
    if (QWidget* view = sourceTable_->viewAtRow(row))
      view->setStyleSheet(selection->isRowSelected(row) ? kSelectedRowStyle : kRowStyle);
}

// ---------------------------------------------------------------------------------------------------------------
// Names and counts

QString OXSourceTableController::nameOfSource(const QUrl& url) {
  // The whole name of the folder: a folder's name has no type to leave out ("Films.HD" stays "Films.HD").
  QString path = url.isLocalFile() ? OXRootList::canonicalFolderPath(url) : url.path(QUrl::FullyDecoded);
  while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
  const QString name = path.section(QLatin1Char('/'), -1);
  return ox::readableFileName(name.isEmpty() ? path : name);
}

quint64 OXSourceTableController::numberOfFilesInPath(const QUrl& url) const {
  const QString folder = OXRootList::canonicalFolderPath(url);
  const OXLibrary* library = OXLibrary::shareLibrary();
  if (type() == kTypeMovie)
    return countBelow(library->unknownMovieList(), folder) + countBelow(library->movieList(), folder);
  return countBelow(library->unknownEpisodeList(), folder) + countBelow(library->episodeList(), folder);
}

quint64 OXSourceTableController::numberOfUnknownInPath(const QUrl& url) const {
  const QString folder = OXRootList::canonicalFolderPath(url);
  const OXLibrary* library = OXLibrary::shareLibrary();
  return countBelow(type() == kTypeMovie ? library->unknownMovieList() : library->unknownEpisodeList(), folder);
}

QString OXSourceTableController::countText(quint64 total, quint64 unknown) {
  return QStringLiteral("%1 Total, %2 not recognized").arg(total).arg(unknown);
}

void OXSourceTableController::sourceStadisticsChanged() {
  // The engine posts once per file it lists: a burst of them makes one refresh.
  if (refreshQueued_.exchange(true)) return;
  ox::dispatchMain([self = QPointer<OXSourceTableController>(this)] {
    if (!self) return;
    self->refreshQueued_ = false;
    self->refreshCountsNow();
  });
}

void OXSourceTableController::refreshCountsNow() {
  for (int row = 1; row < rowCount(); ++row) {
    QWidget* view = sourceTable_->viewAtRow(row);
    auto* folder = ox::viewWithTag<QLabel>(view, 4);
    auto* counts = ox::viewWithTag<QLabel>(view, 3);
    if (!folder || !counts) continue;
    const QUrl url(folder->text(), QUrl::StrictMode);
    counts->setText(url.isValid() && !url.isEmpty() ? countText(numberOfFilesInPath(url), numberOfUnknownInPath(url))
                                                    : countText(0, 0));
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Rows

int OXSourceTableController::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(folders_.size()) + 1;
}

QVariant OXSourceTableController::data(const QModelIndex& index, int role) const {
  const int row = index.row();
  if (role == Qt::SizeHintRole) return QSize(kWidth, row == 0 ? kHeaderRowHeight : kFolderRowHeight);
  if (role != Qt::DisplayRole || !index.isValid() || row > folders_.size()) return {};
  if (row == 0) return tag_ == 1 ? tr("Movies") : tr("TV Shows");
  return nameOfSource(folders_[row - 1]);
}

Qt::ItemFlags OXSourceTableController::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // The header row is never selected.
  return index.row() == 0 ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QWidget* OXSourceTableController::viewForRow(int row) {
  if (row == 0) return makeHeaderView();
  if (row > folders_.size()) return nullptr;
  return makeFolderView(folders_[row - 1]);
}

QWidget* OXSourceTableController::makeHeaderView() {
  auto* header = new QWidget;
  header->setObjectName(QStringLiteral("OXHeaderSource"));
  header->setAttribute(Qt::WA_StyledBackground);
  header->setStyleSheet(QStringLiteral("#OXHeaderSource { background: #efeff2; border-bottom: 1px solid #d8d8dc; }"));
  OXTableCellViewHover::addField(header, QRect(10, 0, kWidth - 20, kHeaderRowHeight), 1,
                                 QStringLiteral("color: #55555b; font-weight: bold; font-size: 12px;"))
      ->setText(tag_ == 1 ? tr("Movies") : tr("TV Shows"));
  return header;
}

QWidget* OXSourceTableController::makeFolderView(const QUrl& folder) {
  auto* cell = new OXSourceTableCellView;
  cell->setObjectName(QStringLiteral("OXSourceRow"));
  cell->setAttribute(Qt::WA_StyledBackground);
  cell->setStyleSheet(kRowStyle);
  cell->setDragDropView(dragDropView_);
  const int width = sourceTable_->viewport()->width() > 0 ? sourceTable_->viewport()->width() : kWidth;
  const QStyle* style = QApplication::style();
  auto* icon = new QLabel(cell);
  icon->setGeometry(8, 8, 32, 32);
  icon->setPixmap(style->standardIcon(QStyle::SP_DirIcon).pixmap(32, 32));

  auto* path = OXTableCellViewHover::addField(cell, QRect(0, 0, 0, 0), 4, {});
  path->setText(folder.toString(QUrl::FullyEncoded));
  path->hide();
  auto* name = OXTableCellViewHover::addField(cell, QRect(48, 6, width - 84, 20), 2,
                                              QStringLiteral("color: #2c2c30; font-weight: bold; font-size: 13px;"));
  OXTableCellViewHover::setElidedText(name, nameOfSource(folder));
  OXTableCellViewHover::addField(cell, QRect(48, 25, width - 56, 16), 3,
                                 QStringLiteral("color: #77777d; font-size: 11px;"))
      ->setText(countText(numberOfFilesInPath(folder), numberOfUnknownInPath(folder)));
  // Where the folder is, in full, under the pointer.
  const QString where = ox::readableFileName(OXRootList::canonicalFolderPath(folder));
  cell->setToolTip(where);

  auto* button = new QToolButton(cell);
  button->setGeometry(width - 32, 12, 24, 24);
  button->setIcon(style->standardIcon(QStyle::SP_DirOpenIcon));
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setToolTip(where);
  cell->setButton(button);
  return cell;
}
