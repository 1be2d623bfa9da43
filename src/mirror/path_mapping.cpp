#include "mirror/path_mapping.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <limits>

#include "core/app_error.h"
#include "core/file_system.h"
#include "core/status.h"

namespace trawlbox {
namespace {

constexpr QChar kBackslash = u'\\';

// Replaces each pair of backslashes by one in a single left-to-right pass, so
// a run of n backslashes comes out as ceil(n / 2) of them.
QString HalvePairs(QStringView text) {
  QString result;
  result.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    result.append(text[i]);
    if (text[i] == kBackslash && i + 1 < text.size() &&
        text[i + 1] == kBackslash) {
      ++i;
    }
  }
  return result;
}

// Levels made of spaces only are not levels; tabs and other blanks are
// ordinary characters of a name.
bool IsBlankPart(const QString& part) {
  for (QChar c : part) {
    if (c != u' ') return false;
  }
  return true;
}

// A ".." anywhere would let an address the site chose climb out of the
// destination folder. Both separators count: the text may still hold a "/"
// that the system reads as one.
bool HasParentSegment(const QString& path_text) {
  qsizetype start = 0;
  for (qsizetype i = 0; i <= path_text.size(); ++i) {
    if (i == path_text.size() || path_text[i] == kBackslash ||
        path_text[i] == u'/') {
      if (QStringView(path_text).sliced(start, i - start) == u"..") {
        return true;
      }
      start = i + 1;
    }
  }
  return false;
}

// Tells why the disk refused to make the folder `native`, in the words
// users know.
// Why the folder `native` was not made: the system gives no reason, so the
// parent is asked.
Status CreationFailure(const FileSystem& disk, const QString& native) {
  const QString parent = QFileInfo(native).absolutePath();
  if (!disk.Exists(parent)) return Status::Failure(ErrorKind::kPathNotFound);
  if (disk.FolderExists(parent) && !disk.Writable(parent)) {
    return Status::Failure(ErrorKind::kPermissionDenied);
  }
  // The parent is fine as far as we can tell: a file in the way, a name the
  // system refuses or a race with another program.
  return Status::Failure(ErrorKind::kPathFileAccess);
}

}  // namespace

QString GetFolderPart(const QString& path) {
  const qsizetype last = path.lastIndexOf(kBackslash);
  return last < 0 ? QString() : path.left(last + 1);
}

QString GetExtension(const QString& path) {
  const qsizetype last = path.lastIndexOf(u'.');
  return last < 0 ? QString() : path.mid(last);
}

QString RemoveExtension(const QString& path) {
  const qsizetype last = path.lastIndexOf(u'.');
  // A name that starts with its only dot (".htaccess") has no extension to
  // remove.
  return last >= 1 ? path.left(last) : path;
}

QString FixBackslashes(const QString& path) {
  if (!path.startsWith(kBackslash)) return HalvePairs(path);
  qsizetype rest = 1;
  while (rest < path.size() && path[rest] == kBackslash) ++rest;
  return QStringLiteral("\\\\") + HalvePairs(QStringView(path).sliced(rest));
}

QString MapAddressText(const QString& address, const QString& start_address,
                       const QString& folder, QString* after_first_fix) {
  // Done by hand rather than with QString::replace so that an empty start
  // address is plainly a no-op and a folder that contains the start address
  // is never scanned again.
  // A folder typed without a final separator is still the folder: what
  // follows the start address goes inside it, never beside it.
  QString inside = folder;
  if (!inside.isEmpty() && !inside.endsWith(kBackslash) &&
      !inside.endsWith(u'/')) {
    inside += kBackslash;
  }
  QString text;
  if (start_address.isEmpty()) {
    text = address;
  } else {
    qsizetype from = 0;
    for (qsizetype hit = address.indexOf(start_address, 0, Qt::CaseSensitive);
         hit >= 0;
         hit = address.indexOf(start_address, from, Qt::CaseSensitive)) {
      text += QStringView(address).sliced(from, hit - from);
      text += inside;
      from = hit + start_address.size();
    }
    text += QStringView(address).sliced(from);
  }
  text.replace(u'/', kBackslash);
  text = FixBackslashes(text);
  if (after_first_fix != nullptr) *after_first_fix = text;
  text.replace(u'?', u'_');
  return FixBackslashes(text);
}

std::optional<QString> ToNativePath(const QString& path_text) {
  if (path_text.contains(QChar(0)) || HasParentSegment(path_text)) {
    return std::nullopt;
  }
#ifdef Q_OS_WIN
  return path_text;
#else
  // A destination such as "/home/u/Mirror/" reaches us as
  // "\\home\u\Mirror\...": the mapping turns its "/" into "\" and the leading
  // one into the network prefix. So the network form is the only one that
  // names a place here; a drive letter or a scheme left in front by an
  // address outside the start address names nothing.
  if (!path_text.startsWith(QStringLiteral("\\\\"))) return std::nullopt;
  QString native = QStringLiteral("/") + path_text.mid(2);
  native.replace(kBackslash, u'/');
  return native;
#endif
}

bool PathFileExists(const FileSystem& disk, const QString& path_text) {
  const std::optional<QString> native = ToNativePath(path_text);
  return native && disk.Exists(*native);
}

bool PathFolderExists(const FileSystem& disk, const QString& path_text) {
  const std::optional<QString> native = ToNativePath(path_text);
  return native && disk.FolderExists(*native);
}

Status CreateFolderPath(FileSystem& disk, const QString& folder) {
  const QString fixed = FixBackslashes(folder);
  if (PathFolderExists(disk, fixed)) return {};
  const QStringList parts = fixed.split(kBackslash, Qt::KeepEmptyParts);
  // The drive or the server is where the walk starts; it is never created.
  QString current;
  qsizetype first_to_add = 1;
  if (fixed.startsWith(QStringLiteral("\\\\"))) {
    current = QStringLiteral("\\\\") + parts.value(2);
    first_to_add = 3;
  } else {
    current = parts.value(0);
  }
  for (qsizetype i = first_to_add; i < parts.size(); ++i) {
    const QString& part = parts[i];
    if (IsBlankPart(part)) continue;
    current += kBackslash + part;
    const std::optional<QString> native = ToNativePath(current);
    if (!native) return Status::Failure(ErrorKind::kPathNotFound);
    // A file of that name counts as taken too: the next level then fails
    // rather than a folder being put in the file's place.
    if (disk.Exists(*native)) continue;
    // One level at a time, so that the first failure is reported for the
    // level that caused it and nothing deeper is attempted.
    // A folder another writer made meanwhile is as good as one made here.
    if (!disk.MakeFolder(*native).ok() && !disk.FolderExists(*native)) {
      return CreationFailure(disk, *native);
    }
  }
  return {};
}

Result<QString> FreeName(const FileSystem& disk, const QString& path) {
  const QString extension = GetExtension(path);
  const QString base = RemoveExtension(path);
  qint16 counter = 0;
  QString candidate = path;
  while (PathFileExists(disk, candidate) && PathFolderExists(disk, candidate)) {
    if (counter == std::numeric_limits<qint16>::max()) {
      return Status::Failure(ErrorKind::kOverflow);
    }
    ++counter;
    candidate = base + QString::number(counter) + extension;
  }
  return candidate;
}

bool IsInsideFolder(const QString& path_text, const QString& folder) {
  const std::optional<QString> native = ToNativePath(path_text);
  if (!native) return false;
#ifdef Q_OS_WIN
  constexpr Qt::CaseSensitivity kCase = Qt::CaseInsensitive;
#else
  constexpr Qt::CaseSensitivity kCase = Qt::CaseSensitive;
#endif
  QString root = QDir::cleanPath(QDir::fromNativeSeparators(folder));
  const QString place = QDir::cleanPath(QDir::fromNativeSeparators(*native));
  if (!root.endsWith(QLatin1Char('/'))) root += QLatin1Char('/');
  return place.size() > root.size() && place.startsWith(root, kCase);
}

Result<QString> FinalPath(const FileSystem& disk, const QString& mapped) {
  QString path = mapped;
  if (path.endsWith(QLatin1Char('\\'))) path += QStringLiteral("index.htm");
  return FreeName(disk, path);
}

}  // namespace trawlbox
