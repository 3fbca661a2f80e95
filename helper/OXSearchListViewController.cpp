#include "helper/OXSearchListViewController.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <limits>

#include "core/OXLibrary.h"
#include "helper/NSImage_iOSBehaviour.h"
#include "helper/OXContentListViewController.h"
#include "helper/OXCustomLineView.h"
#include "helper/OXPanelListControllerDelegate.h"
#include "helper/OXTableCellViewHover.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ImageButton.h"
#include "platform/ui/Images.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewTag.h"
#include "scanner/OXOmbrixOSXAPI.h"

const QString OXSearchListViewController::kChangePopUpTitleNotification =
    QStringLiteral("changePopUpTitleNotification");

namespace {

constexpr int kTableTop = 72;
constexpr int kMargin = 14;
constexpr int kTextLeft = 76;
constexpr int kButtonWidth = 150;
constexpr int kLabelLimit = 80;
const QColor kButtonTitleColour = QColor::fromRgbF(0.31, 0.54, 0.10, 1.0);

// The file a content carries: the file itself, or a movie's or an episode's.
std::shared_ptr<OXFile> fileOf(const ox::CodingPtr& content) {
  if (auto file = std::dynamic_pointer_cast<OXFile>(content)) return file;
  if (auto movie = std::dynamic_pointer_cast<OXMovie>(content)) return movie->file();
  if (auto episode = std::dynamic_pointer_cast<OXEpisode>(content)) return episode->file();
  return nullptr;
}

template <class T>
QList<ox::CodingPtr> records(const QList<std::shared_ptr<T>>& list) {
  QList<ox::CodingPtr> out;
  out.reserve(list.size());
  for (const auto& record : list) out << record;
  return out;
}

}  // namespace

OXSearchListViewController::OXSearchListViewController()
    : view_(new QWidget), cancel_(std::make_shared<ox::HttpCancel>()) {
  view_->setObjectName(QStringLiteral("OXSearchListViewController"));
  view_->resize(kWidth, kHeight);
  view_->installEventFilter(this);

  backButton_ = new QPushButton(tr("Back"), view_);
  backButton_->setGeometry(8, 6, 56, 26);
  backButton_->setFlat(true);
  backButton_->setFocusPolicy(Qt::NoFocus);
  backButton_->setStyleSheet(QStringLiteral("color: #48484c; font-size: 12px;"));
  connect(backButton_, &QPushButton::clicked, this, [this] { back(); });
  searchTextField_ = new QLineEdit(view_);
  searchTextField_->setGeometry(68, 6, kWidth - 68 - kMargin, 26);
  searchTextField_->setClearButtonEnabled(true);
  searchTextField_->setPlaceholderText(tr("Title"));
  connect(searchTextField_, &QLineEdit::returnPressed, this, [this] { search(); });
  filenameLabel_ = new QLabel(view_);
  filenameLabel_->setGeometry(kMargin, 36, kWidth - 2 * kMargin, 32);
  filenameLabel_->setWordWrap(true);
  filenameLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  filenameLabel_->setStyleSheet(QStringLiteral("color: #8e8e93; font-size: 11px;"));
  new OXCustomLineView(QRect(0, kTableTop - 1, kWidth, 1), OXCustomLineView::kDefaultColour, view_);

  contentTableView_ = new ox::TableView(view_);
  contentTableView_->setGeometry(0, kTableTop, kWidth, kHeight - kTableTop);
  contentTableView_->setStyleSheet(QStringLiteral("ox--TableView { background: transparent; }"));
  contentTableView_->setModel(this);
  contentTableView_->setViewForRow([this](int row) { return viewForRow(row); });
  contentTableView_->hide();
  connect(contentTableView_, &ox::TableView::boundsChanged, this, [this] { scrollChanged(); });

  progressIndicator_ = new QProgressBar(view_);
  progressIndicator_->setGeometry((kWidth - 90) / 2, 200, 90, 6);
  progressIndicator_->setTextVisible(false);
  progressIndicator_->setRange(0, 0);
  progressIndicator_->hide();
  message_ = new QLabel(view_);
  message_->setGeometry(kMargin, 214, kWidth - 2 * kMargin, 40);
  message_->setAlignment(Qt::AlignCenter);
  message_->setWordWrap(true);
  message_->setStyleSheet(QStringLiteral("color: #7c7c82; font-size: 13px;"));
  message_->hide();

  const QImage ok = ox::imageNamed(QStringLiteral("button-identify-ok@2x.png"));
  buttonImage_ = NSImage_iOSBehaviour::leftCapWidth(ok, 9, kButtonWidth - 20, 9);
}

OXSearchListViewController::~OXSearchListViewController() {
  cancel_->cancel();
  searchQueue_.close();
  delete view_.data();
}

// ---------------------------------------------------------------------------------------------------------------
// The item

void OXSearchListViewController::changePopUpTitleForContent(const ox::CodingPtr& content) {
  QString title;
  if (!content)
    title = QStringLiteral("Ombrix Helper");
  else if (auto file = std::dynamic_pointer_cast<OXFile>(content))
    title = file->type() == OXFile::kTypeMovie ? QStringLiteral("Identify Movie") : QStringLiteral("Identify Show");
  else
    title = QStringLiteral("Fix incorrect match");
  ox::NotificationCenter::defaultCenter().post(kChangePopUpTitleNotification, &title);
}

QString OXSearchListViewController::filenamesForShow(quint64 showID, QString* firstTitle) {
  QString text;
  bool first = true;
  for (const auto& episode : OXLibrary::shareLibrary()->episodeList()) {
    if (episode->showID() != showID) continue;
    const auto file = episode->file();
    if (first && firstTitle && file) *firstTitle = file->fulltext();
    first = false;
    text += OXContentListViewController::fileNameOf(file);
    if (text.size() > kLabelLimit) return text;
    text += QStringLiteral(", ");
  }
  // No separator after the last name.
  if (text.endsWith(QStringLiteral(", "))) text.chop(2);
  return text;
}

void OXSearchListViewController::setContent(const ox::CodingPtr& content) {
  content_ = content;
  changePopUpTitleForContent(content);
  if (auto show = std::dynamic_pointer_cast<OXShow>(content)) {
    QString title;
    filenameLabel_->setText(filenamesForShow(show->showID(), &title));
    searchTextField_->setText(title.isEmpty() ? show->title() : title);
  } else {
    const auto file = fileOf(content);
    filenameLabel_->setText(OXContentListViewController::fileNameOf(file));
    searchTextField_->setText(file ? file->fulltext() : QString());
  }
  searchTextField_->setFocus();
  // A search still running for an earlier item is stale now: its answer is dropped when it comes.
  search();
}

// ---------------------------------------------------------------------------------------------------------------
// Searching

void OXSearchListViewController::search() {
  observingBounds_ = false;
  endReached_ = false;
  ++searchNumber_;
  showStatus(tr("Searching"), true);
  contentTableView_->hide();
  searchFrom(0);
}

void OXSearchListViewController::searchFrom(quint64 start) {
  // The query is taken now, on the main thread, from the field and the item as they are.
  const auto file = std::dynamic_pointer_cast<OXFile>(content_);
  const QString text = searchTextField_->text();
  const QString query = file ? file->filterTextForFullText(text) : OXFile().filterTextForFullText(text);
  const bool movies = file ? file->type() == OXFile::kTypeMovie : bool(std::dynamic_pointer_cast<OXMovie>(content_));
  const quint64 number = searchNumber_;
  const QPointer<OXSearchListViewController> self(this);
  searchQueue_.addOperationWithBlock([self, cancel = cancel_, query, movies, start, number] {
    ox::HttpCancelScope scope(cancel);
    OXOmbrixOSXAPI api;
    const QList<ox::CodingPtr> results =
        movies ? records(api.searchMovieFullTextAndStart(query, start)) : records(api.searchShowFullText(query, start));
    if (cancel->isCancelled()) return;  // the page is gone
    ox::dispatchMain([self, number, start, results] {
      if (self) self->answered(number, start, results);
    });
  });
}

void OXSearchListViewController::answered(quint64 number, quint64 start, const QList<ox::CodingPtr>& results) {
  // A newer search, an item change or a choice came since: this answer belongs to none of them.
  if (number != searchNumber_ || (start != 0 && start != quint64(sourceArray_.size()))) {
    ++droppedAnswers_;
    return;
  }
  if (start == 0) {
    if (results.isEmpty()) {
      showStatus(tr("No results were found"), false);
      contentTableView_->hide();
      return;
    }
    beginResetModel();
    sourceArray_ = results;
    endResetModel();
  } else if (!results.isEmpty()) {
    beginInsertRows(QModelIndex(), int(sourceArray_.size()), int(sourceArray_.size() + results.size()) - 1);
    sourceArray_ += results;
    endInsertRows();
  } else {
    // Nothing more: the list stays as it is and asks no further.
    endReached_ = true;
  }
  numberOfRowsTemp_ = quint64(sourceArray_.size());
  showResults();
}

void OXSearchListViewController::showResults() {
  progressIndicator_->hide();
  message_->hide();
  contentTableView_->show();
  contentTableView_->makeVisibleRowViews();
  observingBounds_ = true;
}

void OXSearchListViewController::showStatus(const QString& text, bool spinning) {
  message_->setText(text);
  message_->show();
  progressIndicator_->setVisible(spinning);
}

void OXSearchListViewController::scrollChanged() {
  if (!observingBounds_ || endReached_) return;
  const QRect bounds = contentTableView_->viewport()->rect();
  const int row = contentTableView_->rowAtPoint(QPoint(bounds.x(), bounds.y() + bounds.height() - 1));
  const quint64 bottom = row < 0 ? std::numeric_limits<quint64>::max() : quint64(row);
  if (numberOfRowsTemp_ == 0 || numberOfRowsTemp_ % kPageSize != 0 || bottom < numberOfRowsTemp_ - 4) return;
  const quint64 start = quint64(sourceArray_.size());
  numberOfRowsTemp_ += kPageSize;
  searchFrom(start);
}

// ---------------------------------------------------------------------------------------------------------------
// Leaving

void OXSearchListViewController::markMovie(QWidget* sender) {
  const int row = contentTableView_->rowForView(sender);
  if (row < 0 || row >= sourceArray_.size() || !delegate_) return;
  const ox::CodingPtr chosen = sourceArray_[row];
  if (auto movie = std::dynamic_pointer_cast<OXMovie>(chosen)) {
    const auto file = std::dynamic_pointer_cast<OXFile>(content_);
    if (file && file->type() == OXFile::kTypeMovie)
      movie->setFile(file);
    else if (auto wrong = std::dynamic_pointer_cast<OXMovie>(content_))
      movie->setFile(wrong->file());
  }
  observingBounds_ = false;
  const quint64 applying = ++searchNumber_;
  showStatus(tr("Applying changes"), true);
  contentTableView_->hide();
  const QPointer<OXSearchListViewController> self(this);
  delegate_->fixContent(content_, chosen, [self, applying] {
    // The page went on to something else meanwhile (back, Escape and a new item): it stays there.
    if (!self || self->searchNumber_ != applying) return;
    self->progressIndicator_->hide();
    if (self->delegate_) self->delegate_->popToContentList();
    changePopUpTitleForContent(nullptr);
  });
}

void OXSearchListViewController::back() {
  ++searchNumber_;
  observingBounds_ = false;
  progressIndicator_->hide();
  contentTableView_->hide();
  beginResetModel();
  sourceArray_.clear();
  numberOfRowsTemp_ = 0;
  endResetModel();
  if (delegate_) delegate_->popToContentList();
  changePopUpTitleForContent(nullptr);
}

void OXSearchListViewController::keyDown(int key) {
  if (key != Qt::Key_Escape) return;
  changePopUpTitleForContent(nullptr);
  if (delegate_) delegate_->popToContentList();
}

bool OXSearchListViewController::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    keyDown(key);
    return key == Qt::Key_Escape;
  }
  return QAbstractListModel::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------------------------
// Rows

int OXSearchListViewController::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(sourceArray_.size());
}

QVariant OXSearchListViewController::data(const QModelIndex& index, int role) const {
  if (role == Qt::SizeHintRole) return QSize(kWidth, kRowHeight);
  if (!index.isValid() || index.row() >= sourceArray_.size()) return {};
  const ox::CodingPtr& record = sourceArray_[index.row()];
  if (role == Qt::DisplayRole) {
    if (auto movie = std::dynamic_pointer_cast<OXMovie>(record)) return movie->title();
    if (auto show = std::dynamic_pointer_cast<OXShow>(record)) return show->title();
  }
  return {};
}

QString OXSearchListViewController::detailText(const ox::CodingPtr& record) {
  const OXMediaFields* fields = nullptr;
  if (auto movie = std::dynamic_pointer_cast<OXMovie>(record)) fields = movie.get();
  if (auto show = std::dynamic_pointer_cast<OXShow>(record)) fields = show.get();
  if (!fields) return {};
  QString text;
  if (fields->year() != 0) text += QStringLiteral("%1 | ").arg(fields->year());
  const QStringList genres = fields->genres();
  if (!genres.isEmpty()) text += genres.mid(0, 2).join(QStringLiteral(", ")) + QStringLiteral(" | ");
  if (fields->runtime() != 0) text += QStringLiteral("%1 min | ").arg(fields->runtime());
  if (text.size() >= 4) text.chop(3);
  return text;
}

QWidget* OXSearchListViewController::viewForRow(int row) {
  if (row < 0 || row >= sourceArray_.size()) return nullptr;
  const ox::CodingPtr record = sourceArray_[row];
  const auto movie = std::dynamic_pointer_cast<OXMovie>(record);
  const auto show = std::dynamic_pointer_cast<OXShow>(record);
  const OXMediaFields* fields = movie ? static_cast<const OXMediaFields*>(movie.get()) : show.get();
  if (!fields) return nullptr;

  const auto [cell, poster, title, detail] =
      OXTableCellViewHover::makeMediaRow(QSize(kWidth, kRowHeight), QRect(kMargin, 6, 50, 75), kTextLeft, 10, 30);
  OXTableCellViewHover::setElidedText(title, fields->title());
  OXTableCellViewHover::setElidedText(detail, detailText(record));
  auto* button = new ox::ImageButton(cell);
  ox::setTag(button, 4);
  button->setGeometry(kTextLeft, 54, kButtonWidth, 24);
  button->setBackgroundImage(buttonImage_);
  button->setTitleColor(kButtonTitleColour);
  button->setText(movie ? tr("This is the movie!") : tr("This is the show!"));
  connect(button, &QAbstractButton::clicked, this, [this, button] { markMovie(button); });
  cell->setButton(button);

  OXContentListViewController::loadPoster(poster, fields->poster(),
                                          ox::imageNamed(QStringLiteral("artwork-nomovie@2x.png")));
  return cell;
}
