#ifndef TRAWLBOX_GUI_LIST_TOOLS_H_
#define TRAWLBOX_GUI_LIST_TOOLS_H_

#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace trawlbox {

class FileListModel;
class FileListView;
class SettingsStore;

// The key the last pattern is remembered under.
inline const QString kPatternKey = QStringLiteral("Pattern");

// What stands under the list and acts on many rows at once: the running
// total of what is ticked, the pattern field with Tick Matching and Untick
// Matching, and the row menu (Tick This Folder, Untick This Folder, Copy
// Address). Its widgets are the window's children; the window places them.
class ListTools : public QObject {
  Q_OBJECT

 public:
  // `start_address` is read afresh for every match: paths in a pattern are
  // taken below it.
  ListTools(QWidget* window, FileListModel& list, SettingsStore& settings,
            std::function<QString()> start_address);

  QLabel* total_line() const { return total_line_; }
  QLineEdit* pattern_field() const { return pattern_field_; }
  QPushButton* tick_button() const { return tick_button_; }
  QPushButton* untick_button() const { return untick_button_; }
  // What the field says of its pattern: how many rows match, or which
  // term it cannot read.
  QString match_text() const;

  // Puts the last pattern back in the field; afterwards every edit of it
  // is remembered.
  void RestorePattern();
  // Ctrl+F: the cursor in the field, its text selected.
  void FocusPattern();
  // Tick Matching and Untick Matching: every row the pattern matches. A
  // pattern that cannot be read changes nothing.
  void TickMatching(bool ticked);
  // The row menu's commands for the row at `position`: every row at or
  // below its folder, and its address on the clipboard (without a
  // password).
  void TickFolderOf(qsizetype position, bool ticked);
  void CopyAddressOf(qsizetype position);
  // What the row menu's Copy Ticked Addresses runs.
  void set_copy_ticked(std::function<void()> copy_ticked) {
    copy_ticked_ = std::move(copy_ticked);
  }
  // Shows the row menu when `view` asks for it.
  void AttachRowMenu(FileListView* view);
  // Shows the row menu at `global` and runs what is chosen.
  void ShowRowMenu(qsizetype position, const QPoint& global);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RefreshTotal();
  void CountMatches();
  void ShowMatchText(const QString& text);

  FileListModel& list_;
  SettingsStore& settings_;
  std::function<QString()> start_address_;
  std::function<void()> copy_ticked_;
  QLabel* total_line_ = nullptr;
  QLineEdit* pattern_field_ = nullptr;
  QLabel* match_count_ = nullptr;
  QPushButton* tick_button_ = nullptr;
  QPushButton* untick_button_ = nullptr;
  // The total and the count are redone once per pass of events, however
  // many rows changed in it.
  QTimer total_due_;
  QTimer count_due_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_LIST_TOOLS_H_
