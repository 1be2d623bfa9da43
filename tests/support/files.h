#ifndef TRAWLBOX_TESTS_SUPPORT_FILES_H_
#define TRAWLBOX_TESTS_SUPPORT_FILES_H_

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include "core/file_list.h"

namespace trawlbox {

// Writes `bytes` as the whole file at `path`, making its folder; false
// when the disk refuses.
inline bool WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         file.write(bytes) == bytes.size();
}

// A file's bytes, or "<none>" when it cannot be read.
inline QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

// The texts of a file list's rows, in order.
inline QStringList Rows(const FileList& list) {
  QStringList rows;
  for (qsizetype i = 1; i <= list.Count(); ++i) rows << list.Text(i);
  return rows;
}

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_FILES_H_
