#include "gui/file_list_model.h"

#include <QBrush>

#include "core/app_error.h"

namespace trawlbox {

FileListModel::FileListModel(QObject* parent) : QAbstractListModel(parent) {}

void FileListModel::Clear() {
  if (rows_.empty()) return;
  beginResetModel();
  rows_.clear();
  rows_.shrink_to_fit();
  slots_.clear();
  slots_.shrink_to_fit();
  published_ = 0;
  endResetModel();
}

void FileListModel::Add(const QString& text) {
  if (rows_.size() >= static_cast<size_t>(std::numeric_limits<int>::max())) {
    Raise(ErrorKind::kOverflow);
  }
  const size_t hash = qHash(text, QHashSeed::globalSeed());
  rows_.push_back(Row{text, QString(), true});
  IndexRow(Count() - 1, hash);
  emit RowAdded();
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
  if (slots_.empty()) return false;
  const size_t hash = qHash(text, QHashSeed::globalSeed());
  return slots_[FindSlot(text, hash)].row >= 0;
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

// A change that changes nothing repaints nothing: a download marks every
// row it stores, almost always with no failure at all.
void FileListModel::SetTicked(qsizetype position, bool ticked) {
  Row& row = At(position);
  if (row.ticked == ticked) return;
  row.ticked = ticked;
  EmitRowChanged(position, Qt::CheckStateRole);
}

void FileListModel::MarkFailed(qsizetype position, const QString& reason) {
  Row& row = At(position);
  if (row.failure == reason) return;
  row.failure = reason;
  EmitRowChanged(position, Qt::ForegroundRole);
}

QString FileListModel::FailureOf(qsizetype position) const {
  return At(position).failure;
}

void FileListModel::EmitRowChanged(qsizetype position, int role) {
  if (position > published_) return;
  const QModelIndex changed = index(static_cast<int>(position - 1));
  emit dataChanged(changed, changed, {role});
}

void FileListModel::set_header(const QString& header) {
  header_ = header;
  emit headerDataChanged(Qt::Horizontal, 0, 0);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(published_);
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= published_) {
    return {};
  }
  const Row& row = rows_[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return row.text;
    case Qt::CheckStateRole:
      return row.ticked ? Qt::Checked : Qt::Unchecked;
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
      role != Qt::CheckStateRole) {
    return false;
  }
  const auto state = static_cast<Qt::CheckState>(value.toInt());
  rows_[static_cast<size_t>(index.row())].ticked = state == Qt::Checked;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
         Qt::ItemNeverHasChildren;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation,
                                   int role) const {
  if (section == 0 && orientation == Qt::Horizontal &&
      role == Qt::DisplayRole) {
    return header_;
  }
  return {};
}

}  // namespace trawlbox
