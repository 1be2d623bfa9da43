#include "core/real_file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
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

// A QTemporaryFile: made exclusively under a name of its own, so another
// walk, another copy of the program or another user's file can neither
// take it nor block it; removed with the object.
class RealScratchFile : public FileSystem::ScratchFile {
 public:
  explicit RealScratchFile(const QString& name_template)
      : file_(name_template) {}

  bool Open() { return file_.open(); }
  QString errorString() const { return file_.errorString(); }

  Status Write(const char* data, qint64 size) override {
    if (file_.write(data, size) == size) return {};
    return Status::Failure(file_.errorString());
  }
  Status Rewind() override {
    if (file_.flush() && file_.seek(0)) return {};
    return Status::Failure(file_.errorString());
  }
  Result<qint64> Read(char* data, qint64 size) override {
    const qint64 read = file_.read(data, size);
    if (read < 0) return Status::Failure(file_.errorString());
    return read;
  }
  qint64 Size() const override { return file_.size(); }
  Status Empty() override {
    if (file_.resize(0) && file_.seek(0)) return {};
    return Status::Failure(file_.errorString());
  }
  QString name() const override { return file_.fileName(); }

 private:
  QTemporaryFile file_;
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

Status RealFileSystem::MakeFolder(const QString& path) {
  if (QDir().mkdir(path)) return {};
  // The system gives no reason; the queries tell it.
  return Status::Failure(ErrorKind::kPathFileAccess);
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

Status RealFileSystem::Remove(const QString& path) {
  QFile file(path);
  if (file.remove() || !file.exists()) return {};
  return Status::Failure(file.errorString());
}

Result<std::unique_ptr<FileSystem::ScratchFile>> RealFileSystem::CreateScratch(
    const QString& name_template) {
  auto file = std::make_unique<RealScratchFile>(name_template);
  if (!file->Open()) return Status::Failure(file->errorString());
  return std::unique_ptr<ScratchFile>(std::move(file));
}

}  // namespace trawlbox
