#include "mirror/downloader.h"

#include "core/error_trap.h"
#include "core/file_system.h"
#include "core/status.h"
#include "core/status_line.h"
#include "mirror/download_procedures.h"
#include "mirror/path_mapping.h"
#include "mirror/replacing_file.h"
#include "mirror/resume_rule.h"
#include "mirror/turn_gate.h"
#include "mirror/writer_file.h"
#include "net/url.h"

namespace trawlbox {

using FileLabel = DownloadFileProcedure::Label;
static const QString kNoLocalFile =
    QStringLiteral("The local file cannot be written");

// One file's download, a fetch of the request run, which makes its tries
// ahead of its turn or in it, and tries again what may pass. A
// good body goes, piece by piece, to the disk writers, which make its
// folders and a new file beside the local one and write it there, while
// the window's thread goes on. What they come to is known in the turn:
// there the download waits for its tries and for the writers, reports what
// failed, and has its file put in place; only the last try's failure is
// reported. When the writers have as much queued as they may take, the
// body pauses until they catch up.
// A body cut off after its first answer gave a validator is gone on with,
// as the resume rule says; a long body's start is noted beside it, so that
// a run after a crash or a stop goes on with it too.
class Downloader::FileDownload : public Fetch {
 public:
  FileDownload(Downloader& owner, const QString& address,
               const QString& local_path, TurnGate& gate, RowFolders folders,
               std::optional<CopyAtHand> at_hand)
      : owner_(owner),
        gate_(gate),
        trap_(gate),
        address_(address),
        local_path_(local_path),
        folders_(std::move(folders)),
        at_hand_(std::move(at_hand)) {
    const QString target = ToNativePath(local_path_).value_or(QString());
    const bool first_writer = owner_.Claim(target);
    if (first_writer) target_ = target;
    file_ = std::make_unique<WriterFile>(
        owner_.writers_, owner_.disk_, target,
        first_writer ? ReplacingFile::Naming::kFromTarget
                     : ReplacingFile::Naming::kFresh);
  }
  ~FileDownload() override {
    // A row dropped by a stop before its turn leaves what a stop in the
    // turn leaves.
    if (CancelRequested()) LeaveForNextRun();
    Cancel();
    const DiskWriters::LanePtr lane = file_->lane();
    file_.reset();
    if (!target_.isEmpty()) owner_.Release(target_, lane);
  }

  // Goes on with what an earlier run left beside the local file, if
  // anything can be.
  void TakeUpLeftover() {
    if (target_.isEmpty()) return;
    origin_ = file_->Reopen(address_);
    if (!origin_) return;
    received_ = file_->reopened_bytes();
    length_ = origin_->length;
  }

  Status Complete() {
    gate_.Open();
    file_->Hurry();
    Answer answer =
        owner_.run_.Wait(*this, [this] { return CancelRequested(); });
    if (CancelRequested()) return StopForUser();
    answer = WithFile(std::move(answer));
    // A good body's file goes in place with the last of its steps, unless
    // one failed; no stop cuts that wait short, so the rename's result is
    // known before the turn ends.
    const bool storing = answer.ok() && answer.value().status != 304;
    if (storing) file_->Commit(ModifiedTime(Whole(answer.value())));
    if (!owner_.run_.WaitUntil(
            [this] { return file_->idle(); },
            [this, storing] { return !storing && CancelRequested(); })) {
      return StopForUser();
    }
    const Status done = Conclude(WithDisk(std::move(answer)));
    owner_.status_.SetCaption(kIdleCaption);
    return done;
  }

  const QByteArray& etag() const { return etag_; }
  std::optional<qint64> stored_bytes() const { return stored_bytes_; }

 private:
  // Where a try stands.
  enum class Stage {
    kWaiting,       // no piece of a good body yet
    kReceiving,     // the body's pieces go to the writers
    kRoomWanted,    // paused until the writers have room for a piece
    kNoFile,        // the writers could not make the file; reported
    kWriteFailed,   // the writers could not write it; the try ends
    kRangeRefused,  // the answer to a range did not go on with the file
  };

  bool CancelRequested() const { return owner_.cancel_requested_(); }

  // Whether the next try asks for the rest of the body: the new file holds
  // its start and the first answer said what file it was.
  bool GoesOn() const {
    return origin_ && file_->is_open() && received_ > 0 &&
           received_ < origin_->length;
  }

  // The new file and what it began as go; the next body starts from
  // nothing.
  void DropPart() {
    if (file_->is_open()) file_->Cancel();
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
    stage_ = Stage::kWaiting;
    trap_.Do(FileLabel::kShowAddress, [&] {
      gate_.SetCaption(QStringLiteral("Downloading: ") + address_);
    });
    return Ask{.address = TrimBlanks(address_), .options = options};
  }

  qint64 kept_bytes() const override { return GoesOn() ? received_ : 0; }

  // What a try came to, a refusal of the writers included; what they
  // refused is read in the turn (WithDisk).
  Answer Judge(Answer answer) override {
    // A body that ended ahead of its turn has its file made now.
    file_->Flush();
    if (stage_ == Stage::kWriteFailed) return Status::Failure(kNoLocalFile);
    if (stage_ == Stage::kRangeRefused) return RangeRefused();
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

  // A good body that never came through Take() is empty: its file is
  // asked for now.
  Answer WithFile(Answer answer) {
    if (!answer.ok() || answer.value().status == 304) return answer;
    if (stage_ == Stage::kWaiting) OpenFile(answer.value());
    return answer;
  }

  // What the writers came to, once idle, reported here in the turn: the
  // folders, the file, the first piece refused.
  Answer WithDisk(Answer answer) {
    const WriterFile::Outcome& outcome = file_->outcome();
    if (!outcome.folders.ok() && folders_.report) {
      folders_.report(outcome.folders);
    }
    if (!outcome.opened.ok()) {
      trap_.Report(FileLabel::kOpenLocalFile, outcome.opened.failure());
      stage_ = Stage::kNoFile;
      return Status::Failure(kNoLocalFile);
    }
    if (!outcome.written.ok()) {
      stage_ = Stage::kWriteFailed;
      return outcome.written;
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
    const Status committed = file_->outcome().committed;
    if (!committed.ok()) {
      trap_.Report(FileLabel::kCommit, committed.failure());
      return committed;
    }
    etag_ = Whole(head).etag;
    stored_bytes_ = received_;
    return committed;
  }

  // The head of the whole file: a range's answer may leave out what the
  // first one said.
  Response Whole(const Response& head) const {
    Response whole = head;
    if (origin_ && whole.etag.isEmpty()) whole.etag = origin_->etag;
    if (origin_ && whole.last_modified.isEmpty()) {
      whole.last_modified = origin_->last_modified;
    }
    return whole;
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
    const bool sound = stage_ != Stage::kWriteFailed &&
                       stage_ != Stage::kRangeRefused && !file_->failed();
    if (sound && GoesOn()) {
      file_->Keep();  // drops a file that has no note
    } else {
      DropPart();
    }
  }

  // A good whole body begins: what went before it goes, its head tells its
  // length and what file it is, and the writers make its folders and file.
  void OpenFile(const Response& head) {
    DropPart();
    length_ = DeclaredLength(head.content_length);
    origin_ = PartOriginOf(address_, head);
    std::optional<PartOrigin> note;
    if (origin_ && NotedBeside(*origin_)) note = origin_;
    file_->Open(folders_.make, local_path_, std::move(note));
  }

  // The work a paused body waits for: room with the writers.
  Unpaused Unpause() override {
    if (stage_ != Stage::kRoomWanted || file_->HasRoom(paused_bytes_)) {
      return Unpaused::kResume;
    }
    return Unpaused::kStayPaused;
  }

  // Each piece of a good body as it arrives, inside libcurl: handed to the
  // writers, or paused while they have no room. The first piece of a whole
  // body has its file asked for; the first piece of the rest goes on into
  // the file begun. A piece after the writers refused one ends the try.
  HttpTransfer::Take Take(const char* data, qsizetype size) override {
    if (stage_ == Stage::kWaiting) {
      if (asked_from_ == 0 || head()->status != 206) {
        OpenFile(*head());
      } else if (!ContinuesPart(*origin_, asked_from_, *head())) {
        stage_ = Stage::kRangeRefused;
        return HttpTransfer::Take::kAbort;
      }
      stage_ = Stage::kReceiving;
    }
    if (stage_ != Stage::kReceiving && stage_ != Stage::kRoomWanted) {
      return HttpTransfer::Take::kAbort;
    }
    if (file_->failed()) {
      stage_ = Stage::kWriteFailed;
      return HttpTransfer::Take::kAbort;
    }
    if (!file_->HasRoom(size)) {
      stage_ = Stage::kRoomWanted;
      paused_bytes_ = size;
      return HttpTransfer::Take::kPause;
    }
    stage_ = Stage::kReceiving;
    file_->Write(data, size);
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
  const RowFolders folders_;
  const std::optional<CopyAtHand> at_hand_;
  QString target_;  // the local file, while this transfer claims it
  Stage stage_ = Stage::kWaiting;
  // The new file beside the local one, in the writers' hands.
  std::unique_ptr<WriterFile> file_;
  // What the body in the new file began as, when a try can go on with it.
  std::optional<PartOrigin> origin_;
  qint64 asked_from_ = 0;    // the byte the try in work asked to start at
  qint64 paused_bytes_ = 0;  // of the piece waiting for room
  std::optional<qint64> length_;
  qint64 received_ = 0;                 // bytes of the file handed on
  std::optional<qint64> stored_bytes_;  // once the file is in place
  qint16 shown_percent_ = -1;
  QByteArray etag_;  // of the file now in place
};

Downloader::Downloader(RequestRun& run, StatusLine& status, FileSystem& disk,
                       std::function<bool()> cancel_requested, int writers)
    : run_(run),
      status_(status),
      disk_(disk),
      cancel_requested_(std::move(cancel_requested)),
      writers_(writers) {
  writers_.set_on_progress([this] { run_.WakePaused(); });
}

Downloader::~Downloader() = default;

bool Downloader::Claim(const QString& target) {
  if (target.isEmpty() || targets_.contains(target)) return false;
  // A file let go of is still the writers' until they are done with it.
  const auto releasing = releasing_.find(target);
  if (releasing != releasing_.end()) {
    if (!writers_.Idle(*releasing->second)) return false;
    releasing_.erase(releasing);
  }
  targets_.insert(target);
  return true;
}

void Downloader::Release(const QString& target,
                         const DiskWriters::LanePtr& lane) {
  targets_.remove(target);
  if (!writers_.Idle(*lane)) releasing_[target] = lane;
}

void Downloader::Finish() {
  run_.WaitUntil([this] { return writers_.Idle(); }, [] { return false; });
  releasing_.clear();
}

void Downloader::FileDownloadDeleter::operator()(FileDownload* download) const {
  delete download;
}

Downloader::FileDownloadPtr Downloader::Start(
    const QString& address, const QString& local_path, TurnGate& gate,
    RowFolders folders, std::optional<CopyAtHand> at_hand) {
  FileDownloadPtr download(new FileDownload(*this, address, local_path, gate,
                                            std::move(folders),
                                            std::move(at_hand)));
  download->TakeUpLeftover();
  run_.Start(*download);
  return download;
}

Status Downloader::Complete(FileDownload& download) {
  return download.Complete();
}

bool Downloader::Ended(const FileDownload& download) {
  return download.ended();
}

QByteArray Downloader::Etag(const FileDownload& download) {
  return download.etag();
}

std::optional<qint64> Downloader::StoredBytes(const FileDownload& download) {
  return download.stored_bytes();
}

}  // namespace trawlbox
