#include "gui/list_files.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>

#include "core/address_password.h"
#include "core/command_host.h"
#include "core/file_system.h"
#include "core/prompts.h"
#include "gui/file_list_model.h"
#include "mirror/aria2_export.h"
#include "mirror/replacing_file.h"

namespace trawlbox {
namespace {

// A saved list is read whole; one of this size holds millions of rows.
constexpr qint64 kMaxListFileBytes = qint64(1) << 30;

// The addresses of the ticked rows, in list order.
QStringList TickedAddresses(const FileListModel& list) {
  QStringList addresses;
  for (qsizetype i = 1; i <= list.Count(); ++i) {
    if (list.Ticked(i)) addresses << list.Text(i);
  }
  return addresses;
}

// `rows`' addresses under `saved_start` moved under `start`, which is the
// same address with a password.
void TakePasswordBack(std::vector<SavedRow>& rows, const QString& saved_start,
                      const QString& start) {
  for (SavedRow& row : rows) {
    if (row.address.startsWith(saved_start)) {
      row.address = start + row.address.mid(saved_start.size());
    }
  }
}

}  // namespace

QString ChooseFileByDialog(QWidget* window, FileChoice choice,
                           const QString& suggested) {
  const bool open = choice == FileChoice::kOpenList;
  const bool list = choice != FileChoice::kExportForAria2;
  QFileDialog dialog(window,
                     open   ? QStringLiteral("Open List")
                     : list ? QStringLiteral("Save List")
                            : QStringLiteral("Export for aria2"),
                     suggested);
  dialog.setAcceptMode(open ? QFileDialog::AcceptOpen
                            : QFileDialog::AcceptSave);
  dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  // Added before the dialog asks whether to replace a file of that name.
  dialog.setDefaultSuffix(list ? QStringLiteral("tsv") : QStringLiteral("txt"));
  dialog.setNameFilters({list ? QStringLiteral("Saved lists (*.tsv)")
                              : QStringLiteral("aria2 input files (*.txt)"),
                         QStringLiteral("All files (*)")});
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles().value(0);
}

void FillList(FileListModel& list, const std::vector<SavedRow>& rows) {
  list.Clear();
  for (const SavedRow& row : rows) {
    list.Add(row.address);
    const qsizetype position = list.Count();
    if (!row.ticked) list.SetTicked(position, false);
    list.SetSize(position, row.size);
    if (!row.failure.isEmpty()) list.MarkFailed(position, row.failure);
  }
}

ListFiles::ListFiles(QWidget* window, CommandHost& host, FileListModel& list,
                     FileSystem& disk, ChooseFile choose,
                     std::function<void(const QString&)> set_web_site)
    : host_(host),
      list_(list),
      disk_(disk),
      choose_(choose ? std::move(choose)
                     : ChooseFile([window](FileChoice choice,
                                           const QString& suggested) {
                         return ChooseFileByDialog(window, choice, suggested);
                       })),
      set_web_site_(std::move(set_web_site)) {}

QString ListFiles::Choose(FileChoice choice, const QString& suffix) {
  const QString suggested =
      last_file_.isEmpty() ? QDir::fromNativeSeparators(host_.FolderText())
                           : QFileInfo(last_file_).path() + QLatin1Char('/');
  QString path = choose_(choice, suggested);
  if (path.isEmpty()) return path;
  if (!suffix.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += suffix;
  last_file_ = path;
  return path;
}

void ListFiles::WriteFile(const QString& path, const QByteArray& bytes,
                          const QString& what) {
  ReplacingFile file(disk_, QDir::toNativeSeparators(path));
  Status done = file.Open();
  if (done.ok()) done = file.Write(bytes);
  if (done.ok()) done = file.Commit();
  if (!done.ok()) {
    host_.prompts().Message(
        QStringLiteral("%1 cannot be written to %2: %3")
            .arg(what, QDir::toNativeSeparators(path), done.failure()));
  }
}

SavedList ListFiles::Snapshot() const {
  SavedList saved{host_.WebSiteText(), {}};
  saved.rows.reserve(static_cast<size_t>(list_.Count()));
  for (qsizetype i = 1; i <= list_.Count(); ++i) {
    saved.rows.push_back(SavedRow{list_.Text(i), list_.Ticked(i),
                                  list_.SizeOf(i), list_.FailureOf(i)});
  }
  return saved;
}

void ListFiles::SaveList() {
  const QString path = Choose(FileChoice::kSaveList, QStringLiteral(".tsv"));
  if (path.isEmpty()) return;
  WriteFile(path, ListFileText(Snapshot()), QStringLiteral("The list"));
}

void ListFiles::OpenList() {
  if (host_.busy()) return;
  const QString path = Choose(FileChoice::kOpenList, QString());
  if (path.isEmpty() || host_.busy()) return;
  const QString shown = QDir::toNativeSeparators(path);
  const Result<QByteArray> bytes =
      disk_.ReadSmallFile(shown, kMaxListFileBytes);
  if (!bytes.ok()) {
    host_.prompts().Message(QStringLiteral("%1 cannot be read: %2")
                                .arg(shown, bytes.status().failure()));
    return;
  }
  const Result<SavedList> saved = ReadListFile(bytes.value());
  if (!saved.ok()) {
    host_.prompts().Message(QStringLiteral("%1 is not a saved list: %2.")
                                .arg(shown, saved.status().failure()));
    return;
  }
  Restore(saved.value());
}

void ListFiles::Restore(const SavedList& saved) {
  std::vector<SavedRow> rows = saved.rows;
  QString start = saved.start;
  const QString field = host_.WebSiteText().trimmed();
  if (HasPassword(field) && StartWithoutPassword(field) == saved.start) {
    TakePasswordBack(rows, saved.start, field);
    start = field;
  }
  FillList(list_, rows);
  if (!start.isEmpty()) set_web_site_(start);
}

void ListFiles::ExportForAria2() {
  const QString path =
      Choose(FileChoice::kExportForAria2, QStringLiteral(".txt"));
  if (path.isEmpty()) return;
  WriteFile(path,
            Aria2InputText(disk_, TickedAddresses(list_), host_.WebSiteText(),
                           host_.FolderText()),
            QStringLiteral("The aria2 input file"));
}

void ListFiles::CopyTickedAddresses() {
  QString text;
  for (const QString& address : TickedAddresses(list_)) {
    text += DropPasswords(address) + QLatin1Char('\n');
  }
  QGuiApplication::clipboard()->setText(text);
}

}  // namespace trawlbox
