#include "gui/file_list_model.h"

#include <QBrush>
#include <QLocale>

#include "core/address_password.h"
#include "core/app_error.h"

namespace trawlbox {
namespace {

QString Counted(qsizetype count) {
  return QLocale(QLocale::English).toString(qint64(count));
}

// What a row shows of its address: a password in it as "***".
QString ShownAddress(const QString& text) {
  return text.contains(QLatin1Char('@')) ? HidePasswords(text) : text;
}

}  // namespace

QString TotalText(const ListTotals& totals) {
  QString text = QStringLiteral("%1 of %2 %3 ticked")
                     .arg(Counted(totals.ticked), Counted(totals.rows),
                          totals.rows == 1 ? QStringLiteral("row")
                                           : QStringLiteral("rows"));
  const bool sized = totals.ticked_rounded > 0 || totals.ticked_bytes > 0;
  if (sized) {
    text += QStringLiteral(" \u00b7 ");
    if (totals.ticked_rounded > 0) text += QLatin1Char('~');
    text += BytesText(totals.ticked_bytes);
  }
  if (totals.ticked_unknown > 0) {
    text += QStringLiteral(" (%1 %2 not known yet)")
                .arg(Counted(totals.ticked_unknown),
                     totals.ticked_unknown == 1 ? QStringLiteral("size")
                                                : QStringLiteral("sizes"));
  }
  return text;
}

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

void FileListModel::Clear() {
  if (rows_.empty()) return;
  beginResetModel();
  rows_.clear();
  rows_.shrink_to_fit();
  slots_.clear();
  slots_.shrink_to_fit();
  published_ = 0;
  totals_ = ListTotals();
  endResetModel();
  emit TotalsChanged();
}

void FileListModel::Add(const QString& text) {
  if (rows_.size() >= static_cast<size_t>(std::numeric_limits<int>::max())) {
    Raise(ErrorKind::kOverflow);
  }
  const size_t hash = qHash(text, QHashSeed::globalSeed());
  rows_.push_back(Row{text, QString()});
  IndexRow(Count() - 1, hash);
  ++totals_.rows;
  Tally(rows_.back(), +1);
  emit RowAdded();
  emit TotalsChanged();
}

void FileListModel::Publish() {
  const qsizetype count = Count();
  if (published_ == count) return;
  beginInsertRows(QModelIndex(), static_cast<int>(published_),
                  static_cast<int>(count - 1));
  published_ = count;
  endInsertRows();
}

bool FileListModel::IsListed(const QString& text) const {
  return PositionOf(text) > 0;
}

qsizetype FileListModel::PositionOf(const QString& text) const {
  if (slots_.empty()) return 0;
  const size_t hash = qHash(text, QHashSeed::globalSeed());
  return slots_[FindSlot(text, hash)].row + 1;
}

size_t FileListModel::FindSlot(const QString& text, size_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.row < 0 || (slot.hash == hash &&
                         rows_[static_cast<size_t>(slot.row)].text == text)) {
      return i;
    }
  }
}

void FileListModel::IndexRow(qsizetype row, size_t hash) {
  if (2 * rows_.size() > slots_.size()) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(std::max<size_t>(64, 2 * old.size()), Slot{});
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.row < 0) continue;
      size_t i = slot.hash & mask;
      while (slots_[i].row >= 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }
  Slot& slot = slots_[FindSlot(rows_[static_cast<size_t>(row)].text, hash)];
  // A duplicate text keeps the row it was first listed under.
  if (slot.row < 0) slot = Slot{hash, row};
}

size_t FileListModel::RowBytes() { return sizeof(Row); }

qsizetype FileListModel::Count() const {
  return static_cast<qsizetype>(rows_.size());
}

const FileListModel::Row& FileListModel::At(qsizetype position) const {
  if (position < 1 || position > Count()) Raise(ErrorKind::kInvalidCall);
  return rows_[static_cast<size_t>(position - 1)];
}

FileListModel::Row& FileListModel::At(qsizetype position) {
  return const_cast<Row&>(std::as_const(*this).At(position));
}

QString FileListModel::Text(qsizetype position) const {
  return At(position).text;
}

bool FileListModel::Ticked(qsizetype position) const {
  return At(position).ticked;
}

void FileListModel::Tally(const Row& row, int sign) {
  if (!row.ticked) return;
  totals_.ticked += sign;
  if (IsFolderRow(row.text)) return;
  if (row.known == SizeKnown::kUnknown) {
    totals_.ticked_unknown += sign;
    return;
  }
  totals_.ticked_bytes += sign * row.bytes;
  if (row.known == SizeKnown::kApprox) totals_.ticked_rounded += sign;
}

void FileListModel::SetRowTicked(Row& row, bool ticked) {
  Tally(row, -1);
  row.ticked = ticked;
  Tally(row, +1);
}

// A change that changes nothing repaints nothing: a download marks every
// row it stores, almost always with no failure at all.
void FileListModel::SetTicked(qsizetype position, bool ticked) {
  Row& row = At(position);
  if (row.ticked == ticked) return;
  SetRowTicked(row, ticked);
  EmitRowsChanged(position, position, kAddressColumn, kAddressColumn,
                  Qt::CheckStateRole);
  emit TotalsChanged();
}

void FileListModel::MarkFailed(qsizetype position, const QString& reason) {
  Row& row = At(position);
  if (row.failure == reason) return;
  row.failure = reason;
  EmitRowsChanged(position, position, kAddressColumn, kSizeColumn,
                  Qt::ForegroundRole);
}

QString FileListModel::FailureOf(qsizetype position) const {
  return At(position).failure;
}

RowSize FileListModel::SizeOf(qsizetype position) const {
  const Row& row = At(position);
  return {row.bytes, row.known};
}

void FileListModel::SetSize(qsizetype position, const RowSize& size) {
  Row& row = At(position);
  const RowSize current{row.bytes, row.known};
  if (IsFolderRow(row.text) || size == current || !ImprovesOn(size, current)) {
    return;
  }
  Tally(row, -1);
  row.bytes = size.bytes;
  row.known = size.known;
  Tally(row, +1);
  EmitRowsChanged(position, position, kSizeColumn, kSizeColumn,
                  Qt::DisplayRole);
  emit TotalsChanged();  // the total, and counts of size bounds
}

qsizetype FileListModel::CountWhere(const RowTest& test) const {
  qsizetype count = 0;
  for (const Row& row : rows_) {
    if (test(row.text, RowSize{row.bytes, row.known})) ++count;
  }
  return count;
}

qsizetype FileListModel::SetTickedWhere(const RowTest& test, bool ticked) {
  qsizetype changed = 0;
  qsizetype first = 0;
  qsizetype last = 0;
  for (qsizetype i = 0; i < Count(); ++i) {
    Row& row = rows_[static_cast<size_t>(i)];
    if (row.ticked == ticked ||
        !test(row.text, RowSize{row.bytes, row.known})) {
      continue;
    }
    SetRowTicked(row, ticked);
    if (changed++ == 0) first = i + 1;
    last = i + 1;
  }
  if (changed == 0) return 0;
  EmitRowsChanged(first, last, kAddressColumn, kAddressColumn,
                  Qt::CheckStateRole);
  emit TotalsChanged();
  return changed;
}

void FileListModel::EmitRowsChanged(qsizetype first, qsizetype last,
                                    int first_column, int last_column,
                                    int role) {
  last = std::min(last, published_);
  if (first > last) return;
  emit dataChanged(index(static_cast<int>(first - 1), first_column),
                   index(static_cast<int>(last - 1), last_column), {role});
}

void FileListModel::set_header(const QString& header) {
  header_ = header;
  emit headerDataChanged(Qt::Horizontal, kAddressColumn, kAddressColumn);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(published_);
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= published_) return {};
  const Row& row = rows_[static_cast<size_t>(index.row())];
  const bool address = index.column() == kAddressColumn;
  switch (role) {
    case Qt::DisplayRole:
      return address ? ShownAddress(row.text)
                     : SizeText(RowSize{row.bytes, row.known});
    case Qt::CheckStateRole:
      if (!address) return {};
      return row.ticked ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
      if (address) return {};
      return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ForegroundRole:
      return row.failure.isEmpty() ? QVariant() : QBrush(Qt::red);
    case Qt::ToolTipRole:
      return row.failure.isEmpty() ? QVariant() : row.failure;
    default:
      return {};
  }
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value,
                            int role) {
  if (!index.isValid() || index.row() >= published_ ||
      index.column() != kAddressColumn || role != Qt::CheckStateRole) {
    return false;
  }
  const auto state = static_cast<Qt::CheckState>(value.toInt());
  Row& row = rows_[static_cast<size_t>(index.row())];
  if (row.ticked == (state == Qt::Checked)) return true;
  SetRowTicked(row, state == Qt::Checked);
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit TotalsChanged();
  return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags =
      Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (index.column() == kAddressColumn) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation,
                                   int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) {
    if (section == kAddressColumn) return header_;
    if (section == kSizeColumn) return QStringLiteral("Size");
  }
  if (role == Qt::TextAlignmentRole && section == kSizeColumn) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  return {};
}

}  // namespace trawlbox
