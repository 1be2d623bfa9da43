#include "mirror/transfer.h"

#include <QFileInfo>
#include <cmath>
#include <memory>

#include "core/error_trap.h"
#include "core/event_pump.h"
#include "core/file_system.h"
#include "core/status.h"
#include "core/status_line.h"
#include "mirror/download_procedures.h"
#include "mirror/path_mapping.h"
#include "mirror/replacing_file.h"
#include "mirror/turn_gate.h"
#include "net/retry.h"

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

const QString kNoLocalFile = QStringLiteral("The local file cannot be written");

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

// One file's transfer. A try runs ahead of the transfer's turn or in it.
// The first piece of a good body makes the folders and the new file beside
// the local one, and every piece then goes there: ahead of the turn at
// once, since what that reports is held until the turn; in the turn the
// piece waits, paused, for the turn to make them outside libcurl, so a box
// shows there. In its turn the transfer waits for the try's end, tries
// again what may pass, as the retry policy says, and commits its file; only
// the last try's failure is reported.
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

  // A try from nothing: no file, no bytes.
  void StartTry(bool in_turn) {
    file_.reset();
    length_.reset();
    received_ = 0;
    shown_percent_ = -1;
    disk_ = Status();
    stage_ = in_turn ? Stage::kRequested : Stage::kAhead;
    trap_.Do(FileLabel::kShowAddress, [&] {
      gate_.SetCaption(QStringLiteral("Downloading: ") + address_);
    });
    transfer_ = owner_.http_.Get(TrimBlanks(address_),
                                 [this](const char* data, qsizetype size) {
                                   return OnPiece(data, size);
                                 });
    if (!transfer_->finished()) transfer_->set_on_finished(owner_.wake_);
  }

  bool Running() const { return !transfer_->finished(); }

  Status Complete() {
    gate_.Open();
    if (stage_ == Stage::kAhead) stage_ = Stage::kRequested;
    const Answer answer = WithRetries(
        owner_.http_.retry_policy(), owner_.pump_,
        [this] { return CancelRequested(); },
        [this](bool first) {
          if (!first) StartTry(true);
          return FinishTry();
        });
    if (CancelRequested()) return StopForUser();
    const Status done = Conclude(answer);
    owner_.status_.SetCaption(kIdleCaption);
    return done;
  }

 private:
  // Where a try stands.
  enum class Stage {
    kAhead,        // before the turn, and no piece of a good body yet
    kRequested,    // in the turn, and no piece of a good body yet
    kFileWanted,   // in the turn, the first piece waits, paused, for the file
    kReceiving,    // the body streams into the new file
    kNoFile,       // the file could not be made; reported, and the try ends
    kWriteFailed,  // the disk refused a piece, as `disk_` says; the try ends
  };

  bool CancelRequested() const { return owner_.cancel_requested_(); }

  // Waits for the try's end, making its file when the body starts in the
  // turn; what the try came to, a failure of the disk included.
  Answer FinishTry() {
    for (;;) {
      owner_.pump_.WaitUntil([&] {
        return CancelRequested() || stage_ == Stage::kFileWanted ||
               transfer_->finished();
      });
      if (CancelRequested()) return Status::Failure(kStoppedByUser);
      if (stage_ != Stage::kFileWanted) break;
      if (OpenFile()) {
        transfer_->Resume();
      } else {
        transfer_->Cancel();
      }
    }
    switch (stage_) {
      case Stage::kNoFile:
        return Status::Failure(kNoLocalFile);
      case Stage::kWriteFailed:
        return disk_;
      default:
        break;
    }
    const Answer& answer = transfer_->answer();
    if (!Verdict(answer).ok()) {
      file_.reset();
      return answer;
    }
    // An empty body never came through the sink.
    if (!file_ && !OpenFile()) return Status::Failure(kNoLocalFile);
    return answer;
  }

  // Puts a good body's file in place; a failure is reported unless it is
  // an error status or was reported when it happened.
  Status Conclude(const Answer& answer) {
    const Status verdict = Verdict(answer);
    if (!verdict.ok()) {
      file_.reset();
      if (stage_ == Stage::kWriteFailed) {
        trap_.Report(FileLabel::kWrite, verdict.failure());
      } else if (!answer.ok() && stage_ != Stage::kNoFile) {
        // No response at all (no server, a refused redirect), or a body
        // that broke off, stalled or ended short. An error page never lands
        // under the file's name, and is no box either.
        trap_.Report(FileLabel::kTransfer, verdict.failure());
      }
      return verdict;
    }
    const Status committed = file_->Commit();
    if (!committed.ok()) trap_.Report(FileLabel::kCommit, committed.failure());
    return committed;
  }

  // Stops at once: the previous local file stays, the caption says so.
  Status StopForUser() {
    transfer_.reset();
    file_.reset();
    owner_.status_.SetCaption(kStoppedCaption);
    return Status::Failure(kStoppedCaption);
  }

  // The folders and the new file, once the body is known to come: on to
  // kReceiving, or kNoFile, reported, when the file cannot be made.
  bool OpenFile() {
    if (before_body_) before_body_();
    const Status open = OpenLocalFile(owner_.disk_, local_path_, file_);
    if (!open.ok()) {
      trap_.Report(FileLabel::kOpenLocalFile, open.failure());
      file_.reset();
      stage_ = Stage::kNoFile;
      return false;
    }
    length_ = DeclaredLength(transfer_->head().content_length);
    stage_ = Stage::kReceiving;
    return true;
  }

  // Each piece of a good body as it arrives, inside libcurl. A piece the
  // disk refuses ends the transfer.
  HttpTransfer::Take OnPiece(const char* data, qsizetype size) {
    switch (stage_) {
      case Stage::kAhead:
        if (!OpenFile()) return HttpTransfer::Take::kAbort;
        break;
      case Stage::kRequested:
        stage_ = Stage::kFileWanted;
        return HttpTransfer::Take::kPause;
      case Stage::kReceiving:
        break;
      default:
        return HttpTransfer::Take::kAbort;
    }
    disk_ = file_->Write(data, size);
    if (!disk_.ok()) {
      stage_ = Stage::kWriteFailed;
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
  Stage stage_ = Stage::kAhead;
  std::unique_ptr<HttpTransfer> transfer_;
  std::unique_ptr<ReplacingFile> file_;  // from kReceiving on
  Status disk_;                          // of the last piece written
  std::optional<qint64> length_;
  qint64 received_ = 0;
  qint16 shown_percent_ = -1;
};

Downloader::Downloader(HttpService& http, EventPump& pump, StatusLine& status,
                       FileSystem& disk, std::function<void()> wake,
                       std::function<bool()> cancel_requested)
    : http_(http),
      pump_(pump),
      status_(status),
      disk_(disk),
      wake_(std::move(wake)),
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
  transfer->StartTry(false);
  return transfer;
}

bool Downloader::Running(const Transfer& transfer) {
  return transfer.Running();
}

Status Downloader::Complete(Transfer& transfer) { return transfer.Complete(); }

}  // namespace trawlbox
