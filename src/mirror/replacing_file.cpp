#include "mirror/replacing_file.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <filesystem>
#include <system_error>

namespace trawlbox {
namespace {

std::filesystem::path FileSystemPath(const QString& path) {
#ifdef Q_OS_WIN
  return std::filesystem::path(path.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

}  // namespace

bool ReplacingFile::Open() {
  if (QFileInfo(target_).isDir()) {
    error_ = QStringLiteral("A folder stands at %1").arg(target_);
    return false;
  }
  // A fresh name in the same folder (so the rename stays on one file
  // system), created exclusively: nothing planted there is followed.
  const QString folder = QFileInfo(target_).path();
  for (int attempt = 0; attempt < 16; ++attempt) {
    part_.setFileName(folder + QStringLiteral("/.trawlbox-%1.part")
                                   .arg(QRandomGenerator::global()->generate(),
                                        8, 16, QLatin1Char('0')));
    if (part_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return true;
    if (part_.error() != QFileDevice::OpenError || !part_.exists()) break;
  }
  error_ = part_.errorString();
  return false;
}

bool ReplacingFile::Write(const char* data, qint64 size) {
  if (part_.write(data, size) == size) return true;
  error_ = part_.errorString();
  return false;
}

bool ReplacingFile::Commit() {
  if (!part_.isOpen()) {
    error_ = QStringLiteral("The file is not open");
    return false;
  }
  if (!part_.flush()) {
    error_ = part_.errorString();
    Cancel();
    return false;
  }
  part_.close();
  std::error_code failure;
  std::filesystem::rename(FileSystemPath(part_.fileName()),
                          FileSystemPath(target_), failure);
  if (failure) {
    error_ = QString::fromLocal8Bit(failure.message());
    part_.remove();
    return false;
  }
  part_.setFileName(QString());
  return true;
}

void ReplacingFile::Cancel() {
  if (part_.fileName().isEmpty()) return;
  part_.close();
  part_.remove();
  part_.setFileName(QString());
}

}  // namespace trawlbox
