#ifndef TRAWLBOX_GUI_LIST_FILES_H_
#define TRAWLBOX_GUI_LIST_FILES_H_

#include <QByteArray>
#include <QString>
#include <functional>

class QWidget;

#include "core/list_file.h"
#include "core/status.h"

namespace trawlbox {

class CommandHost;
class FileListModel;
class FileSystem;

// Which file the user is asked to name.
enum class FileChoice { kSaveList, kOpenList, kExportForAria2 };
// Asks the user to name a file, starting at `suggested`; empty when they
// cancel. The platform's file dialog, over the window, in the program.
using ChooseFile =
    std::function<QString(FileChoice choice, const QString& suggested)>;

// The platform's file dialog for `choice`, over `window`, starting at
// `suggested`.
QString ChooseFileByDialog(QWidget* window, FileChoice choice,
                           const QString& suggested);

// Replaces `list`'s rows with `rows`, their ticks, sizes and reasons.
void FillList(FileListModel& list, const std::vector<SavedRow>& rows);

// The list kept in a file and handed to other tools: Save List, Open List,
// Export for aria2 and Copy Ticked Addresses. Saving, exporting and copying
// work at any time and take the rows as they stand; opening waits until
// no listing or download runs. What they write holds no password.
class ListFiles {
 public:
  // `set_web_site` fills the Web Site field as the program does. Without
  // `choose`, the platform's file dialogs ask, over `window`.
  ListFiles(QWidget* window, CommandHost& host, FileListModel& list,
            FileSystem& disk, ChooseFile choose,
            std::function<void(const QString&)> set_web_site);

  void SaveList();
  void OpenList();
  void ExportForAria2();
  void CopyTickedAddresses();

  // The rows as they stand, with the start address the field holds.
  SavedList Snapshot() const;
  // Replaces the rows with `saved`'s and fills the Web Site field with its
  // start address. When the field holds that address with a password, the
  // rows take the password back, so that the download maps and fetches them
  // as before.
  void Restore(const SavedList& saved);

 private:
  // Asks for a file name, with `suffix` added when it has none.
  QString Choose(FileChoice choice, const QString& suffix);
  // Writes `bytes` beside `path` and puts them in its place; on failure
  // nothing is left behind and the box says `what` could not be written.
  void WriteFile(const QString& path, const QByteArray& bytes,
                 const QString& what);

  CommandHost& host_;
  FileListModel& list_;
  FileSystem& disk_;
  ChooseFile choose_;
  std::function<void(const QString&)> set_web_site_;
  QString last_file_;  // the last file named, where the next dialog starts
};

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_LIST_FILES_H_
