#include "mirror/writer_file.h"

#include <QByteArray>
#include <atomic>

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

  ReplacingFile file;
  Outcome outcome;
  std::atomic<bool> failed = false;
};

WriterFile::WriterFile(DiskWriters& writers, FileSystem& disk,
                       const QString& target, ReplacingFile::Naming naming)
    : writers_(writers),
      lane_(writers.NewLane()),
      side_(std::make_shared<Side>(disk, target, naming)) {}

WriterFile::~WriterFile() {
  if (open_) Cancel();
}

std::optional<PartOrigin> WriterFile::Reopen(const QString& address) {
  std::optional<PartOrigin> origin = side_->file.Reopen(address);
  open_ = origin.has_value();
  reopened_bytes_ = side_->file.size();
  return origin;
}

void WriterFile::Post(std::function<void(Side&)> step, qint64 bytes) {
  writers_.Post(
      lane_, [side = side_, step = std::move(step)] { step(*side); }, bytes);
}

void WriterFile::Open(std::function<Status()> make_folders,
                      const QString& local_path,
                      std::optional<PartOrigin> note) {
  open_ = true;
  Post([make_folders = std::move(make_folders), local_path,
        note = std::move(note)](Side& side) {
    if (make_folders) side.outcome.folders = make_folders();
    const Status opened =
        OpenLocalFile(side.file.disk(), local_path, &side.file);
    if (!opened.ok()) return side.Fail(side.outcome.opened, opened);
    // Without its note the start of the file is not gone on with after a
    // crash, only in this run: nothing to report.
    if (note) (void)side.file.Note(*note);
  });
}

void WriterFile::Write(const char* data, qint64 size) {
  Post(
      [bytes = QByteArray(data, size)](Side& side) {
        if (side.failed.load(std::memory_order_acquire)) return;
        if (!side.file.is_open()) {
          return side.Fail(side.outcome.written,
                           Status::Failure(QStringLiteral("Not open")));
        }
        const Status written = side.file.Write(bytes);
        if (!written.ok()) side.Fail(side.outcome.written, written);
      },
      size);
}

void WriterFile::Commit(std::optional<QDateTime> modified) {
  open_ = false;
  Post([modified = std::move(modified)](Side& side) {
    const Status committed = side.file.Commit(modified);
    if (!committed.ok()) side.Fail(side.outcome.committed, committed);
  });
}

void WriterFile::Cancel() {
  open_ = false;
  Post([](Side& side) {
    side.file.Cancel();
    side.outcome = {};
    side.failed.store(false, std::memory_order_release);
  });
}

void WriterFile::Keep() {
  open_ = false;
  Post([](Side& side) { side.file.Keep(); });
}

bool WriterFile::failed() const {
  return side_->failed.load(std::memory_order_acquire);
}

bool WriterFile::idle() const { return writers_.Idle(*lane_); }

const WriterFile::Outcome& WriterFile::outcome() const {
  return side_->outcome;
}

}  // namespace trawlbox
