#include "helper/OXContentListViewController.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSize>
#include <algorithm>

#include "core/OXDownloadBounds.h"
#include "core/OXLibrary.h"
#include "helper/NSImage_iOSBehaviour.h"
#include "helper/OXCustomLineView.h"
#include "helper/OXPanelController.h"
#include "helper/OXPanelListController.h"
#include "helper/OXPanelListControllerDelegate.h"
#include "helper/OXTableCellViewHover.h"
#include "platform/foundation/FileName.h"
#include "platform/foundation/MainQueue.h"
#include "platform/ui/ImageButton.h"
#include "platform/ui/Images.h"
#include "platform/ui/NSImageView_AFNetworking.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewTag.h"
#include "scanner/OXCoreLibrary.h"

const QString OXContentListViewController::kNotRecognized = QStringLiteral("Not recognized");

namespace {

// The cell dictionary's key of the item a cell shows, so a cell used again is taken out under its old key.
const char* const kCellKeyProperty = "ox_cellKey";
constexpr int kTabsTop = 5;
constexpr int kTabWidth = 104;
constexpr int kTabHeight = 26;
constexpr int kTableTop = 38;
constexpr int kTextLeft = 66;
constexpr int kMargin = 14;

const QString kTabStyle = QStringLiteral(
    "QPushButton { border: 1px solid #b9b9bf; background: #f7f7f9; color: #48484c; font-size: 12px; padding: 0; }"
    "QPushButton:checked { background: #5a5a60; color: white; border-color: #5a5a60; }");

template <class T>
QList<std::shared_ptr<T>> sortedByTitle(QList<std::shared_ptr<T>> list) {
  std::stable_sort(list.begin(), list.end(), [](const std::shared_ptr<T>& a, const std::shared_ptr<T>& b) {
    return QString::compare(a->title(), b->title(), Qt::CaseInsensitive) < 0;
  });
  return list;
}

// The unrecognised block, then the items with a section letter before each change of letter.
template <class T>
OXContentListViewController::Rows tabRows(const OXLibrary::FileList& unknown, const QList<std::shared_ptr<T>>& items) {
  OXContentListViewController::Rows rows;
  if (!unknown.isEmpty()) {
    rows << OXContentListViewController::Row{OXContentListViewController::kNotRecognized, {}};
    for (const auto& file : unknown) rows << OXContentListViewController::Row{{}, file};
  }
  QString letter;
  for (const auto& item : sortedByTitle(items)) {
    const QString next = OXContentListViewController::getCharacterForTitle(item->title());
    if (next != letter) rows << OXContentListViewController::Row{next, {}};
    letter = next;
    rows << OXContentListViewController::Row{{}, item};
  }
  return rows;
}

}  // namespace

OXContentListViewController::OXContentListViewController() : view_(new QWidget), gate_(std::make_shared<SyncGate>()) {
  view_->setObjectName(QStringLiteral("OXContentListViewController"));
  view_->resize(kWidth, kHeight);
  const auto makeTab = [this](const QString& title, int x) {
    auto* tab = new QPushButton(title, view_);
    tab->setCheckable(true);
    tab->setGeometry(x, kTabsTop, kTabWidth, kTabHeight);
    tab->setStyleSheet(kTabStyle);
    tab->setFocusPolicy(Qt::NoFocus);
    return tab;
  };
  movieButton_ = makeTab(tr("Movies"), kWidth / 2 - kTabWidth);
  showButton_ = makeTab(tr("TV Shows"), kWidth / 2 - 1);
  movieButton_->setChecked(true);
  connect(movieButton_, &QPushButton::clicked, this, [this] { switchMovieList(); });
  connect(showButton_, &QPushButton::clicked, this, [this] { switchShowList(); });
  new OXCustomLineView(QRect(0, kTableTop - 1, kWidth, 1), OXCustomLineView::kDefaultColour, view_);

  contentTableView_ = new ox::TableView(view_);
  contentTableView_->setGeometry(0, kTableTop, kWidth, kHeight - kTableTop);
  contentTableView_->setStyleSheet(QStringLiteral("ox--TableView { background: transparent; }"));
  contentTableView_->setModel(this);
  contentTableView_->setViewForRow([this](int row) { return viewForRow(row); });

  const QImage button = ox::imageNamed(QStringLiteral("button-identify@2x.png"));
  image78_ = NSImage_iOSBehaviour::leftCapWidth(button, 8, 78, 8);
  image88_ = NSImage_iOSBehaviour::leftCapWidth(button, 8, 88, 8);
  image102_ = NSImage_iOSBehaviour::leftCapWidth(button, 9, 102, 9);

  switchMovieList();
  reloadObserver_ = ox::NotificationCenter::defaultCenter().addObserver(
      OXPanelController::kReloadContentList, nullptr, [this](const ox::Notification&) { reloadData(); });
}

// ---------------------------------------------------------------------------------------------------------------
// Tabs and full builds

void OXContentListViewController::setPopUpState(int state) {
  state_ = state;
  if (state == 1) {
    reloadData();
    ox::NotificationCenter::defaultCenter().post(OXPanelListController::kLibraryChanged);
  } else {
    syncQueue_.cancelAllOperations();
    // A closed panel shows no poster, and a poster server that does not answer would hold the image queue; opening
    // again builds the rows and their loads anew.
    for (QLabel* view : contentTableView_->viewport()->findChildren<QLabel*>()) ox::cancelImageRequestOperation(view);
  }
}

int OXContentListViewController::buttonSegmentedSelected() const {
  if (movieButton_->isChecked()) return 1;
  return showButton_->isChecked() ? 2 : 0;
}

void OXContentListViewController::tabSelected(int tab) { selectedTab_ = tab; }

void OXContentListViewController::switchMovieList() { switchTab(true); }

void OXContentListViewController::switchShowList() { switchTab(false); }

void OXContentListViewController::switchTab(bool movies) {
  QPushButton* clicked = movies ? movieButton_ : showButton_;
  // A click on the selected tab turned it off: it goes back on and nothing else changes.
  if (!clicked->isChecked()) {
    clicked->setChecked(true);
    return;
  }
  (movies ? showButton_ : movieButton_)->setChecked(false);
  tabSelected(movies ? 1 : 2);
  buildAndReload(movies);
  ox::NotificationCenter::defaultCenter().post(OXPanelListController::kLibraryChanged);
}

void OXContentListViewController::reloadData() {
  ox::performOnMainThread(this, [this] { buildAndReload(movieButton_->isChecked()); });
}

void OXContentListViewController::buildAndReload(bool movies) {
  if (!movies) countEpisodes();
  setRows(movies ? buildMovieList() : buildShowList());
  // What waits was either in the store when it was read or comes after; neither needs the waiting step.
  syncQueue_.cancelAllOperations();
}

void OXContentListViewController::reloadTable() {
  ox::performOnMainThread(this, [this] {
    syncQueue_.cancelAllOperations();
    std::lock_guard hold(contentListLock_);
    beginResetModel();
    endResetModel();
  });
}

OXContentListViewController::Rows OXContentListViewController::buildMovieList() {
  OXLibrary* library = OXLibrary::shareLibrary();
  return tabRows(library->unknownMovieList(), library->movieList());
}

OXContentListViewController::Rows OXContentListViewController::buildShowList() {
  OXLibrary* library = OXLibrary::shareLibrary();
  return tabRows(library->unknownEpisodeList(), library->showList());
}

QString OXContentListViewController::getCharacterForTitle(const QString& title) {
  if (title.isEmpty()) return QStringLiteral("#");
  const char16_t c = title.toLower().at(0).unicode();
  if (c < u'a' || c > u'z') return QStringLiteral("#");
  return QString(QChar(c)).toUpper();
}

void OXContentListViewController::setRows(Rows rows) {
  std::lock_guard hold(contentListLock_);
  beginResetModel();
  sourceArray_ = std::move(rows);
  itemKeys_.reset();
  cellDictionary_.clear();
  endResetModel();
}

OXContentListViewController::Rows OXContentListViewController::sourceArray() const {
  std::lock_guard hold(contentListLock_);
  return sourceArray_;
}

QWidget* OXContentListViewController::cellForKey(const QString& key) const {
  std::lock_guard hold(contentListLock_);
  return cellDictionary_.value(key).data();
}

// ---------------------------------------------------------------------------------------------------------------
// The model

int OXContentListViewController::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  std::lock_guard hold(contentListLock_);
  return int(sourceArray_.size());
}

QVariant OXContentListViewController::data(const QModelIndex& index, int role) const {
  std::lock_guard hold(contentListLock_);
  const int row = index.row();
  const bool exists = index.isValid() && row < sourceArray_.size();
  if (role == Qt::SizeHintRole)
    return QSize(kWidth, exists && sourceArray_[row].isHeader() ? kHeaderRowHeight : kItemRowHeight);
  if (!exists) return {};
  const Row& r = sourceArray_[row];
  if (role == Qt::DisplayRole) return r.isHeader() ? r.header : titleOf(r.item);
  if (role == kKeyRole) return r.isHeader() ? QString() : keyOf(r.item);
  return {};
}

// Plain casts in these three: they run for rows of a long list, where shared copies would each cost atomic counts.
QString OXContentListViewController::keyOf(const ox::CodingPtr& item) {
  if (const auto* file = dynamic_cast<const OXFile*>(item.get())) return file->filePath();
  if (const auto* movie = dynamic_cast<const OXMovie*>(item.get())) {
    const auto file = movie->file();
    return file ? file->filePath() : QString();
  }
  if (const auto* show = dynamic_cast<const OXShow*>(item.get())) return QString::number(show->showID());
  return {};
}

QString OXContentListViewController::itemKeyOf(const Row& row) {
  return row.isHeader() || dynamic_cast<const OXFile*>(row.item.get()) ? QString() : keyOf(row.item);
}

QString OXContentListViewController::titleOf(const ox::CodingPtr& item) {
  if (const auto* file = dynamic_cast<const OXFile*>(item.get())) return file->fulltext();
  if (const auto* movie = dynamic_cast<const OXMovie*>(item.get())) return movie->title();
  if (const auto* show = dynamic_cast<const OXShow*>(item.get())) return show->title();
  return {};
}

// One pass over the store's episodes for the whole tab: a show row made while scrolling then costs no pass of its own.
void OXContentListViewController::countEpisodes() {
  QHash<quint64, qsizetype> counts;
  for (const auto& episode : OXLibrary::shareLibrary()->episodeList()) ++counts[episode->showID()];
  std::lock_guard hold(contentListLock_);
  episodeCounts_ = std::move(counts);
}

void OXContentListViewController::forgetEpisodeCount(quint64 showID) {
  std::lock_guard hold(contentListLock_);
  episodeCounts_.remove(showID);
}

QString OXContentListViewController::episodesText(quint64 showID) {
  {
    std::lock_guard hold(contentListLock_);
    if (const auto known = episodeCounts_.constFind(showID); known != episodeCounts_.constEnd())
      return tr("%1 episodes").arg(*known);
  }
  qsizetype count = 0;
  for (const auto& episode : OXLibrary::shareLibrary()->episodeList())
    if (episode->showID() == showID) ++count;
  std::lock_guard hold(contentListLock_);
  episodeCounts_.insert(showID, count);
  return tr("%1 episodes").arg(count);
}

// ---------------------------------------------------------------------------------------------------------------
// Row views

QString OXContentListViewController::fileNameOf(const std::shared_ptr<OXFile>& file) {
  return file ? ox::readableFileName(QFileInfo(file->filePath()).fileName()) : QString();
}

void OXContentListViewController::loadPoster(QLabel* view, const QUrl& poster, const QImage& failure) {
  // A row made again stops what its view still waited for.
  ox::cancelImageRequestOperation(view);
  view->clear();
  const QPointer<QLabel> weak(view);
  ox::AFImageLoader::Failure failed;
  if (!failure.isNull())
    failed = [weak, failure](const ox::HttpRequest&, const ox::HttpResponse&, const QString&) {
      if (weak) weak->setPixmap(QPixmap::fromImage(failure));
    };
  ox::setImageWithURLRequest(
      view, ox::AFImageLoader::imageRequest(OXCoreLibrary::get75ModeFromURL(poster), OXDownloadBounds::kThumbnail),
      QImage(),
      [weak](const ox::HttpRequest*, const ox::HttpResponse*, const QByteArray& data) {
        if (!weak) return;
        weak->setPixmap(QPixmap::fromImage(QImage::fromData(data)));
        weak->show();
      },
      failed, OXDownloadBounds::kThumbnailPixels);
}

QWidget* OXContentListViewController::viewForRow(int row) {
  Row r;
  {
    std::lock_guard hold(contentListLock_);
    if (row < 0 || row >= sourceArray_.size()) return nullptr;
    r = sourceArray_[row];
  }
  if (r.isHeader()) {
    QWidget* separator = contentTableView_->makeViewWithIdentifier(QStringLiteral("Separator"));
    if (!separator) separator = makeSeparatorView();
    ox::viewWithTag<QLabel>(separator, 1)->setText(r.header);
    return separator;
  }
  auto* cell = static_cast<OXTableCellViewHover*>(contentTableView_->makeViewWithIdentifier(QStringLiteral("ContentCell")));
  if (!cell) cell = makeContentView();
  fillContentView(cell, r);
  return cell;
}

QWidget* OXContentListViewController::makeSeparatorView() {
  auto* separator = new QWidget;
  separator->setObjectName(QStringLiteral("Separator"));
  separator->resize(kWidth, kHeaderRowHeight);
  separator->setAttribute(Qt::WA_StyledBackground);
  separator->setStyleSheet(QStringLiteral("#Separator { background: #efeff2; }"));
  OXTableCellViewHover::addField(separator, QRect(kMargin, 0, kWidth - 2 * kMargin, kHeaderRowHeight), 1,
                                 QStringLiteral("color: #7c7c82; font-size: 11px; font-weight: bold;"));
  new OXCustomLineView(QRect(0, kHeaderRowHeight - 1, kWidth, 1), OXCustomLineView::kDefaultColour, separator);
  return separator;
}

OXTableCellViewHover* OXContentListViewController::makeContentView() {
  const auto [cell, poster, title, second] =
      OXTableCellViewHover::makeMediaRow(QSize(kWidth, kItemRowHeight), QRect(kMargin, 7, 40, 60), kTextLeft, 9, 28);
  auto* button = new ox::ImageButton(cell);
  ox::setTag(button, 4);
  button->setGeometry(kTextLeft, 47, 94, 20);
  QFont small = button->font();
  small.setPixelSize(11);
  button->setFont(small);
  connect(button, &QAbstractButton::clicked, this, [this, button] { actionMovie(button); });
  QLabel* key = OXTableCellViewHover::addField(cell, QRect(), 5, {});
  key->hide();
  return cell;
}

void OXContentListViewController::fillContentView(OXTableCellViewHover* cell, const Row& row) {
  auto* poster = ox::viewWithTag<QLabel>(cell, 1);
  auto* title = ox::viewWithTag<QLabel>(cell, 2);
  auto* second = ox::viewWithTag<QLabel>(cell, 3);
  auto* button = static_cast<ox::ImageButton*>(ox::viewWithTag(cell, 4));
  auto* key = ox::viewWithTag<QLabel>(cell, 5);
  // A cell used again no longer stands for the item it showed before.
  const QString shown = cell->property(kCellKeyProperty).toString();
  {
    std::lock_guard hold(contentListLock_);
    if (!shown.isEmpty() && cellDictionary_.value(shown) == cell) cellDictionary_.remove(shown);
  }
  const auto remember = [this, cell](const QString& dictionaryKey) {
    cell->setProperty(kCellKeyProperty, dictionaryKey);
    std::lock_guard hold(contentListLock_);
    cellDictionary_.insert(dictionaryKey, cell);
  };
  const auto setButton = [button](const QString& text, int width, const QImage& background) {
    button->setText(text);
    button->resize(width, button->height());
    button->setBackgroundImage(background);
  };
  QUrl posterURL;
  if (auto file = std::dynamic_pointer_cast<OXFile>(row.item)) {
    cell->setProperty(kCellKeyProperty, QVariant());
    key->setText(file->filePath());
    ox::cancelImageRequestOperation(poster);
    poster->setPixmap(QPixmap::fromImage(ox::imageNamed(QStringLiteral("artwork-nomovie@2x.png"))));
    OXTableCellViewHover::setElidedText(title, file->fulltext());
    OXTableCellViewHover::setElidedText(second, fileNameOf(file));
    if (file->type() == OXFile::kTypeEpisode)
      setButton(tr("Identify Episode"), 104, image88_);
    else
      setButton(tr("Identify Movie"), 94, image78_);
  } else if (auto show = std::dynamic_pointer_cast<OXShow>(row.item)) {
    const QString showKey = QString::number(show->showID());
    second->setText(episodesText(show->showID()));
    second->setToolTip(QString());
    key->setText(showKey);
    remember(showKey);
    OXTableCellViewHover::setElidedText(title, show->title());
    posterURL = show->poster();
  } else if (auto movie = std::dynamic_pointer_cast<OXMovie>(row.item)) {
    OXTableCellViewHover::setElidedText(second, fileNameOf(movie->file()));
    key->setText(keyOf(movie));
    remember(movie->imdb());
    OXTableCellViewHover::setElidedText(title, movie->title());
    posterURL = movie->poster();
  }
  if (!std::dynamic_pointer_cast<OXFile>(row.item)) {
    setButton(tr("Fix Incorrect Match"), 120, image102_);
    loadPoster(poster, posterURL);
  }
  cell->setButton(button);
}

// ---------------------------------------------------------------------------------------------------------------
// Row action

void OXContentListViewController::actionMovie(QWidget* sender) {
  QLabel* keyField = sender ? ox::viewWithTag<QLabel>(sender->parentWidget(), 5) : nullptr;
  if (!keyField || !delegate_) return;
  const QString key = keyField->text();
  OXLibrary* library = OXLibrary::shareLibrary();
  const bool movies = movieButton_->isChecked();
  ox::CodingPtr found;
  for (const auto& file : movies ? library->unknownMovieList() : library->unknownEpisodeList())
    if (file->filePath() == key) {
      found = file;
      break;
    }
  if (!found && movies) {
    for (const auto& movie : library->movieList())
      if (movie->file() && movie->file()->filePath() == key) {
        found = movie;
        break;
      }
  } else if (!found) {
    for (const auto& episode : library->episodeList())
      if (episode->file() && episode->file()->filePath() == key) {
        found = episode;
        break;
      }
  }
  bool isNumber = false;
  const quint64 showID = key.toULongLong(&isNumber);
  if (!found && isNumber) {
    for (const auto& show : library->showList())
      if (show->showID() == showID) {
        found = show;
        break;
      }
  }
  if (found) delegate_->pushToSearchListWithData(found);
}
