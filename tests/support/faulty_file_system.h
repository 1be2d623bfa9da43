#ifndef TRAWLBOX_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H_
#define TRAWLBOX_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H_

#include <QDir>
#include <QSet>
#include <QString>
#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "core/file_system.h"

namespace trawlbox {

// The real disk, refusing on demand the way a real one refuses: full after
// a number of bytes, read-only, or unable to rename a file into place.
// Everything it lets through happens on the disk underneath, so a test
// checks the folder itself afterwards.
class FaultyFileSystem : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem& real) : real_(real) {}

  // The system's own words for the failures played here.
  static QString NoSpaceText() { return Text(std::errc::no_space_on_device); }
  static QString PermissionDeniedText() {
    return Text(std::errc::permission_denied);
  }

  // The disk takes `bytes` more and is then full: a write past them stores
  // what still fits and fails. Like on a real disk, removing a file written
  // here gives its room back.
  void FillAfter(qint64 bytes) {
    const std::lock_guard lock(mutex_);
    room_ = bytes;
  }
  // Nothing may be made, renamed or removed any more, as after a remount
  // read-only. May be switched from a server's thread in the middle of a
  // run.
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  // A file cannot be renamed onto `target`, as when another program holds
  // it open.
  void FailRenamesOnto(const QString& target) {
    const std::lock_guard lock(mutex_);
    refused_targets_ << Comparable(target);
  }

  bool Exists(const QString& path) const override { return real_.Exists(path); }
  bool FolderExists(const QString& path) const override {
    return real_.FolderExists(path);
  }
  bool Writable(const QString& path) const override {
    return !read_only_ && real_.Writable(path);
  }

  Status MakeFolder(const QString& path) override {
    if (read_only_) return Status::Failure(PermissionDeniedText());
    return real_.MakeFolder(path);
  }
  Result<std::unique_ptr<NewFile>> CreateNew(const QString& path) override {
    if (read_only_) return Status::Failure(PermissionDeniedText());
    Result<std::unique_ptr<NewFile>> file = real_.CreateNew(path);
    if (!file.ok()) return file;
    return std::unique_ptr<NewFile>(
        std::make_unique<FaultyNewFile>(*this, file.Take(), path));
  }
  Result<std::unique_ptr<NewFile>> OpenToAppend(const QString& path) override {
    if (read_only_) return Status::Failure(PermissionDeniedText());
    Result<std::unique_ptr<NewFile>> file = real_.OpenToAppend(path);
    if (!file.ok()) return file;
    return std::unique_ptr<NewFile>(
        std::make_unique<FaultyNewFile>(*this, file.Take(), path));
  }
  Result<QByteArray> ReadSmallFile(const QString& path,
                                   qint64 limit) const override {
    return real_.ReadSmallFile(path, limit);
  }
  Result<QDateTime> ModifiedTime(const QString& path) const override {
    return real_.ModifiedTime(path);
  }
  Status Rename(const QString& from, const QString& to) override {
    const std::lock_guard lock(mutex_);
    if (read_only_ || refused_targets_.contains(Comparable(to))) {
      return Status::Failure(PermissionDeniedText());
    }
    if (const Status renamed = real_.Rename(from, to); !renamed.ok()) {
      return renamed;
    }
    Release(to);
    const auto held = held_.find(from);
    if (held != held_.end()) {
      held_[to] = held->second;
      held_.erase(from);
    }
    return {};
  }
  Status Remove(const QString& path) override {
    if (read_only_) return Status::Failure(PermissionDeniedText());
    const std::lock_guard lock(mutex_);
    if (const Status removed = real_.Remove(path); !removed.ok()) {
      return removed;
    }
    Release(path);
    return {};
  }
  Result<std::unique_ptr<ScratchFile>> CreateScratch(
      const QString& name_template) override {
    return real_.CreateScratch(name_template);
  }

 private:
  class FaultyNewFile : public NewFile {
   public:
    FaultyNewFile(FaultyFileSystem& disk, std::unique_ptr<NewFile> real,
                  QString path)
        : disk_(disk), real_(std::move(real)), path_(std::move(path)) {}

    Status Write(const char* data, qint64 size) override {
      const std::lock_guard lock(disk_.mutex_);
      qint64 fits = size;
      if (disk_.room_) fits = std::min(size, *disk_.room_);
      if (fits > 0) {
        if (const Status written = real_->Write(data, fits); !written.ok()) {
          return written;
        }
      }
      if (disk_.room_) {
        *disk_.room_ -= fits;
        disk_.held_[path_] += fits;
      }
      if (fits == size) return {};
      return Status::Failure(NoSpaceText());
    }
    qint64 Size() const override { return real_->Size(); }
    Status SetModified(const QDateTime& time) override {
      if (disk_.read_only_) return Status::Failure(PermissionDeniedText());
      return real_->SetModified(time);
    }
    Status Close() override { return real_->Close(); }

   private:
    FaultyFileSystem& disk_;
    std::unique_ptr<NewFile> real_;
    const QString path_;
  };

  // The program hands over system paths, a test may name them either way.
  static QString Comparable(const QString& path) {
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
  }
  static QString Text(std::errc code) {
    return QString::fromLocal8Bit(std::make_error_code(code).message());
  }

  // The room the file at `path` took, when it was written here, is free
  // again.
  void Release(const QString& path) {
    const auto held = held_.find(path);
    if (held == held_.end()) return;
    if (room_) *room_ += held->second;
    held_.erase(held);
  }

  FileSystem& real_;
  // The disk writers write side by side: what follows is shared by them.
  std::mutex mutex_;
  std::optional<qint64> room_;      // none: never full
  std::map<QString, qint64> held_;  // bytes written here, per file
  std::atomic<bool> read_only_ = false;
  QSet<QString> refused_targets_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H_
