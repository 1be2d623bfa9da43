#include "mirror/download_command.h"

#include <QDir>

#include "core/app_error.h"
#include "core/command_host.h"
#include "core/error_trap.h"
#include "core/event_pump.h"
#include "core/existence.h"
#include "core/file_list.h"
#include "core/procedure_tags.h"
#include "core/prompts.h"
#include "core/scoped_flag.h"
#include "core/status_line.h"
#include "mirror/path_mapping.h"
#include "mirror/transfer.h"

namespace trawlbox {
namespace {

// What the user sees of a path text: the form the system uses.
QString ShownPath(const QString& path_text) {
  const std::optional<QString> native = ToNativePath(path_text);
  return native ? QDir::toNativeSeparators(*native) : path_text;
}

// Whether a path text names a place strictly inside the destination
// `folder`: the folder itself, a place beside it or one that names no path
// at all is never written.
bool IsInsideFolder(const QString& path_text, const QString& folder) {
  const std::optional<QString> native = ToNativePath(path_text);
  if (!native) return false;
#ifdef Q_OS_WIN
  constexpr Qt::CaseSensitivity kCase = Qt::CaseInsensitive;
#else
  constexpr Qt::CaseSensitivity kCase = Qt::CaseSensitive;
#endif
  QString root = QDir::cleanPath(QDir::fromNativeSeparators(folder));
  const QString place = QDir::cleanPath(QDir::fromNativeSeparators(*native));
  if (!root.endsWith(QLatin1Char('/'))) root += QLatin1Char('/');
  return place.size() > root.size() && place.startsWith(root, kCase);
}

// The path a row's file is finally stored at: the mapped text, "index.htm"
// for a folder address, then the free-name rule (which may move it, since
// its number goes before the last dot of the whole path).
QString FinalPath(const QString& mapped) {
  QString path = mapped;
  if (path.endsWith(QLatin1Char('\\'))) path += QStringLiteral("index.htm");
  return FreeName(path);
}

// One ticked row: its path below the folder, its transfer, and its folders
// once its body starts to arrive, so a row that fails leaves nothing.
void DownloadRow(CommandHost& host, Downloader& downloader, ErrorTrap& trap,
                 qsizetype row) {
  FileList& list = host.file_list();
  host.pump().Yield();
  // The final path is known before anything is asked for: a row that
  // would land anywhere but inside the folder is never requested.
  QString mapped;
  QString path;
  const bool inside = trap.Do(122, [&] {
    const QString folder_text = host.FolderText();
    mapped = MapAddressText(list.Text(row), host.WebSiteText(), folder_text);
    path = FinalPath(mapped);
    if (!IsInsideFolder(path, folder_text)) Raise(ErrorKind::kPathNotFound);
  });
  if (!inside) {
    list.MarkFailed(row, DescriptionOf(ErrorKind::kPathNotFound));
    return;
  }
  trap.Do(126, [&] {
    host.status_line().SetCaption(QStringLiteral("Processing: ") +
                                  ShownPath(mapped));
  });
  host.pump().Yield();
  const QString folder = GetFolderPart(mapped);
  auto make_folders = [&] {
    if (trap.If(
            136, [&] { return !PathFolderExists(folder); },
            OnFailure::kRunBody)) {
      trap.Do(138, [&] { CreateFolderPath(folder); });
    }
  };
  FetchResult result{QStringLiteral("Not downloaded")};
  trap.Do(152, [&] {
    result = downloader.DownloadFile(list.Text(row), path, make_folders);
  });
  if (!downloader.cancelled()) list.MarkFailed(row, result.failure);
}

}  // namespace

void RunDownloadCommand(CommandHost& host, HttpEngine& engine) {
  if (host.busy()) return;
  ScopedFlag running(host.downloading);
  host.cancel_requested = false;
  ErrorTrap trap(host.prompts(), tags::kStartDownloading);
  if (trap.If(
          110, [&] { return !FolderExists(host.FolderText()); },
          OnFailure::kRunBody)) {
    trap.Do(166, [&] {
      host.prompts().Message(QStringLiteral(
          "Folder does not exist. Please select another folder."));
    });
    return;
  }
  FileList& list = host.file_list();
  StatusLine& status = host.status_line();
  Downloader downloader(engine, host.pump(), status, host.prompts(),
                        [&host] { return host.cancel_requested; });
  host.SetPointerMode(CommandHost::kPointerBusy);
  qsizetype rows = 0;
  trap.Do(114, [&] {
    rows = list.Count();
    status.SetMaximum(rows);
  });
  for (qsizetype row = 1; row <= rows; ++row) {
    if (downloader.cancelled()) break;
    if (!trap.If(
            118, [&] { return list.Ticked(row); }, OnFailure::kRunBody)) {
      continue;
    }
    DownloadRow(host, downloader, trap, row);
    if (!downloader.cancelled()) status.SetPosition(row);
  }
  host.SetPointerMode(CommandHost::kPointerDefault);
  status.SetPosition(0);
  // A stopped run keeps saying so.
  if (!downloader.cancelled()) {
    status.SetCaption(StatusLine::kIdleCaption);
  }
  trap.Do(164, [&] { host.prompts().Message(QStringLiteral("Done.")); });
}

}  // namespace trawlbox
