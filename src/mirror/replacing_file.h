#ifndef TRAWLBOX_MIRROR_REPLACING_FILE_H_
#define TRAWLBOX_MIRROR_REPLACING_FILE_H_

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

#include "core/file_system.h"
#include "core/status.h"

namespace trawlbox {

// What a new file holds the start of: the answer it began with, noted
// beside it so that a later run can ask for the rest of the same file.
struct PartOrigin {
  QString address = {};  // as the row gave it
  QByteArray etag = {};  // as the server sent them; empty when absent
  QByteArray last_modified = {};
  qint64 length = 0;  // of the whole file
};

// Writes a file that replaces `target` only when Commit() is called: the
// bytes go to a new file beside it, which then takes the target's name in
// one step. An existing file is thus never truncated, half-written or left
// with old bytes past the new end.
//
// The new file is hidden in the target's folder under a name made from the
// target's (".NAME.trawlbox-part"), so that a download of the same target
// after a crash finds what was left there: Reopen() goes on with it when a
// note beside it (".NAME.trawlbox-note") says what it began as, and Open()
// replaces it otherwise. A second writer of the same target in one run
// takes a fresh random name instead.
//
// Unlike QSaveFile it does not force the bytes to the disk before the
// rename: that wait costs about a millisecond per file, most of a mirror's
// time when the files are small, and would stall the window on large ones.
class ReplacingFile {
 public:
  enum class Naming { kFromTarget, kFresh };

  ReplacingFile(FileSystem& disk, const QString& target,
                Naming naming = Naming::kFromTarget);
  // Drops the new file, unless Keep() left it for a later run.
  ~ReplacingFile() { Cancel(); }
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // The new file an earlier run left beside the target, opened at its end,
  // with what it began as: when its note says it holds the start of
  // `address` and it is shorter than the whole. Otherwise whatever was left
  // goes, and the answer is none.
  std::optional<PartOrigin> Reopen(const QString& address);
  // Creates the new file beside the target, empty; created exclusively, so
  // nothing planted there is followed.
  Status Open();
  // Notes beside the new file what it holds the start of.
  Status Note(const PartOrigin& origin);
  Status Write(const char* data, qint64 size);
  Status Write(const QByteArray& bytes) {
    return Write(bytes.constData(), bytes.size());
  }
  // The bytes in the new file.
  qint64 size() const { return part_ ? part_->Size() : 0; }
  bool is_open() const { return part_ != nullptr; }

  // Puts the new file in the target's place, dated `modified` when given;
  // on failure the target stays as it was and the new file is gone.
  Status Commit(const std::optional<QDateTime>& modified = std::nullopt);
  // Drops the new file and its note; the target stays as it was.
  void Cancel();
  // Leaves the new file beside the target for a later run to go on with,
  // when it has a note; drops it otherwise.
  void Keep();

  const QString& target() const { return target_; }
  FileSystem& disk() const { return disk_; }
  // The names the new file and its note take beside `target`.
  static QString PartName(const QString& target);
  static QString NoteName(const QString& target);

 private:
  Status OpenFresh();
  void Forget();

  FileSystem& disk_;
  const QString target_;
  const Naming naming_;
  QString part_name_;  // empty when there is no new file
  bool noted_ = false;
  std::unique_ptr<FileSystem::NewFile> part_;
};

// Opens `file`, the new file for the path text `local_path` (none when the
// text names no path). The system's own text is only the last word: a
// missing or locked folder is said the way users of the program have
// always read it.
Status OpenLocalFile(FileSystem& disk, const QString& local_path,
                     ReplacingFile* file);

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_REPLACING_FILE_H_
