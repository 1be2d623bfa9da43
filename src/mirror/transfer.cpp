#include "mirror/transfer.h"

#include <QFileInfo>
#include <cmath>
#include <memory>

#include "core/app_error.h"
#include "core/error_trap.h"
#include "core/event_pump.h"
#include "core/procedure_tags.h"
#include "core/status_line.h"
#include "mirror/path_mapping.h"
#include "mirror/replacing_file.h"
#include "mirror/trim_blanks.h"

namespace trawlbox {
namespace {

const QString kStoppedCaption = QStringLiteral("Download Stoped By User");

[[noreturn]] void RaiseOpenFailure(const ReplacingFile& file) {
  const QFileInfo parent(QFileInfo(file.target()).absolutePath());
  if (!parent.isDir()) Raise(ErrorKind::kPathNotFound);
  if (!parent.isWritable()) Raise(ErrorKind::kPermissionDenied);
  Raise(file.errorString());  // a name too long or refused, a full disk
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

// One file's transfer, in four phases: the request and its head, the
// destination, the body, and the end that commits or drops the new file.
// A try that fails on something that may pass is made again, from the
// request on, as the engine's retry policy says; only the last try's
// failure is reported.
class Downloader::FileTransfer {
 public:
  FileTransfer(Downloader& owner, const QString& address,
               const QString& local_path)
      : owner_(owner),
        trap_(owner.reporter_, tags::kDownloadFile),
        address_(address),
        local_path_(local_path) {}

  FetchResult Run(const std::function<void()>& before_body) {
    const RetryPolicy& policy = owner_.engine_.retry_policy();
    for (int retry = 1;; ++retry) {
      const Outcome outcome = Try(before_body);
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
    }
    if (stopped_) return StopForUser();
    owner_.status_.SetCaption(StatusLine::kIdleCaption);
    return result_;
  }

 private:
  // How one try ended. Every failure but the transfer's own has been
  // reported already.
  enum class Outcome { kDone, kFailed, kTransferFailed, kStopped };

  Outcome Try(const std::function<void()>& before_body) {
    Restart();
    if (!RequestHead()) return stopped_ ? Outcome::kStopped : FailedTransfer();
    if (!OpenDestination(before_body)) return Outcome::kFailed;
    if (!CopyBody()) return Outcome::kStopped;
    return Commit();
  }

  // A new try starts from nothing: no transfer, no new file, no bytes.
  void Restart() {
    if (file_) file_->Cancel();
    file_.reset();
    transfer_.reset();
    length_.reset();
    received_ = 0;
    shown_percent_ = -1;
    write_failure_.clear();
  }

  bool CancelRequested() const {
    return owner_.cancel_requested_ && owner_.cancel_requested_();
  }

  // Waits on window events for `done`, or for a cancel request; false
  // when the user asked to stop.
  bool WaitFor(const std::function<bool()>& done) {
    owner_.pump_.WaitUntil([&] { return CancelRequested() || done(); });
    stopped_ = !done() && CancelRequested();
    return !stopped_;
  }

  bool RequestHead() {
    trap_.Do(100, [&] {
      owner_.status_.SetCaption(QStringLiteral("Downloading: ") + address_);
    });
    transfer_ = owner_.engine_.Get(
        TrimBlanks(address_),
        [this](const char* data, qsizetype size) { return Take(data, size); });
    if (!WaitFor([&] { return HeadSettled(*transfer_); })) return false;
    if (!transfer_->finished() || transfer_->failure().isEmpty()) {
      length_ = DeclaredLength(transfer_->head().content_length);
      return true;
    }
    return false;
  }

  Outcome FailedTransfer() {
    result_ = ResultOf(*transfer_);
    return Outcome::kTransferFailed;
  }

  // An error page never lands under the file's name, and is no box either:
  // a site with many broken links must not raise one for each. No response
  // at all (no server, a refused redirect), or a body that broke off,
  // stalled or ended short, is reported.
  void ReportTransferFailure() {
    if (result_.status < 400) trap_.Report(136, result_.failure);
  }

  bool OpenDestination(const std::function<void()>& before_body) {
    if (before_body) before_body();
    const bool open = trap_.Do(124, [&] {
      const std::optional<QString> native = ToNativePath(local_path_);
      if (!native) Raise(ErrorKind::kPathNotFound);
      file_ = std::make_unique<ReplacingFile>(*native);
      if (!file_->Open()) RaiseOpenFailure(*file_);
    });
    if (!open) {
      transfer_->Cancel();
      result_ = {QStringLiteral("The local file cannot be written")};
    }
    return open;
  }

  bool CopyBody() {
    transfer_->Resume();
    return WaitFor([&] { return transfer_->finished(); });
  }

  // Only a body whose transfer ended well is committed.
  Outcome Commit() {
    if (!write_failure_.isEmpty()) {
      trap_.Report(150, write_failure_);
      result_ = {write_failure_};
      file_->Cancel();
      return Outcome::kFailed;
    }
    if (!transfer_->failure().isEmpty()) {
      file_->Cancel();
      return FailedTransfer();
    }
    result_ = FetchResult();
    const bool committed = trap_.Do(152, [&] {
      if (!file_->Commit()) {
        result_ = {file_->errorString()};
        Raise(file_->errorString());
      }
    });
    return committed ? Outcome::kDone : Outcome::kFailed;
  }

  // Stops at once: the previous local file stays, the caption says so.
  FetchResult StopForUser() {
    if (transfer_) transfer_->Cancel();
    if (file_) file_->Cancel();
    owner_.cancelled_ = true;
    owner_.status_.SetCaption(kStoppedCaption);
    return {kStoppedCaption};
  }

  // Each piece of the body as it arrives. Until the destination is open the
  // transfer waits; a piece the disk refuses ends it.
  HttpTransfer::Take Take(const char* data, qsizetype size) {
    if (!file_) return HttpTransfer::Take::kPause;
    if (!file_->Write(data, size)) {
      write_failure_ = file_->errorString();
      transfer_->SetAbortReason(write_failure_);
      return HttpTransfer::Take::kAbort;
    }
    ShowProgress(received_, received_ + size);
    received_ += size;
    return HttpTransfer::Take::kTaken;
  }

  // The percentage after each whole piece of kPieceBytes between `from`
  // and `to` bytes, each value shown once.
  void ShowProgress(qint64 from, qint64 to) {
    if (!length_ || *length_ <= 0) return;
    const qint64 length = *length_;
    qint64 end = (from / kPieceBytes + 1) * kPieceBytes;
    for (;; end += kPieceBytes) {
      const qint64 piece_end = std::min(end, length);
      if (piece_end > to) break;
      const qint16 percent = PercentDone(length, piece_end);
      if (percent != shown_percent_) {
        shown_percent_ = percent;
        owner_.status_.SetCaption(
            QStringLiteral("Downloading ") + address_ + QStringLiteral("...") +
            QString::number(percent) + QStringLiteral(" % Downloaded"));
      }
      if (piece_end == length) break;
    }
  }

  Downloader& owner_;
  ErrorTrap trap_;
  const QString address_;
  const QString local_path_;
  std::unique_ptr<HttpTransfer> transfer_;
  std::unique_ptr<ReplacingFile> file_;
  std::optional<qint64> length_;
  qint64 received_ = 0;
  qint16 shown_percent_ = -1;
  QString write_failure_;
  FetchResult result_;
  bool stopped_ = false;
};

Downloader::Downloader(HttpEngine& engine, EventPump& pump, StatusLine& status,
                       ErrorReporter& reporter,
                       std::function<bool()> cancel_requested)
    : engine_(engine),
      pump_(pump),
      status_(status),
      reporter_(reporter),
      cancel_requested_(std::move(cancel_requested)) {}

FetchResult Downloader::DownloadFile(const QString& address,
                                     const QString& local_path,
                                     const std::function<void()>& before_body) {
  cancelled_ = false;
  FileTransfer transfer(*this, address, local_path);
  return transfer.Run(before_body);
}

}  // namespace trawlbox
