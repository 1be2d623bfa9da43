#include "mirror/replacing_file.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include "mirror/path_mapping.h"

namespace trawlbox {
namespace {

// A note is a few lines; anything longer is not one of ours.
constexpr qint64 kLongestNote = 16 * 1024;
// The longest name, in bytes, that the usual file systems take.
constexpr qsizetype kLongestName = 255;

// The hidden name beside `target` that ends in `suffix`: made from the
// target's own name, or from a digest of it when that would be too long.
QString BesideName(const QString& target, QLatin1String suffix) {
  const QFileInfo info(target);
  QString name = info.fileName();
  if (QFile::encodeName(name).size() + 1 + suffix.size() > kLongestName) {
    name = QString::fromLatin1(
        QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16));
  }
  return info.path() + QStringLiteral("/.") + name + suffix;
}

QByteArray NoteText(const PartOrigin& origin) {
  const QJsonObject note{
      {QStringLiteral("address"), origin.address},
      {QStringLiteral("etag"), QString::fromLatin1(origin.etag)},
      {QStringLiteral("last_modified"),
       QString::fromLatin1(origin.last_modified)},
      {QStringLiteral("length"), QString::number(origin.length)},
  };
  return QJsonDocument(note).toJson(QJsonDocument::Compact);
}

// What a note says; none when it is damaged, or says too little to go on
// with a file safely.
std::optional<PartOrigin> ReadNote(const QByteArray& text) {
  const QJsonObject note = QJsonDocument::fromJson(text).object();
  PartOrigin origin;
  origin.address = note.value(QStringLiteral("address")).toString();
  origin.etag = note.value(QStringLiteral("etag")).toString().toLatin1();
  origin.last_modified =
      note.value(QStringLiteral("last_modified")).toString().toLatin1();
  bool number = false;
  origin.length =
      note.value(QStringLiteral("length")).toString().toLongLong(&number);
  if (origin.address.isEmpty() || !number || origin.length <= 0 ||
      (origin.etag.isEmpty() && origin.last_modified.isEmpty())) {
    return std::nullopt;
  }
  return origin;
}

// Creates `name` anew; a file of that name is left by an earlier run that
// nothing goes on with, and goes first.
Result<std::unique_ptr<FileSystem::NewFile>> CreateInPlaceOfLeftover(
    FileSystem& disk, const QString& name) {
  Result<std::unique_ptr<FileSystem::NewFile>> created = disk.CreateNew(name);
  if (created.ok() || !disk.Exists(name)) return created;
  (void)disk.Remove(name);
  return disk.CreateNew(name);
}

}  // namespace

ReplacingFile::ReplacingFile(FileSystem& disk, const QString& target,
                             Naming naming)
    : disk_(disk), target_(target), naming_(naming) {}

QString ReplacingFile::PartName(const QString& target) {
  return BesideName(target, QLatin1String(".trawlbox-part"));
}

QString ReplacingFile::NoteName(const QString& target) {
  return BesideName(target, QLatin1String(".trawlbox-note"));
}

std::optional<PartOrigin> ReplacingFile::Reopen(const QString& address) {
  if (naming_ != Naming::kFromTarget || part_) return std::nullopt;
  const QString part = PartName(target_);
  const QString note = NoteName(target_);
  // Nothing to report: what cannot be gone on with is started again.
  const auto drop = [&] {
    (void)disk_.Remove(part);
    (void)disk_.Remove(note);
  };
  if (!disk_.Exists(part)) {
    if (disk_.Exists(note)) (void)disk_.Remove(note);
    return std::nullopt;
  }
  const Result<QByteArray> text = disk_.ReadSmallFile(note, kLongestNote);
  const std::optional<PartOrigin> origin =
      text.ok() ? ReadNote(text.value()) : std::nullopt;
  if (!origin || origin->address != address) {
    drop();
    return std::nullopt;
  }
  Result<std::unique_ptr<FileSystem::NewFile>> opened =
      disk_.OpenToAppend(part);
  if (!opened.ok()) {
    drop();
    return std::nullopt;
  }
  std::unique_ptr<FileSystem::NewFile> file = opened.Take();
  const qint64 size = file->Size();
  if (size <= 0 || size >= origin->length) {
    file.reset();
    drop();
    return std::nullopt;
  }
  part_ = std::move(file);
  part_name_ = part;
  noted_ = true;
  return origin;
}

Status ReplacingFile::Open() {
  if (disk_.FolderExists(target_)) {
    return Status::Failure(
        QStringLiteral("A folder stands at %1").arg(target_));
  }
  if (naming_ == Naming::kFresh) return OpenFresh();
  // In the same folder, so the rename stays on one file system.
  const QString name = PartName(target_);
  Result<std::unique_ptr<FileSystem::NewFile>> created =
      CreateInPlaceOfLeftover(disk_, name);
  if (!created.ok()) return created.status();
  part_ = created.Take();
  part_name_ = name;
  noted_ = false;
  return {};
}

Status ReplacingFile::OpenFresh() {
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

Status ReplacingFile::Note(const PartOrigin& origin) {
  if (!part_) return Status::Failure(QStringLiteral("The file is not open"));
  // Nothing finds a fresh name again.
  if (naming_ == Naming::kFresh) return {};
  const QString name = NoteName(target_);
  Result<std::unique_ptr<FileSystem::NewFile>> created =
      CreateInPlaceOfLeftover(disk_, name);
  if (!created.ok()) return created.status();
  std::unique_ptr<FileSystem::NewFile> note = created.Take();
  const QByteArray text = NoteText(origin);
  Status written = note->Write(text.constData(), text.size());
  if (written.ok()) written = note->Close();
  note.reset();
  if (!written.ok()) {
    (void)disk_.Remove(name);
    return written;
  }
  noted_ = true;
  return {};
}

Status ReplacingFile::Write(const char* data, qint64 size) {
  return part_->Write(data, size);
}

Status ReplacingFile::Commit(const std::optional<QDateTime>& modified) {
  if (!part_) return Status::Failure(QStringLiteral("The file is not open"));
  if (modified) {
    // The bytes are right either way: where the time cannot be set the
    // file keeps the time of its writing, as wget leaves it.
    (void)part_->SetModified(*modified);
  }
  if (const Status closed = part_->Close(); !closed.ok()) {
    Cancel();
    return closed;
  }
  part_.reset();
  const Status renamed = disk_.Rename(part_name_, target_);
  // A new file that cannot be removed either stays behind; the rename's
  // failure is what is reported.
  if (!renamed.ok()) (void)disk_.Remove(part_name_);
  if (noted_) (void)disk_.Remove(NoteName(target_));
  Forget();
  return renamed;
}

void ReplacingFile::Cancel() {
  if (part_name_.isEmpty()) return;
  part_.reset();
  // Nothing to report: the target stays as it was either way.
  (void)disk_.Remove(part_name_);
  if (noted_) (void)disk_.Remove(NoteName(target_));
  Forget();
}

void ReplacingFile::Keep() {
  if (part_name_.isEmpty()) return;
  if (!noted_ || !part_->Close().ok()) {
    Cancel();
    return;
  }
  Forget();
}

void ReplacingFile::Forget() {
  part_.reset();
  part_name_.clear();
  noted_ = false;
}

Status OpenLocalFile(FileSystem& disk, const QString& local_path,
                     ReplacingFile* file) {
  const std::optional<QString> native = ToNativePath(local_path);
  if (!native || file == nullptr) {
    return Status::Failure(ErrorKind::kPathNotFound);
  }
  const Status opened = file->Open();
  if (opened.ok()) return opened;
  const QString parent = QFileInfo(*native).absolutePath();
  if (!disk.FolderExists(parent)) {
    return Status::Failure(ErrorKind::kPathNotFound);
  }
  if (!disk.Writable(parent)) {
    return Status::Failure(ErrorKind::kPermissionDenied);
  }
  return opened;  // a name too long or refused, a full disk
}

}  // namespace trawlbox
