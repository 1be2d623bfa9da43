#include "mirror/transfer.h"

#include "core/error_trap.h"
#include "core/file_system.h"
#include "core/status.h"
#include "core/status_line.h"
#include "mirror/download_procedures.h"
#include "mirror/path_mapping.h"
#include "mirror/replacing_file.h"
#include "mirror/resume_rule.h"
#include "mirror/turn_gate.h"
#include "net/url.h"

namespace trawlbox {

using FileLabel = DownloadFileProcedure::Label;
static const QString kNoLocalFile =
    QStringLiteral("The local file cannot be written");

// One file's transfer, a fetch of the request run, which makes its tries
// ahead of the transfer's turn or in it, and tries again what may pass. A
// good body goes into a new file beside the local one, made with its
// folders outside libcurl. Ahead of the turn the body's pieces are held in
// memory instead, while it is short: many answers may end in one pass, and
// making all their files there would hold the window up for as long as the
// disk takes. The file is made in the turn, or in the run's pass for a
// body that outgrows kMostHeldBytes (what that reports is held until the
// turn). A body that starts in the turn waits, paused, for the turn's wait
// to make its file, so a box shows there. In its turn the transfer waits
// for its tries and commits its file; only the last try's failure is
// reported.
// A body cut off after its first answer gave a validator is gone on with,
// as the resume rule says; a long body's start is noted beside it, so that
// a run after a crash or a stop goes on with it too.
class Downloader::Transfer : public Fetch {
 public:
  Transfer(Downloader& owner, const QString& address, const QString& local_path,
           TurnGate& gate, std::function<void()> before_body,
           std::optional<CopyAtHand> at_hand)
      : owner_(owner),
        gate_(gate),
        trap_(gate),
        address_(address),
        local_path_(local_path),
        before_body_(std::move(before_body)),
        at_hand_(std::move(at_hand)) {
    const std::optional<QString> native = ToNativePath(local_path_);
    if (!native) return;
    const bool first_writer = !owner_.targets_.contains(*native);
    if (first_writer) {
      owner_.targets_.insert(*native);
      target_ = *native;
    }
    file_ = std::make_unique<ReplacingFile>(
        owner_.disk_, *native,
        first_writer ? ReplacingFile::Naming::kFromTarget
                     : ReplacingFile::Naming::kFresh);
  }
  ~Transfer() override {
    // A row dropped by a stop before its turn leaves what a stop in the
    // turn leaves.
    if (CancelRequested()) LeaveForNextRun();
    Cancel();
    file_.reset();
    if (!target_.isEmpty()) owner_.targets_.remove(target_);
  }

  // Goes on with what an earlier run left beside the local file, if
  // anything can be.
  void TakeUpLeftover() {
    if (!file_) return;
    origin_ = file_->Reopen(address_);
    if (!origin_) return;
    received_ = file_->size();
    length_ = origin_->length;
  }

  Status Complete() {
    gate_.Open();
    in_turn_ = true;
    if (stage_ == Stage::kAhead) stage_ = Stage::kRequested;
    Answer answer =
        owner_.run_.Wait(*this, [this] { return CancelRequested(); });
    if (CancelRequested()) return StopForUser();
    const Status done = Conclude(WithFile(std::move(answer)));
    owner_.status_.SetCaption(kIdleCaption);
    return done;
  }

  const QByteArray& etag() const { return etag_; }
  std::optional<qint64> stored_bytes() const { return stored_bytes_; }

 private:
  // Where a try stands.
  enum class Stage {
    kAhead,         // before the turn, and no piece of a good body yet
    kRequested,     // in the turn, and no piece of a good body yet
    kHeld,          // the body's pieces held in memory, its file not made
    kHeldFull,      // held as much as it may: paused for its file
    kFileWanted,    // in the turn, the first piece waits, paused, for the file
    kReceiving,     // the body streams into the new file
    kNoFile,        // the file could not be made; reported, and the try ends
    kWriteFailed,   // the disk refused a piece, as `disk_` says; the try ends
    kRangeRefused,  // the answer to a range did not go on with the file
  };

  // How much of a body ahead of its turn is held in memory, at the most,
  // before its file is made: a page or a small file whole. With the rows
  // that may run ahead, a few MB at the most.
  static constexpr qsizetype kMostHeldBytes = 32 * 1024;

  bool CancelRequested() const { return owner_.cancel_requested_(); }

  // Whether the next try asks for the rest of the body: the new file holds
  // its start and the first answer said what file it was.
  bool GoesOn() const {
    return origin_ && file_ && file_->is_open() && received_ > 0 &&
           received_ < origin_->length;
  }

  // The new file and what it began as go; the next body starts from
  // nothing.
  void DropPart() {
    if (file_) file_->Cancel();
    held_ = QByteArray();
    origin_.reset();
    length_.reset();
    received_ = 0;
    shown_percent_ = -1;
  }

  // A try: for the rest of the body when there is one to go on with, from
  // nothing otherwise.
  Result<Ask> NextTry() override {
    RequestOptions options;
    if (GoesOn()) {
      options.from_byte = received_;
      options.if_range = IfRangeOf(*origin_);
    } else {
      DropPart();
      if (at_hand_) {
        options.if_modified_since = at_hand_->modified;
        options.if_none_match = at_hand_->etag;
      }
    }
    asked_from_ = options.from_byte;
    disk_ = Status();
    stage_ = in_turn_ ? Stage::kRequested : Stage::kAhead;
    trap_.Do(FileLabel::kShowAddress, [&] {
      gate_.SetCaption(QStringLiteral("Downloading: ") + address_);
    });
    return Ask{.address = TrimBlanks(address_), .options = options};
  }

  qint64 kept_bytes() const override { return GoesOn() ? received_ : 0; }

  // What a try came to, a failure of the disk included. The file of a
  // body that ended ahead of its turn waits for the turn (WithFile).
  Answer Judge(Answer answer) override {
    switch (stage_) {
      case Stage::kNoFile:
        return Status::Failure(kNoLocalFile);
      case Stage::kWriteFailed:
        return disk_;
      case Stage::kRangeRefused:
        return RangeRefused();
      default:
        break;
    }
    if (!answer.ok()) {
      const Status& failed = answer.status();
      // A range past a file that has shrunk: asked for whole next time.
      if (asked_from_ > 0 && failed.code() == 416) return RangeRefused();
      // An error status that no try changes leaves nothing to go on with.
      if (failed.code() != 0 && !failed.transient()) DropPart();
      return answer;
    }
    if (answer.value().status == 304) {
      if (at_hand_) return answer;
      return Status::Failure(QStringLiteral("HTTP 304 Not Modified"));
    }
    // The rest asked for has come whole only when the file is.
    if (asked_from_ > 0 && answer.value().status == 206 && origin_ &&
        received_ != origin_->length) {
      return RangeRefused();
    }
    return answer;
  }

  // The file of a good body that has none yet: one held in memory, or an
  // empty one, which never came through Take().
  Answer WithFile(Answer answer) {
    if (!answer.ok() || answer.value().status == 304) return answer;
    if (stage_ == Stage::kHeld) {
      if (MakeHeldFile()) return answer;
      return stage_ == Stage::kNoFile ? Status::Failure(kNoLocalFile) : disk_;
    }
    if (stage_ != Stage::kReceiving && !OpenFile(answer.value())) {
      return Status::Failure(kNoLocalFile);
    }
    return answer;
  }

  // What a try that asked for the rest came to when the server sent
  // something else: the next try asks for the whole file.
  Answer RangeRefused() {
    origin_.reset();
    return RestNotSent(asked_from_);
  }

  // Puts a good body's file in place; a failure is reported unless it is
  // an error status or was reported when it happened.
  Status Conclude(const Answer& answer) {
    const Status verdict = answer.ok() ? Status() : answer.status();
    if (!verdict.ok()) {
      // A body cut off leaves its start for the next run to go on with.
      if (verdict.transient() && GoesOn()) {
        file_->Keep();
      } else {
        DropPart();
      }
      if (stage_ == Stage::kWriteFailed) {
        trap_.Report(FileLabel::kWrite, verdict.failure());
      } else if (verdict.code() == 0 && stage_ != Stage::kNoFile) {
        // No response at all (no server, a refused redirect), or a body
        // that broke off, stalled or ended short. An error page never lands
        // under the file's name, and is no box either.
        trap_.Report(FileLabel::kTransfer, verdict.failure());
      }
      return verdict;
    }
    const Response& head = answer.value();
    if (head.status == 304) {
      etag_ = head.etag.isEmpty() && at_hand_ ? at_hand_->etag : head.etag;
      trap_.Do(FileLabel::kShowAddress,
               [&] { gate_.SetCaption(kUpToDateCaption + address_); });
      return {};
    }
    // A range's answer may leave out what the first one said.
    Response whole = head;
    if (origin_ && whole.etag.isEmpty()) whole.etag = origin_->etag;
    if (origin_ && whole.last_modified.isEmpty()) {
      whole.last_modified = origin_->last_modified;
    }
    const Status committed = file_->Commit(ModifiedTime(whole));
    if (!committed.ok()) {
      trap_.Report(FileLabel::kCommit, committed.failure());
      return committed;
    }
    etag_ = whole.etag;
    stored_bytes_ = received_;
    return committed;
  }

  // Stops at once: the previous local file stays, the caption says so.
  Status StopForUser() {
    LeaveForNextRun();
    owner_.status_.SetCaption(kStoppedCaption);
    return Status::Failure(kStoppedCaption);
  }

  // Ends the try for a stop. A long body's start stays beside the local
  // file with its note, as a crash leaves it, for the next run to go on
  // with; anything else goes.
  void LeaveForNextRun() {
    Cancel();
    const bool sound =
        stage_ != Stage::kWriteFailed && stage_ != Stage::kRangeRefused;
    if (sound && GoesOn()) {
      file_->Keep();  // drops a file that has no note
    } else {
      DropPart();
    }
  }

  // A good whole body begins: what went before it goes, and its head
  // tells its length and what file it is.
  void BeginBody(const Response& head) {
    DropPart();
    length_ = DeclaredLength(head.content_length);
    origin_ = PartOriginOf(address_, head);
  }

  // The folders and the new file for the body begun: on to kReceiving, or
  // kNoFile, reported, when the file cannot be made.
  bool MakeFile() {
    if (before_body_) before_body_();
    const Status open = OpenLocalFile(owner_.disk_, local_path_, file_.get());
    if (!open.ok()) {
      trap_.Report(FileLabel::kOpenLocalFile, open.failure());
      stage_ = Stage::kNoFile;
      return false;
    }
    if (origin_ && NotedBeside(*origin_)) {
      // Without its note the start of the file is not gone on with after
      // a crash, only in this run: nothing to report.
      (void)file_->Note(*origin_);
    }
    stage_ = Stage::kReceiving;
    return true;
  }

  // The file for a whole body that begins now.
  bool OpenFile(const Response& head) {
    BeginBody(head);
    return MakeFile();
  }

  // The file for a body held so far, with what was held in it; false, as
  // the stage says, when the file cannot be made or written.
  bool MakeHeldFile() {
    if (!MakeFile()) return false;
    disk_ = file_->Write(held_.constData(), held_.size());
    held_ = QByteArray();
    if (disk_.ok()) return true;
    stage_ = Stage::kWriteFailed;
    return false;
  }

  // The work a paused body waits for, outside libcurl: its file.
  bool Unpause() override {
    if (stage_ == Stage::kFileWanted) return OpenFile(*head());
    if (stage_ == Stage::kHeldFull) return MakeHeldFile();
    return true;
  }

  // Each piece of a good body as it arrives, inside libcurl, where no file
  // is made: the first one of a whole body is held, or in the turn waits,
  // paused, for the file; a held body that outgrows its bound waits for
  // its file too. The first piece of the rest goes on into the file begun.
  // A piece the disk refuses ends the transfer.
  HttpTransfer::Take Take(const char* data, qsizetype size) override {
    switch (stage_) {
      case Stage::kAhead:
      case Stage::kRequested:
        if (asked_from_ == 0 || head()->status != 206) {
          if (stage_ == Stage::kRequested) {
            stage_ = Stage::kFileWanted;
            return HttpTransfer::Take::kPause;
          }
          BeginBody(*head());
          stage_ = Stage::kHeld;
          break;
        }
        if (!ContinuesPart(*origin_, asked_from_, *head())) {
          stage_ = Stage::kRangeRefused;
          return HttpTransfer::Take::kAbort;
        }
        stage_ = Stage::kReceiving;
        break;
      case Stage::kHeld:
      case Stage::kReceiving:
        break;
      default:
        return HttpTransfer::Take::kAbort;
    }
    if (stage_ == Stage::kHeld) {
      if (held_.size() + size > kMostHeldBytes) {
        stage_ = Stage::kHeldFull;
        return HttpTransfer::Take::kPause;
      }
      held_.append(data, size);
    } else {
      disk_ = file_->Write(data, size);
      if (!disk_.ok()) {
        stage_ = Stage::kWriteFailed;
        return HttpTransfer::Take::kAbort;
      }
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
      gate_.SetCaption(ProgressCaption(address_, percent));
    }
  }

  Downloader& owner_;
  TurnGate& gate_;
  ErrorTrap<DownloadFileProcedure> trap_;
  const QString address_;
  const QString local_path_;
  const std::function<void()> before_body_;
  const std::optional<CopyAtHand> at_hand_;
  QString target_;  // the local file, while this transfer claims it
  Stage stage_ = Stage::kAhead;
  bool in_turn_ = false;  // its gate is open
  // The new file beside the local one; none when the path names no place.
  std::unique_ptr<ReplacingFile> file_;
  QByteArray held_;  // the body so far, while it has no file
  // What the body in the new file began as, when a try can go on with it.
  std::optional<PartOrigin> origin_;
  qint64 asked_from_ = 0;  // the byte the try in work asked to start at
  Status disk_;            // of the last piece written
  std::optional<qint64> length_;
  qint64 received_ = 0;                 // bytes of the file in the new file
  std::optional<qint64> stored_bytes_;  // once the file is in place
  qint16 shown_percent_ = -1;
  QByteArray etag_;  // of the file now in place
};

Downloader::Downloader(RequestRun& run, StatusLine& status, FileSystem& disk,
                       std::function<bool()> cancel_requested)
    : run_(run),
      status_(status),
      disk_(disk),
      cancel_requested_(std::move(cancel_requested)) {}

Downloader::~Downloader() = default;

void Downloader::TransferDeleter::operator()(Transfer* transfer) const {
  delete transfer;
}

Downloader::TransferPtr Downloader::Start(const QString& address,
                                          const QString& local_path,
                                          TurnGate& gate,
                                          std::function<void()> before_body,
                                          std::optional<CopyAtHand> at_hand) {
  TransferPtr transfer(new Transfer(*this, address, local_path, gate,
                                    std::move(before_body),
                                    std::move(at_hand)));
  transfer->TakeUpLeftover();
  run_.Start(*transfer);
  return transfer;
}

Status Downloader::Complete(Transfer& transfer) { return transfer.Complete(); }

bool Downloader::Ended(const Transfer& transfer) { return transfer.ended(); }

QByteArray Downloader::Etag(const Transfer& transfer) {
  return transfer.etag();
}

std::optional<qint64> Downloader::StoredBytes(const Transfer& transfer) {
  return transfer.stored_bytes();
}

}  // namespace trawlbox
