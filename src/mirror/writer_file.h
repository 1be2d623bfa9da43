#ifndef TRAWLBOX_MIRROR_WRITER_FILE_H_
#define TRAWLBOX_MIRROR_WRITER_FILE_H_

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "core/disk_writers.h"
#include "core/status.h"
#include "mirror/replacing_file.h"

namespace trawlbox {

class FileSystem;

// The local file of one transfer, made, written and put in place by the
// disk writers, one step after another in the order asked, while the
// window's thread goes on. Pieces are gathered here and handed on in
// blocks, with the making of the file in the first, so a short file costs
// the writers two steps: made and written, then put in place. Only the
// writers touch the file once a step is handed on; the window's thread
// reads what the steps came to once idle().
class WriterFile {
 public:
  // What the steps came to, since the last Cancel().
  struct Outcome {
    Status folders;    // of making the file's folders
    Status opened;     // of making the new file
    Status written;    // the first piece the disk refused
    Status committed;  // of putting the file in place
  };
  // The most bytes gathered here before they are handed on.
  static constexpr qsizetype kGatheredBytes = 64 * 1024;

  WriterFile(DiskWriters& writers, FileSystem& disk, const QString& target,
             ReplacingFile::Naming naming);
  // A file still open is dropped, by the writers.
  ~WriterFile();
  WriterFile(const WriterFile&) = delete;
  WriterFile& operator=(const WriterFile&) = delete;

  // What an earlier run left beside the target, on the window's thread:
  // only before any step is asked.
  std::optional<PartOrigin> Reopen(const QString& address);
  // The bytes of what Reopen() found.
  qint64 reopened_bytes() const { return reopened_bytes_; }

  // Runs `make_folders` (when given), then makes the new file for the
  // path text `local_path`, noted as `note` when given.
  void Open(std::function<Status()> make_folders, const QString& local_path,
            std::optional<PartOrigin> note);
  // Whether `size` more bytes may be handed to the writers now.
  bool HasRoom(qint64 size) const { return writers_.HasRoom(size); }
  // Adds a piece. A piece the disk refuses drops the new file, there and
  // then, and nothing more is written.
  void Write(const char* data, qint64 size);
  // Hands on what is gathered, the making of the file included.
  void Flush();
  // Puts the file in place, dated `modified` when given, unless a step
  // failed: then it is dropped.
  void Commit(std::optional<QDateTime> modified);
  // Drops the new file; the target stays as it was.
  void Cancel();
  // Leaves a noted new file for a later run; drops one without a note.
  void Keep();
  // Its steps go before other files' from now on.
  void Hurry() { writers_.Hurry(lane_); }

  // A file was asked for (or reopened) and not dropped or put in place
  // since: the window's side of it.
  bool is_open() const { return open_; }
  // Safe at any time: a step has failed since the last Cancel().
  bool failed() const;
  // Nothing handed on is left to do.
  bool idle() const;
  // Only once idle().
  const Outcome& outcome() const;
  // The writers' lane of this file, which outlives it while busy.
  const DiskWriters::LanePtr& lane() const { return lane_; }

 private:
  struct Side;
  struct Opening {
    std::function<Status()> make_folders;
    QString local_path;
    std::optional<PartOrigin> note;
  };
  // What the writers do with what was gathered: make the file, write it,
  // then `then`.
  void Post(std::function<void(Side&)> then);

  DiskWriters& writers_;
  DiskWriters::LanePtr lane_;
  std::shared_ptr<Side> side_;
  bool open_ = false;
  bool on_disk_ = false;            // the writers were asked to touch the file
  std::optional<Opening> opening_;  // not handed on yet
  QByteArray gathered_;
  qint64 reopened_bytes_ = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_WRITER_FILE_H_
