#include "core/real_file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#include "core/existence.h"

namespace trawlbox {
namespace {

std::filesystem::path FileSystemPath(const QString& path) {
#ifdef Q_OS_WIN
  return std::filesystem::path(path.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// Buffered by QFile, so a body's small pieces are not each a call into the
// system. Unlike QSaveFile nothing is forced to the disk on Close(): the
// download's ReplacingFile says why.
class RealNewFile : public FileSystem::NewFile {
 public:
  explicit RealNewFile(const QString& path) : file_(path) {}

  bool Open() { return file_.open(QIODevice::WriteOnly | QIODevice::NewOnly); }

  Status Write(const char* data, qint64 size) override {
    if (file_.write(data, size) == size) return {};
    return Status::Failure(file_.errorString());
  }
  Status Close() override {
    if (!file_.flush()) return Status::Failure(file_.errorString());
    file_.close();
    return {};
  }
  QString errorString() const { return file_.errorString(); }

 private:
  QFile file_;
};

}  // namespace

bool RealFileSystem::Exists(const QString& path) const {
  return FileExists(path);
}

bool RealFileSystem::FolderExists(const QString& path) const {
  return trawlbox::FolderExists(path);
}

bool RealFileSystem::Writable(const QString& path) const {
  return QFileInfo(path).isWritable();
}

bool RealFileSystem::MakeFolder(const QString& path) {
  return QDir().mkdir(path);
}

Result<std::unique_ptr<FileSystem::NewFile>> RealFileSystem::CreateNew(
    const QString& path) {
  auto file = std::make_unique<RealNewFile>(path);
  if (!file->Open()) return Status::Failure(file->errorString());
  return std::unique_ptr<NewFile>(std::move(file));
}

Status RealFileSystem::Rename(const QString& from, const QString& to) {
  // QFile::rename never replaces an existing file; this does, in one step.
  std::error_code failure;
  std::filesystem::rename(FileSystemPath(from), FileSystemPath(to), failure);
  if (!failure) return {};
  return Status::Failure(QString::fromLocal8Bit(failure.message()));
}

bool RealFileSystem::Remove(const QString& path) { return QFile::remove(path); }

}  // namespace trawlbox
