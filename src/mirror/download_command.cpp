#include "mirror/download_command.h"

#include <QDir>
#include <deque>
#include <map>
#include <memory>

#include "core/command_host.h"
#include "core/error_trap.h"
#include "core/event_pump.h"
#include "core/file_list.h"
#include "core/file_system.h"
#include "core/prompts.h"
#include "core/scoped_flag.h"
#include "core/status.h"
#include "core/status_line.h"
#include "mirror/download_procedures.h"
#include "mirror/downloader.h"
#include "mirror/etag_record.h"
#include "mirror/path_mapping.h"
#include "mirror/store_order.h"
#include "mirror/turn_gate.h"

namespace trawlbox {
namespace {

using DownloadLabel = StartDownloadingProcedure::Label;
using DownloadTrap = ErrorTrap<StartDownloadingProcedure>;

// What the user sees of a path text: the form the system uses.
QString ShownPath(const QString& path_text) {
  const std::optional<QString> native = ToNativePath(path_text);
  return native ? QDir::toNativeSeparators(*native) : path_text;
}

// A ticked row on its way: started ahead of its turn, with what it shows
// (the command's reports about it included) held until then.
struct RowInFlight {
  RowInFlight(CommandHost& host, qsizetype row_number)
      : row(row_number), gate(host.status_line(), host.prompts()), trap(gate) {}
  ~RowInFlight() {
    transfer.reset();
    if (order != nullptr) order->Release(stored);
  }

  const qsizetype row;
  // Where its transfer stores it, claimed in `order` while it runs.
  StoreOrder* order = nullptr;
  QString stored;
  QString mapped;  // the address as a path text, before "index.htm"
  // Where an update records the stored file's ETag; none outside updates.
  EtagRecord* record = nullptr;
  QString stored_at;  // the file, in the system's form, for the record
  TurnGate gate;
  DownloadTrap trap;
  // Null for a row refused before any request.
  Downloader::FileDownloadPtr transfer;
};

// One download: the rows in their turns, one after another, and the
// ticked rows after them handed to the request run ahead, which starts as
// many as it has room for. Rows whose transfers have ended wait for their
// turns in memory or in their files, a bounded number of them. Each pass of
// the run asks for the next rows.
class DownloadRun : private RequestRun::Planner {
 public:
  DownloadRun(CommandHost& host, RequestRun& run, FileSystem& disk,
              const DownloadMode& mode)
      : host_(host),
        run_(run),
        mode_(mode),
        downloader_(run, host.status_line(), disk,
                    [&host] { return host.cancel_requested(); }) {
    run_.AddPlanner(*this);
  }
  ~DownloadRun() override { run_.RemovePlanner(*this); }

  // Row `row`'s turn, of `rows` in the list: started now unless it was
  // already; the rows after it start as far as the depth allows. What the
  // row shows, done or why not.
  Status TakeTurn(qsizetype row, qsizetype rows) {
    // Rows passed over were unticked after they started.
    while (!ahead_.empty() && ahead_.front()->row < row) ahead_.pop_front();
    std::unique_ptr<RowInFlight> flight;
    if (!ahead_.empty() && ahead_.front()->row == row) {
      flight = std::move(ahead_.front());
      ahead_.pop_front();
    } else {
      flight = StartRow(row);
    }
    next_ = std::max(next_, row + 1);
    rows_ = rows;
    StartRowsAhead();
    return FinishRow(*flight);
  }

  // After a stop nothing more starts, and what runs ahead goes before the
  // run's last box. What an update learnt of ETags is written.
  void Drop() {
    ahead_.clear();
    next_ = rows_ + 1;
    downloader_.Finish();
    for (auto& [folder, record] : records_) {
      // A record that cannot be written only costs the next update its
      // If-None-Match: no box.
      (void)record->Save();
    }
  }

 private:
  // How many rows that have arrived may wait, for each connection; each
  // holds its body in memory or its new file open.
  static constexpr qsizetype kRowsHeldPerConnection = 8;

  void Plan() override { StartRowsAhead(); }

  // Hands the run the rows after the turn: as many as it has room for, and
  // the rows held.
  void StartRowsAhead() {
    // After a stop the rows ahead go, and with them their requests.
    if (host_.cancel_requested()) {
      ahead_.clear();
      return;
    }
    const qsizetype most_ahead =
        run_.capacity() + kRowsHeldPerConnection * run_.settings().connections;
    FileList& list = host_.file_list();
    while (qsizetype(ahead_.size()) < most_ahead && next_ <= rows_) {
      if (list.Ticked(next_)) {
        std::unique_ptr<RowInFlight> flight = StartRow(next_, true);
        // A row whose name hangs on rows before it waits, and so do the
        // rows after it.
        if (!flight) return;
        ahead_.push_back(std::move(flight));
      }
      ++next_;
    }
  }

  // Maps a row to its path below the folder and starts its transfer; its
  // folders are made once its body starts to arrive, so a row that fails
  // leaves nothing. The final path is known before anything is asked for: a
  // row that would land anywhere but inside the folder is never requested.
  // Ahead of its turn, a row that meets a row before it (StoreOrder) is not
  // started: none.
  std::unique_ptr<RowInFlight> StartRow(qsizetype row, bool ahead = false) {
    auto flight = std::make_unique<RowInFlight>(host_, row);
    FileList& list = host_.file_list();
    QString folder_text;
    const bool mapped = flight->trap.Do(DownloadLabel::kMapRow, [&] {
      folder_text = host_.FolderText();
      flight->mapped =
          MapAddressText(list.Text(row), host_.WebSiteText(), folder_text);
    });
    if (!mapped) return flight;
    QString stored = flight->mapped;
    if (stored.endsWith(QLatin1Char('\\')))
      stored += QStringLiteral("index.htm");
    if (ahead && order_.Meets(stored)) return nullptr;
    FileSystem& disk = downloader_.disk();
    Result<QString> path = FinalPath(disk, flight->mapped);
    if (path.ok() && !IsInsideFolder(path.value(), folder_text)) {
      path = Status::Failure(ErrorKind::kPathNotFound);
    }
    if (!path.ok()) {
      flight->trap.Report(DownloadLabel::kMapRow, path.status().failure());
      return flight;
    }
    // On a writer: only the disk is touched there.
    RowFolders folders{
        .make =
            [disk = &disk, folder = GetFolderPart(flight->mapped)] {
              if (PathFolderExists(*disk, folder)) return Status();
              return CreateFolderPath(*disk, folder);
            },
        .report =
            [trap = &flight->trap](const Status& failed) {
              trap->Report(DownloadLabel::kMakeRowFolder, failed.failure());
            },
    };
    std::optional<CopyAtHand> at_hand;
    if (mode_.update) {
      at_hand = CopyToUpdate(*flight, path.value(), folder_text);
    }
    flight->transfer =
        downloader_.Start(list.Text(row), path.value(), flight->gate,
                          std::move(folders), std::move(at_hand));
    order_.Claim(stored);
    flight->order = &order_;
    flight->stored = stored;
    return flight;
  }

  // For an update: the row's record, and the copy the folder holds of its
  // file when there is one; a folder page is fetched as always.
  std::optional<CopyAtHand> CopyToUpdate(RowInFlight& flight,
                                         const QString& path,
                                         const QString& folder_text) {
    if (flight.mapped.endsWith(QLatin1Char('\\'))) return std::nullopt;
    const std::optional<QString> native = ToNativePath(path);
    if (!native) return std::nullopt;
    const QString folder =
        QDir::cleanPath(QDir::fromNativeSeparators(folder_text));
    std::unique_ptr<EtagRecord>& record = records_[folder];
    if (!record) {
      record = std::make_unique<EtagRecord>(downloader_.disk(), folder);
    }
    flight.record = record.get();
    flight.stored_at = *native;
    FileSystem& disk = downloader_.disk();
    if (!disk.Exists(*native) || disk.FolderExists(*native)) {
      return std::nullopt;
    }
    const Result<QDateTime> modified = disk.ModifiedTime(*native);
    if (!modified.ok()) return std::nullopt;
    return CopyAtHand{.modified = modified.value(),
                      .etag = record->Get(*native)};
  }

  // A row's turn: what it held is shown, its transfer ends, its file is put
  // in place and its mark set.
  Status FinishRow(RowInFlight& flight) {
    DownloadTrap& trap = flight.trap;
    if (!flight.transfer) {
      flight.gate.Open();
      return Status::Failure(ErrorKind::kPathNotFound);
    }
    trap.Do(DownloadLabel::kShowRow, [&] {
      host_.status_line().SetCaption(QStringLiteral("Processing: ") +
                                     ShownPath(flight.mapped));
    });
    host_.pump().Yield();
    Status done = Status::Failure(QStringLiteral("Not downloaded"));
    trap.Do(DownloadLabel::kDownload,
            [&] { done = downloader_.Complete(*flight.transfer); });
    if (done.ok() && flight.record != nullptr) {
      flight.record->Set(flight.stored_at, Downloader::Etag(*flight.transfer));
    }
    // The stored file's own length is its row's size from now on.
    if (const std::optional<qint64> stored =
            Downloader::StoredBytes(*flight.transfer)) {
      host_.file_list().SetSize(flight.row, RowSize::Exact(*stored));
    }
    return done;
  }

  CommandHost& host_;
  RequestRun& run_;
  const DownloadMode mode_;
  Downloader downloader_;
  // The rows started and not yet done; declared before them, so it
  // outlives them.
  StoreOrder order_;
  std::deque<std::unique_ptr<RowInFlight>> ahead_;
  qsizetype next_ = 1;
  qsizetype rows_ = 0;
  // An update's records, one per destination folder it wrote to.
  std::map<QString, std::unique_ptr<EtagRecord>> records_;
};

}  // namespace

void RunDownloadCommand(CommandHost& host, RequestRun& run, FileSystem& disk,
                        const DownloadMode& mode) {
  if (host.busy()) return;
  const ScopedFlag running = host.BeginDownloading();
  DownloadTrap trap(host.prompts());
  if (trap.If(
          DownloadLabel::kCheckFolder,
          [&] { return !disk.FolderExists(host.FolderText()); },
          OnFailure::kRunBody)) {
    trap.Do(DownloadLabel::kSayNoFolder, [&] {
      host.prompts().Message(QStringLiteral(
          "Folder does not exist. Please select another folder."));
    });
    return;
  }
  FileList& list = host.file_list();
  StatusLine& status = host.status_line();
  host.SetPointerMode(PointerMode::kBusy);
  qsizetype rows = 0;
  trap.Do(DownloadLabel::kCountRows, [&] {
    rows = list.Count();
    status.SetMaximum(rows);
  });
  DownloadRun download(host, run, disk, mode);
  for (qsizetype row = 1; row <= rows && !host.cancel_requested(); ++row) {
    if (!trap.If(
            DownloadLabel::kCheckTicked, [&] { return list.Ticked(row); },
            OnFailure::kRunBody)) {
      continue;
    }
    host.pump().Yield();
    if (host.cancel_requested()) break;
    const Status done = download.TakeTurn(row, rows);
    if (host.cancel_requested()) break;
    list.MarkFailed(row, done.failure());
    status.SetPosition(row);
  }
  download.Drop();
  host.SetPointerMode(PointerMode::kDefault);
  status.SetPosition(0);
  // A stopped run keeps saying so.
  status.SetCaption(host.cancel_requested() ? kStoppedCaption : kIdleCaption);
  trap.Do(DownloadLabel::kSayDone,
          [&] { host.prompts().Message(QStringLiteral("Done.")); });
}

}  // namespace trawlbox
