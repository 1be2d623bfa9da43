#ifndef TRAWLBOX_MIRROR_ETAG_RECORD_H_
#define TRAWLBOX_MIRROR_ETAG_RECORD_H_

#include <QByteArray>
#include <QMap>
#include <QString>

#include "core/status.h"

namespace trawlbox {

class FileSystem;

// The ETags of the files that updates stored below one destination folder,
// kept in one small hidden file there, so that the next update can ask for
// each file with If-None-Match. A record that is missing, damaged or cannot
// be read holds nothing; paths are in the system's form.
class EtagRecord {
 public:
  // The record's name in the folder.
  static inline const QString kFileName = QStringLiteral(".trawlbox-etags");

  // Reads the record of `folder`.
  EtagRecord(FileSystem& disk, const QString& folder);

  // The ETag recorded for `file`; empty when none is, or the file is not
  // below the folder.
  QByteArray Get(const QString& file) const;
  // Records `etag` for `file`; an empty one forgets the file.
  void Set(const QString& file, const QByteArray& etag);
  // Writes the record when it changed, replacing the old one whole.
  Status Save();

 private:
  // `file` relative to the folder, with "/" between levels; empty when it
  // is not below it.
  QString Key(const QString& file) const;

  FileSystem& disk_;
  const QString folder_;
  QMap<QString, QByteArray> etags_;
  bool changed_ = false;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_ETAG_RECORD_H_
