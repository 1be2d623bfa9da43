#include "mirror/aria2_export.h"

#include <QDir>
#include <optional>

#include "core/address_password.h"
#include "mirror/path_mapping.h"
#include "net/url.h"

namespace trawlbox {
namespace {

// Where a row's file lands below `folder` (a clean absolute path), with "/"
// between its names; none for a row the download never writes.
std::optional<QString> PathBelow(const FileSystem& disk, const QString& address,
                                 const QString& start_address,
                                 const QString& folder_text,
                                 const QString& folder) {
  const QString mapped = MapAddressText(address, start_address, folder_text);
  const Result<QString> path = FinalPath(disk, mapped);
  if (!path.ok() || !IsInsideFolder(path.value(), folder_text)) {
    return std::nullopt;
  }
  const std::optional<QString> native = ToNativePath(path.value());
  if (!native) return std::nullopt;
  const QString place =
      QDir::cleanPath(QDir(QDir::fromNativeSeparators(*native)).absolutePath());
  if (!place.startsWith(folder + QLatin1Char('/'))) return std::nullopt;
  return place.mid(folder.size() + 1);
}

}  // namespace

QByteArray Aria2InputText(const FileSystem& disk, const QStringList& addresses,
                          const QString& start_address,
                          const QString& folder_text) {
  const QString folder = QDir::cleanPath(
      QDir(QDir::fromNativeSeparators(folder_text)).absolutePath());
  QByteArray text = "# For aria2c -i: the ticked rows of " +
                    DropPasswords(start_address).toUtf8() + "\n";
  if (HasPassword(start_address)) {
    text += "# The folder needs a password: give it with --http-passwd.\n";
  }
  for (const QString& address : addresses) {
    const std::optional<QString> out =
        PathBelow(disk, address, start_address, folder_text, folder);
    if (!out) continue;
    text += EncodeAddress(DropPasswords(TrimBlanks(address))) + "\n";
    text += "  dir=" + QDir::toNativeSeparators(folder).toUtf8() + "\n";
    text += "  out=" + out->toUtf8() + "\n";
  }
  return text;
}

}  // namespace trawlbox
