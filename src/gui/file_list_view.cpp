#include "gui/file_list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>

#include "gui/file_list_model.h"

namespace trawlbox {

FileListView::FileListView(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Long addresses are cut off at the right until the column is widened.
  setTextElideMode(Qt::ElideNone);
  header()->setStretchLastSection(false);
  show_timer_.setSingleShot(true);
  connect(&show_timer_, &QTimer::timeout, this, &FileListView::ShowNewRows);
}

void FileListView::SetFileList(FileListModel* model) {
  file_list_ = model;
  setModel(model);
  connect(model, &FileListModel::RowAdded, this, &FileListView::ScheduleShow);
}

void FileListView::SetColumnWidths(int address, int size, int wider) {
  least_address_width_ = address;
  setColumnWidth(FileListModel::kAddressColumn, address + wider);
  setColumnWidth(FileListModel::kSizeColumn, size);
}

void FileListView::WidenAddressColumn(int gained) {
  if (gained == 0) return;
  setColumnWidth(FileListModel::kAddressColumn,
                 std::max(least_address_width_,
                          columnWidth(FileListModel::kAddressColumn) + gained));
}

void FileListView::contextMenuEvent(QContextMenuEvent* event) {
  if (event->reason() != QContextMenuEvent::Mouse) {
    RequestCurrentRowMenu();
    return;
  }
  const QModelIndex row = indexAt(event->pos());
  if (row.isValid()) emit RowMenuRequested(row.row() + 1, event->globalPos());
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Menu ||
      (event->key() == Qt::Key_F10 &&
       event->modifiers() == Qt::ShiftModifier)) {
    RequestCurrentRowMenu();
    return;
  }
  QTreeView::keyPressEvent(event);
}

void FileListView::RequestCurrentRowMenu() {
  const QModelIndex row = currentIndex();
  if (!row.isValid()) return;
  scrollTo(row);
  const QRect place = visualRect(row);
  emit RowMenuRequested(row.row() + 1,
                        viewport()->mapToGlobal(place.bottomLeft()));
}

void FileListView::ScheduleShow() {
  if (show_timer_.isActive()) return;
  const qint64 wait =
      since_show_.isValid()
          ? std::max<qint64>(0, hold_off_ms_ - since_show_.elapsed())
          : 0;
  show_timer_.start(static_cast<int>(wait));
}

void FileListView::ShowNewRows() {
  QElapsedTimer cost;
  cost.start();
  file_list_->Publish();
  scrollToBottom();
  since_show_.start();
  hold_off_ms_ =
      std::clamp<qint64>(4 * cost.elapsed(), kMinShowIntervalMs, 250);
}

}  // namespace trawlbox
