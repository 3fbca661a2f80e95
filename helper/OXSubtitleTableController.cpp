#include "helper/OXSubtitleTableController.h"

#include <QCheckBox>
#include <QLabel>

#include "core/OXLibrary.h"
#include "helper/OXTableCellViewHover.h"
#include "platform/ui/ViewTag.h"
#include "scanner/OXCoreLibrary.h"

namespace {

const QString kLanguageName = QStringLiteral("LanguageName");
const QString kEnable = QStringLiteral("enable");

QString nameOf(const QVariant& entry) { return entry.toMap().value(kLanguageName).toString(); }

}  // namespace

OXSubtitleTableController::OXSubtitleTableController() { rebuildDataSource(); }

void OXSubtitleTableController::setTableView(ox::TableView* table) {
  table_ = table;
  table->setModel(this);
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->setViewForRow([this](int row) { return viewForRow(row); });
}

void OXSubtitleTableController::rebuildDataSource() {
  beginResetModel();
  enableArray_.clear();
  disableArray_.clear();
  for (const QVariant& entry : OXLibrary::shareLibrary()->subtitleLanguages())
    (entry.toMap().value(kEnable).toBool() ? enableArray_ : disableArray_) << entry;
  endResetModel();
}

int OXSubtitleTableController::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(enableArray_.size() + disableArray_.size()) + 2;
}

bool OXSubtitleTableController::isHeaderRow(int row) const { return row == 0 || row == enableArray_.size() + 1; }

QVariantMap OXSubtitleTableController::entryAtRow(int row) const {
  const qsizetype enabled = enableArray_.size();
  if (row >= 1 && row <= enabled) return enableArray_[row - 1].toMap();
  if (row >= enabled + 2 && row - enabled - 2 < disableArray_.size()) return disableArray_[row - enabled - 2].toMap();
  return {};
}

QVariant OXSubtitleTableController::data(const QModelIndex& index, int role) const {
  const int row = index.row();
  if (role == Qt::SizeHintRole) return QSize(0, isHeaderRow(row) ? kHeaderRowHeight : kLanguageRowHeight);
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  if (row == 0) return tr("Enabled Languages");
  if (isHeaderRow(row)) return tr("Disabled Languages");
  return entryAtRow(row).value(kLanguageName);
}

Qt::ItemFlags OXSubtitleTableController::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QWidget* OXSubtitleTableController::viewForRow(int row) {
  if (isHeaderRow(row)) {
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("OXHeaderLanguage"));
    header->setAttribute(Qt::WA_StyledBackground);
    header->setStyleSheet(
        QStringLiteral("#OXHeaderLanguage { background: #efeff2; border-bottom: 1px solid #d8d8dc; }"));
    OXTableCellViewHover::addField(header, QRect(10, 0, 300, kHeaderRowHeight), 1,
                                   QStringLiteral("color: #55555b; font-weight: bold; font-size: 12px;"))
        ->setText(row == 0 ? tr("Enabled Languages") : tr("Disabled Languages"));
    return header;
  }
  auto* cell = new QWidget;
  cell->setObjectName(QStringLiteral("OXLanguageCheckBox"));
  auto* box = new QCheckBox(QStringLiteral("    %1").arg(entryAtRow(row).value(kLanguageName).toString()), cell);
  ox::setTag(box, 1);
  box->setGeometry(12, 0, 360, kLanguageRowHeight);
  box->setFocusPolicy(Qt::NoFocus);
  box->setChecked(row <= enableArray_.size());
  connect(box, &QCheckBox::toggled, this, [this, box] { checkBoxChanged(box); });
  return cell;
}

qsizetype OXSubtitleTableController::sortedPosition(const QVariantList& list, const QVariantMap& entry) {
  // The first place whose name sorts after the entry's: a section stays alphabetical when it was.
  const QString name = entry.value(kLanguageName).toString();
  qsizetype at = 0;
  while (at < list.size() && QString::compare(nameOf(list[at]), name, Qt::CaseInsensitive) <= 0) ++at;
  return at;
}

void OXSubtitleTableController::checkBoxChanged(QCheckBox* sender) {
  if (!table_) return;
  const int row = table_->rowForView(sender);
  if (row < 0 || isHeaderRow(row)) return;
  const bool enable = sender->isChecked();
  const qsizetype enabled = enableArray_.size();
  // A box already in the section of its state has nothing to move.
  if (enable == (row <= enabled)) return;
  OXCoreLibrary* engine = OXCoreLibrary::shareCoreLibrary();
  QVariantMap entry = entryAtRow(row);
  entry.insert(kEnable, enable);
  const QString name = entry.value(kLanguageName).toString();
  int newRow = 0;
  beginRemoveRows({}, row, row);
  (enable ? disableArray_ : enableArray_).removeAt(enable ? row - enabled - 2 : row - 1);
  endRemoveRows();
  if (enable) {
    engine->enableSubtitleLanguage(name);
    const qsizetype at = sortedPosition(enableArray_, entry);
    newRow = int(at) + 1;
    beginInsertRows({}, newRow, newRow);
    enableArray_.insert(at, entry);
  } else {
    engine->disableSubtitleLanguage(name);
    const qsizetype at = sortedPosition(disableArray_, entry);
    newRow = int(at + enableArray_.size()) + 2;
    beginInsertRows({}, newRow, newRow);
    disableArray_.insert(at, entry);
  }
  endInsertRows();
}
