#include "mirror/transfer.h"

#include <QFileInfo>
#include <cmath>
#include <memory>

#include "core/app_error.h"
#include "core/error_trap.h"
#include "core/event_pump.h"
#include "core/file_system.h"
#include "core/status.h"
#include "core/status_line.h"
#include "mirror/download_procedures.h"
#include "mirror/path_mapping.h"
#include "mirror/replacing_file.h"
#include "mirror/turn_gate.h"

namespace trawlbox {
namespace {

using FileLabel = DownloadFileProcedure::Label;

// Trims blanks (spaces only) at both ends; tabs and line breaks stay, as
// they are part of what was listed.
QString TrimBlanks(const QString& text) {
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && text[first] == QLatin1Char(' ')) ++first;
  while (last > first && text[last - 1] == QLatin1Char(' ')) --last;
  return text.mid(first, last - first);
}

const QString kStoppedCaption = QStringLiteral("Download Stoped By User");

// Opens the new file for the path text `local_path` into `file`. The
// system's own text is only the last word: a missing or locked folder is
// said the way users of the program have always read it.
Status OpenLocalFile(FileSystem& disk, const QString& local_path,
                     std::unique_ptr<ReplacingFile>& file) {
  const std::optional<QString> native = ToNativePath(local_path);
  if (!native) return Status::Failure(ErrorKind::kPathNotFound);
  file = std::make_unique<ReplacingFile>(disk, *native);
  const Status opened = file->Open();
  if (opened.ok()) return opened;
  const QString parent = QFileInfo(*native).absolutePath();
  if (!disk.FolderExists(parent)) {
    return Status::Failure(ErrorKind::kPathNotFound);
  }
  if (!disk.Writable(parent)) {
    return Status::Failure(ErrorKind::kPermissionDenied);
  }
  return opened;  // a name too long or refused, a full disk
}

}  // namespace

std::optional<qint64> DeclaredLength(const QByteArray& header) {
  const QByteArray text = header.trimmed();
  if (text.isEmpty()) return std::nullopt;
  bool numeric = false;
  const qlonglong value = text.toLongLong(&numeric);
  if (!numeric || value < 0) return std::nullopt;
  return value;
}

qint16 PercentDone(qint64 length, qint64 received) {
  // std::nearbyint rounds half to even in the default rounding mode.
  return static_cast<qint16>(
      std::nearbyint(100.0 / double(length) * double(received)));
}

QList<qint16> PercentagesShown(qint64 length, qint64 from, qint64 to,
                               qint16 shown) {
  QList<qint16> percentages;
  if (length <= 0) return percentages;
  qint64 end = (from / kProgressPieceBytes + 1) * kProgressPieceBytes;
  for (;; end += kProgressPieceBytes) {
    const qint64 piece_end = std::min(end, length);
    if (piece_end > to) break;
    const qint16 percent = PercentDone(length, piece_end);
    if (percent != shown) {
      shown = percent;
      percentages.append(percent);
    }
    if (piece_end == length) break;
  }
  return percentages;
}

// One file's transfer. Ahead of its turn a try runs on the engine alone:
// the first piece of a good body creates the folders and the new file
// beside the local one, and every piece goes there. In its turn the
// transfer waits for the try's end, commits its file or tries again what
// may pass, as the engine's retry policy says; only the last try's failure
// is reported.
class Downloader::Transfer {
 public:
  Transfer(Downloader& owner, const QString& address, const QString& local_path,
           TurnGate& gate, std::function<void()> before_body)
      : owner_(owner),
        gate_(gate),
        trap_(gate),
        address_(address),
        local_path_(local_path),
        before_body_(std::move(before_body)) {}

  void Begin() {
    trap_.Do(FileLabel::kShowAddress, [&] {
      gate_.SetCaption(QStringLiteral("Downloading: ") + address_);
    });
    transfer_ = owner_.engine_.Get(TrimBlanks(address_),
                                   [this](const char* data, qsizetype size) {
                                     return OnPiece(data, size);
                                   });
  }

  bool Running() const { return transfer_ && !transfer_->finished(); }
  void WhenFirstTryEnds(std::function<void()> on_end) {
    if (Running()) transfer_->set_on_finished(std::move(on_end));
  }

  FetchResult Complete() {
    gate_.Open();
    const RetryPolicy& policy = owner_.engine_.retry_policy();
    for (int retry = 1;; ++retry) {
      if (!WaitForTheEnd()) break;
      const Outcome outcome = Conclude();
      if (outcome != Outcome::kTransferFailed) break;
      if (!result_.transient || retry > policy.retries) {
        ReportTransferFailure();
        break;
      }
      const int delay = policy.DelayMs(retry, result_.retry_after);
      if (!owner_.pump_.Sleep(delay, [this] { return CancelRequested(); })) {
        stopped_ = true;
        break;
      }
      Restart();
      Begin();
    }
    if (stopped_) return StopForUser();
    owner_.status_.SetCaption(StatusLine::kIdleCaption);
    return result_;
  }

 private:
  // How a try ended. Every failure but the transfer's own has been
  // reported already.
  enum class Outcome { kDone, kFailed, kTransferFailed };

  // A new try starts from nothing: no transfer, no new file, no bytes.
  void Restart() {
    transfer_.reset();
    if (file_) file_->Cancel();
    file_.reset();
    length_.reset();
    received_ = 0;
    shown_percent_ = -1;
    write_failure_.clear();
    local_failure_ = false;
  }

  bool CancelRequested() const {
    return owner_.cancel_requested_ && owner_.cancel_requested_();
  }

  // False when the user asked to stop first.
  bool WaitForTheEnd() {
    for (;;) {
      owner_.pump_.WaitUntil([&] {
        return CancelRequested() || transfer_->finished() ||
               transfer_->paused();
      });
      if (transfer_->finished()) return true;
      if (CancelRequested()) {
        stopped_ = true;
        return false;
      }
      // A first piece that came in the transfer's turn waits here for its
      // file, so that a box about it shows outside libcurl.
      if (PrepareDestination()) {
        transfer_->Resume();
      } else {
        transfer_->Cancel();
      }
    }
  }

  // The folders and the new file, once the body is known to come.
  bool PrepareDestination() {
    if (before_body_) before_body_();
    const Status open = OpenLocalFile(owner_.disk_, local_path_, file_);
    if (!open.ok()) {
      trap_.Report(FileLabel::kOpenLocalFile, open.failure());
      file_.reset();
      local_failure_ = true;
    }
    length_ = DeclaredLength(transfer_->head().content_length);
    return open.ok();
  }

  Outcome Conclude() {
    if (local_failure_) {
      result_ = {QStringLiteral("The local file cannot be written")};
      return Outcome::kFailed;
    }
    if (!write_failure_.isEmpty()) {
      trap_.Report(FileLabel::kWrite, write_failure_);
      result_ = {write_failure_};
      file_->Cancel();
      return Outcome::kFailed;
    }
    if (!transfer_->failure().isEmpty()) {
      if (file_) file_->Cancel();
      result_ = ResultOf(*transfer_);
      return Outcome::kTransferFailed;
    }
    // An empty body never came through the sink.
    if (!file_ && !PrepareDestination()) {
      result_ = {QStringLiteral("The local file cannot be written")};
      return Outcome::kFailed;
    }
    const Status committed = file_->Commit();
    if (!committed.ok()) {
      trap_.Report(FileLabel::kCommit, committed.failure());
      result_ = {committed.failure()};
      return Outcome::kFailed;
    }
    result_ = FetchResult();
    return Outcome::kDone;
  }

  // An error page never lands under the file's name, and is no box either:
  // a site with many broken links must not raise one for each. No response
  // at all (no server, a refused redirect), or a body that broke off,
  // stalled or ended short, is reported.
  void ReportTransferFailure() {
    if (result_.status < 400)
      trap_.Report(FileLabel::kTransfer, result_.failure);
  }

  // Stops at once: the previous local file stays, the caption says so.
  FetchResult StopForUser() {
    Restart();
    owner_.cancelled_ = true;
    owner_.status_.SetCaption(kStoppedCaption);
    return {kStoppedCaption};
  }

  // Each piece of a good body as it arrives; the first makes the file,
  // here while what it shows is held, or else in the turn (no box may show
  // from inside libcurl). A piece the disk refuses ends the transfer.
  HttpTransfer::Take OnPiece(const char* data, qsizetype size) {
    if (!file_ && gate_.is_open()) return HttpTransfer::Take::kPause;
    if (!file_ && !PrepareDestination()) {
      transfer_->SetAbortReason(
          QStringLiteral("The local file cannot be written"));
      return HttpTransfer::Take::kAbort;
    }
    if (const Status written = file_->Write(data, size); !written.ok()) {
      write_failure_ = written.failure();
      transfer_->SetAbortReason(write_failure_);
      return HttpTransfer::Take::kAbort;
    }
    ShowProgress(received_, received_ + size);
    received_ += size;
    return HttpTransfer::Take::kTaken;
  }

  void ShowProgress(qint64 from, qint64 to) {
    if (!length_) return;
    for (const qint16 percent :
         PercentagesShown(*length_, from, to, shown_percent_)) {
      shown_percent_ = percent;
      gate_.SetCaption(QStringLiteral("Downloading ") + address_ +
                       QStringLiteral("...") + QString::number(percent) +
                       QStringLiteral(" % Downloaded"));
    }
  }

  Downloader& owner_;
  TurnGate& gate_;
  ErrorTrap<DownloadFileProcedure> trap_;
  const QString address_;
  const QString local_path_;
  const std::function<void()> before_body_;
  std::unique_ptr<HttpTransfer> transfer_;
  std::unique_ptr<ReplacingFile> file_;
  std::optional<qint64> length_;
  qint64 received_ = 0;
  qint16 shown_percent_ = -1;
  QString write_failure_;
  bool local_failure_ = false;
  FetchResult result_;
  bool stopped_ = false;
};

Downloader::Downloader(HttpEngine& engine, EventPump& pump, StatusLine& status,
                       ErrorReporter& reporter, FileSystem& disk,
                       std::function<bool()> cancel_requested)
    : engine_(engine),
      pump_(pump),
      status_(status),
      reporter_(reporter),
      disk_(disk),
      cancel_requested_(std::move(cancel_requested)) {}

Downloader::~Downloader() = default;

void Downloader::TransferDeleter::operator()(Transfer* transfer) const {
  delete transfer;
}

Downloader::TransferPtr Downloader::Start(const QString& address,
                                          const QString& local_path,
                                          TurnGate& gate,
                                          std::function<void()> before_body) {
  TransferPtr transfer(
      new Transfer(*this, address, local_path, gate, std::move(before_body)));
  transfer->Begin();
  return transfer;
}

bool Downloader::Running(const Transfer& transfer) {
  return transfer.Running();
}

void Downloader::WhenFirstTryEnds(Transfer& transfer,
                                  std::function<void()> on_end) {
  transfer.WhenFirstTryEnds(std::move(on_end));
}

FetchResult Downloader::Complete(Transfer& transfer) {
  cancelled_ = false;
  return transfer.Complete();
}

FetchResult Downloader::DownloadFile(const QString& address,
                                     const QString& local_path,
                                     const std::function<void()>& before_body) {
  TurnGate gate(status_, reporter_);
  const TransferPtr transfer = Start(address, local_path, gate, before_body);
  return Complete(*transfer);
}

}  // namespace trawlbox
