#include "mirror/replacing_file.h"

#include <QFileInfo>
#include <QRandomGenerator>

namespace trawlbox {

Status ReplacingFile::Open() {
  if (disk_.FolderExists(target_)) {
    return Status::Failure(
        QStringLiteral("A folder stands at %1").arg(target_));
  }
  // A fresh name in the same folder (so the rename stays on one file
  // system), created exclusively: nothing planted there is followed.
  const QString folder = QFileInfo(target_).path();
  Status failure;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const QString name =
        folder + QStringLiteral("/.trawlbox-%1.part")
                     .arg(QRandomGenerator::global()->generate(), 8, 16,
                          QLatin1Char('0'));
    Result<std::unique_ptr<FileSystem::NewFile>> created =
        disk_.CreateNew(name);
    if (created.ok()) {
      part_ = created.Take();
      part_name_ = name;
      return {};
    }
    failure = created.status();
    // Only a name already taken is worth another draw.
    if (!disk_.Exists(name)) break;
  }
  return failure;
}

Status ReplacingFile::Write(const char* data, qint64 size) {
  return part_->Write(data, size);
}

Status ReplacingFile::Commit() {
  if (!part_) return Status::Failure(QStringLiteral("The file is not open"));
  if (const Status closed = part_->Close(); !closed.ok()) {
    Cancel();
    return closed;
  }
  part_.reset();
  const Status renamed = disk_.Rename(part_name_, target_);
  // A new file that cannot be removed either stays behind; the rename's
  // failure is what is reported.
  if (!renamed.ok()) (void)disk_.Remove(part_name_);
  part_name_.clear();
  return renamed;
}

void ReplacingFile::Cancel() {
  if (part_name_.isEmpty()) return;
  part_.reset();
  // Nothing to report: the target stays as it was either way.
  (void)disk_.Remove(part_name_);
  part_name_.clear();
}

}  // namespace trawlbox
