#include "mirror/etag_record.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/file_system.h"
#include "mirror/replacing_file.h"

namespace trawlbox {
namespace {

// Far above what a mirror of a hundred thousand files records.
constexpr qint64 kLongestRecord = 64 * 1024 * 1024;

const QString kEtagsKey = QStringLiteral("etags");

// The folder's path with the separator that its entries follow.
QString Inside(const QString& folder) {
  return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

}  // namespace

EtagRecord::EtagRecord(FileSystem& disk, const QString& folder)
    : disk_(disk),
      folder_(QDir::cleanPath(QDir::fromNativeSeparators(folder))) {
  const Result<QByteArray> text =
      disk_.ReadSmallFile(Inside(folder_) + kFileName, kLongestRecord);
  if (!text.ok()) return;
  const QJsonObject etags = QJsonDocument::fromJson(text.value())
                                .object()
                                .value(kEtagsKey)
                                .toObject();
  for (auto it = etags.begin(); it != etags.end(); ++it) {
    const QByteArray etag = it.value().toString().toLatin1();
    if (!it.key().isEmpty() && !etag.isEmpty()) etags_.insert(it.key(), etag);
  }
}

QString EtagRecord::Key(const QString& file) const {
  const QString path = QDir::cleanPath(QDir::fromNativeSeparators(file));
  const QString inside = Inside(folder_);
  if (!path.startsWith(inside)) return QString();
  return path.mid(inside.size());
}

QByteArray EtagRecord::Get(const QString& file) const {
  return etags_.value(Key(file));
}

void EtagRecord::Set(const QString& file, const QByteArray& etag) {
  const QString key = Key(file);
  if (key.isEmpty() || etags_.value(key) == etag) return;
  if (etag.isEmpty()) {
    etags_.remove(key);
  } else {
    etags_.insert(key, etag);
  }
  changed_ = true;
}

Status EtagRecord::Save() {
  if (!changed_) return {};
  QJsonObject etags;
  for (auto it = etags_.cbegin(); it != etags_.cend(); ++it) {
    etags.insert(it.key(), QString::fromLatin1(it.value()));
  }
  const QByteArray text = QJsonDocument(QJsonObject{{kEtagsKey, etags}})
                              .toJson(QJsonDocument::Compact);
  ReplacingFile file(disk_, Inside(folder_) + kFileName);
  Status done = file.Open();
  if (done.ok()) done = file.Write(text);
  if (done.ok()) done = file.Commit();
  if (done.ok()) changed_ = false;
  return done;
}

}  // namespace trawlbox
