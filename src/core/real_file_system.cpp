#include "core/real_file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
  // Takes an open descriptor of the file over.
  bool OpenAtEnd(int descriptor) {
    return file_.open(descriptor, QIODevice::WriteOnly | QIODevice::Append,
                      QFileDevice::AutoCloseHandle);
  }
  bool OpenAtEnd() {
    return file_.open(QIODevice::WriteOnly | QIODevice::Append);
  }

  Status Write(const char* data, qint64 size) override {
    if (file_.write(data, size) == size) return {};
    return Status::Failure(file_.errorString());
  }
  qint64 Size() const override { return file_.size(); }
  Status SetModified(const QDateTime& time) override {
    if (file_.flush() &&
        file_.setFileTime(time, QFileDevice::FileModificationTime)) {
      return {};
    }
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

Result<std::unique_ptr<FileSystem::NewFile>> RealFileSystem::OpenToAppend(
    const QString& path) {
  auto file = std::make_unique<RealNewFile>(path);
  const QString not_plain = QStringLiteral("%1 is not a plain file")
                                .arg(QDir::toNativeSeparators(path));
#ifdef Q_OS_WIN
  const QFileInfo info(path);
  if (info.isSymLink() || info.isShortcut() || !info.isFile()) {
    return Status::Failure(not_plain);
  }
  if (!file->OpenAtEnd()) return Status::Failure(file->errorString());
#else
  // Opened without following a link, then looked at through the descriptor
  // itself, so nothing can be swapped in between.
  const int descriptor =
      ::open(QFile::encodeName(path).constData(),
             O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) {
    return Status::Failure(
        QString::fromLocal8Bit(std::generic_category().message(errno)));
  }
  struct stat facts;
  if (::fstat(descriptor, &facts) != 0 || !S_ISREG(facts.st_mode) ||
      facts.st_nlink != 1) {
    ::close(descriptor);
    return Status::Failure(not_plain);
  }
  if (!file->OpenAtEnd(descriptor)) {
    ::close(descriptor);
    return Status::Failure(file->errorString());
  }
#endif
  return std::unique_ptr<NewFile>(std::move(file));
}

Result<QByteArray> RealFileSystem::ReadSmallFile(const QString& path,
                                                 qint64 limit) const {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return Status::Failure(file.errorString());
  }
  const QByteArray bytes = file.read(limit + 1);
  if (file.error() != QFileDevice::NoError) {
    return Status::Failure(file.errorString());
  }
  if (bytes.size() > limit) {
    return Status::Failure(QStringLiteral("%1 is larger than %2 bytes")
                               .arg(QDir::toNativeSeparators(path))
                               .arg(limit));
  }
  return bytes;
}

Result<QDateTime> RealFileSystem::ModifiedTime(const QString& path) const {
  const QFileInfo info(path);
  const QDateTime time = info.lastModified();
  if (!info.exists() || !time.isValid()) {
    return Status::Failure(
        QStringLiteral("No time for %1").arg(QDir::toNativeSeparators(path)));
  }
  return time;
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
