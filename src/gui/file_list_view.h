#ifndef TRAWLBOX_GUI_FILE_LIST_VIEW_H_
#define TRAWLBOX_GUI_FILE_LIST_VIEW_H_

#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>

namespace trawlbox {

class FileListModel;

// ListView1: the file list in report view, one check box per row. Rows
// added by the program are shown and scrolled into view in batches, at the
// next event pass, but no more often than keeps the layout of a long list
// to a fifth of the time, and than the eye can follow: each showing lays
// out and paints the visible rows' texts again, which costs more than a
// small file's whole transfer. Adding a row costs the same however long
// the list is.
class FileListView : public QTreeView {
  Q_OBJECT

 public:
  static constexpr qint64 kMinShowIntervalMs = 40;

  explicit FileListView(QWidget* parent = nullptr);

  void SetFileList(FileListModel* model);
  // The address column's and the size column's widths at the list's first
  // width, and what the list is wider than that now.
  void SetColumnWidths(int address, int size, int wider);
  // The list grew (or shrank) by `gained` pixels: the address column takes
  // it, never narrower than at first.
  void WidenAddressColumn(int gained);

 signals:
  // The row menu is wanted for the row at `position`, at `global`: by the
  // right button, the Menu key or Shift+F10.
  void RowMenuRequested(qsizetype position, const QPoint& global);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Asks for the menu of the current row, below it.
  void RequestCurrentRowMenu();
  void ScheduleShow();
  void ShowNewRows();

  FileListModel* file_list_ = nullptr;
  QTimer show_timer_;
  QElapsedTimer since_show_;
  qint64 hold_off_ms_ = 0;
  int least_address_width_ = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_FILE_LIST_VIEW_H_
