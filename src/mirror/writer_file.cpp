#include "mirror/writer_file.h"

#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <utility>

namespace trawlbox {

// What the writers work on: the file, and what its steps came to. While
// the lane has steps only they touch it.
struct WriterFile::Side {
  Side(FileSystem& disk, const QString& target, ReplacingFile::Naming naming)
      : file(disk, target, naming) {}

  void Fail(Status& step, const Status& status) {
    step = status;
    failed.store(true, std::memory_order_release);
  }
  bool has_failed() const { return failed.load(std::memory_order_acquire); }

  void Open(const Opening& opening) {
    if (opening.make_folders) outcome.folders = opening.make_folders();
    const Status opened = OpenLocalFile(file.disk(), opening.local_path, &file);
    if (!opened.ok()) return Fail(outcome.opened, opened);
    // Without its note the start of the file is not gone on with after a
    // crash, only in this run: nothing to report.
    if (opening.note) (void)file.Note(*opening.note);
  }

  void Write(const QByteArray& bytes) {
    if (bytes.isEmpty() || has_failed()) return;
    if (!file.is_open()) {
      return Fail(outcome.written, Status::Failure(QStringLiteral("Not open")));
    }
    const Status written = file.Write(bytes);
    if (written.ok()) return;
    // The file cannot be whole: it goes at once, so the room it took on a
    // full disk is free again for the files after it.
    file.Cancel();
    Fail(outcome.written, written);
  }

  ReplacingFile file;
  Outcome outcome;
  std::atomic<bool> failed = false;
};

WriterFile::WriterFile(DiskWriters& writers, FileSystem& disk,
                       const QString& target, ReplacingFile::Naming naming)
    : writers_(writers),
      lane_(writers.NewLane(QFileInfo(target).path())),
      side_(std::make_shared<Side>(disk, target, naming)) {}

WriterFile::~WriterFile() {
  if (open_) Cancel();
}

std::optional<PartOrigin> WriterFile::Reopen(const QString& address) {
  std::optional<PartOrigin> origin = side_->file.Reopen(address);
  open_ = on_disk_ = origin.has_value();
  reopened_bytes_ = side_->file.size();
  return origin;
}

void WriterFile::Post(std::function<void(Side&)> then) {
  const qint64 bytes = gathered_.size();
  on_disk_ = true;
  writers_.Post(
      lane_,
      [&writers = writers_, side = side_,
       opening = std::exchange(opening_, std::nullopt),
       gathered = std::exchange(gathered_, QByteArray()),
       then = std::move(then)]() mutable {
        if (opening) side->Open(*opening);
        side->Write(gathered);
        writers.GiveBack(std::move(gathered));
        if (then) then(*side);
      },
      bytes);
}

void WriterFile::Open(std::function<Status()> make_folders,
                      const QString& local_path,
                      std::optional<PartOrigin> note) {
  open_ = true;
  opening_ = Opening{std::move(make_folders), local_path, std::move(note)};
}

void WriterFile::Write(const char* data, qint64 size) {
  // One block of its full size: growing it piece by piece copies it again.
  if (gathered_.isEmpty()) {
    gathered_ = writers_.TakeBlock(std::max<qint64>(size, kGatheredBytes));
  }
  gathered_.append(data, size);
  if (gathered_.size() >= kGatheredBytes) Flush();
}

void WriterFile::Flush() {
  if (opening_ || !gathered_.isEmpty()) Post(nullptr);
}

void WriterFile::Commit(std::optional<QDateTime> modified) {
  open_ = false;
  Post([modified = std::move(modified)](Side& side) {
    if (side.has_failed()) return side.file.Cancel();
    const Status committed = side.file.Commit(modified);
    if (!committed.ok()) side.Fail(side.outcome.committed, committed);
  });
}

void WriterFile::Cancel() {
  open_ = false;
  opening_.reset();
  gathered_.clear();
  if (!on_disk_) return;
  on_disk_ = false;
  writers_.Post(lane_, [side = side_] {
    side->file.Cancel();
    side->outcome = {};
    side->failed.store(false, std::memory_order_release);
  });
}

void WriterFile::Keep() {
  open_ = false;
  Post([](Side& side) { side.file.Keep(); });
}

bool WriterFile::failed() const { return side_->has_failed(); }

bool WriterFile::idle() const { return writers_.Idle(*lane_); }

const WriterFile::Outcome& WriterFile::outcome() const {
  return side_->outcome;
}

}  // namespace trawlbox
