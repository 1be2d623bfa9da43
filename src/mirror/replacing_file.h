#ifndef TRAWLBOX_MIRROR_REPLACING_FILE_H_
#define TRAWLBOX_MIRROR_REPLACING_FILE_H_

#include <QString>
#include <memory>

#include "core/file_system.h"
#include "core/status.h"

namespace trawlbox {

// Writes a file that replaces `target` only when Commit() is called: the
// bytes go to a new file beside it, which then takes the target's name in
// one step. An existing file is thus never truncated, half-written or left
// with old bytes past the new end, and an abandoned write leaves nothing.
//
// Unlike QSaveFile it does not force the bytes to the disk before the
// rename: that wait costs about a millisecond per file, most of a mirror's
// time when the files are small, and would stall the window on large ones.
class ReplacingFile {
 public:
  ReplacingFile(FileSystem& disk, const QString& target)
      : disk_(disk), target_(target) {}
  ~ReplacingFile() { Cancel(); }
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the new file beside the target.
  Status Open();
  Status Write(const char* data, qint64 size);
  Status Write(const QByteArray& bytes) {
    return Write(bytes.constData(), bytes.size());
  }
  // Puts the new file in the target's place; on failure the target stays
  // as it was and the new file is gone.
  Status Commit();
  // Drops the new file; the target stays as it was.
  void Cancel();

  const QString& target() const { return target_; }

 private:
  FileSystem& disk_;
  QString target_;
  QString part_name_;  // empty when there is no new file
  std::unique_ptr<FileSystem::NewFile> part_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_REPLACING_FILE_H_
