#ifndef TRAWLBOX_TESTS_SUPPORT_FILES_H_
#define TRAWLBOX_TESTS_SUPPORT_FILES_H_

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <map>

#include "core/file_list.h"

namespace trawlbox {

// Writes `bytes` as the whole file at `path`, making its folder; false
// when the disk refuses.
// A byte for each offset of a big body, with no short period, so a piece
// lost, handed twice or stored at the wrong place shows; `seed` makes
// another body of the same length.
inline char PatternByte(quint64 offset, char seed = 0) {
  return static_cast<char>(((offset * 0x9E3779B97F4A7C15ull) >> 56) + seed);
}

inline QByteArray Pattern(qsizetype size, char seed = 0) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (qsizetype i = 0; i < size; ++i) bytes[i] = PatternByte(i, seed);
  return bytes;
}

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

// Every file below `root`, relative path to content.
inline std::map<QString, QByteArray> Tree(const QString& root) {
  std::map<QString, QByteArray> tree;
  QDirIterator it(root, QDir::Files | QDir::Hidden,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    tree[QDir(root).relativeFilePath(path)] = ReadAll(path);
  }
  return tree;
}

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_FILES_H_
