#include "mirror/replacing_file.h"

#include <QFileInfo>
#include <QRandomGenerator>

namespace trawlbox {

bool ReplacingFile::Open() {
  if (disk_.FolderExists(target_)) {
    error_ = QStringLiteral("A folder stands at %1").arg(target_);
    return false;
  }
  // A fresh name in the same folder (so the rename stays on one file
  // system), created exclusively: nothing planted there is followed.
  const QString folder = QFileInfo(target_).path();
  for (int attempt = 0; attempt < 16; ++attempt) {
    const QString name =
        folder + QStringLiteral("/.trawlbox-%1.part")
                     .arg(QRandomGenerator::global()->generate(), 8, 16,
                          QLatin1Char('0'));
    part_ = disk_.CreateNew(name, &error_);
    if (part_) {
      part_name_ = name;
      return true;
    }
    // Only a name already taken is worth another draw.
    if (!disk_.Exists(name)) break;
  }
  return false;
}

bool ReplacingFile::Write(const char* data, qint64 size) {
  if (part_->Write(data, size)) return true;
  error_ = part_->errorString();
  return false;
}

bool ReplacingFile::Commit() {
  if (!part_) {
    error_ = QStringLiteral("The file is not open");
    return false;
  }
  if (!part_->Close()) {
    error_ = part_->errorString();
    Cancel();
    return false;
  }
  part_.reset();
  if (!disk_.Rename(part_name_, target_, &error_)) {
    disk_.Remove(part_name_);
    part_name_.clear();
    return false;
  }
  part_name_.clear();
  return true;
}

void ReplacingFile::Cancel() {
  if (part_name_.isEmpty()) return;
  part_.reset();
  disk_.Remove(part_name_);
  part_name_.clear();
}

}  // namespace trawlbox
