#include "gui/file_list_view.h"

#include <QHeaderView>
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
