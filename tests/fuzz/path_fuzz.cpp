// Any address, start address and folder: the path mapping never crashes,
// and for a destination folder the user could pick, the path handed to the
// file system never leaves it.
//
// Input: address, start address and folder text separated by NUL bytes
// (missing parts are empty). The first byte picks which destination the
// containment check uses.

#include <QDir>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "fuzz/fuzz_support.h"
#include "mirror/path_mapping.h"

namespace trawlbox {
namespace {

// Destinations as they reach the mapping: typed with "/" as on this system,
// already in the "\" form, and with runs of separators. Each ends in a
// separator, as the desktop folder the program proposes does.
struct Destination {
  QString folder_text;
  QString native;  // where every mapped path must stay below
};
const Destination kDestinations[] = {
    {QStringLiteral("/tmp/fuzzdest/"), QStringLiteral("/tmp/fuzzdest")},
    {QStringLiteral("\\\\tmp\\fuzzdest\\"), QStringLiteral("/tmp/fuzzdest")},
    {QStringLiteral("//tmp//fuzz dest//"), QStringLiteral("/tmp/fuzz dest")},
};

QList<QString> SplitInput(const uint8_t* data, size_t size) {
  QList<QString> parts;
  const QByteArray bytes(reinterpret_cast<const char*>(data),
                         static_cast<qsizetype>(size));
  for (const QByteArray& part : bytes.split('\0')) {
    parts.append(QString::fromUtf8(part));
  }
  while (parts.size() < 3) parts.append(QString());
  return parts;
}

// Every text function on any text: no crash, and a native path never holds
// a "\" or a ".." level.
void ExerciseTexts(const QString& address, const QString& start,
                   const QString& folder) {
  QString after_first_fix;
  const QString path = MapAddressText(address, start, folder, &after_first_fix);
  for (const QString& text :
       {path, after_first_fix, GetFolderPart(path), FixBackslashes(address),
        RemoveExtension(path) + GetExtension(path)}) {
    const std::optional<QString> native = ToNativePath(text);
    if (!native) continue;
#ifndef Q_OS_WIN
    FuzzCheck(!native->contains(QLatin1Char('\\')), "backslash in native path",
              *native);
#endif
    FuzzCheck(!native->split(QLatin1Char('/')).contains(QLatin1String("..")),
              "native path climbs", *native);
  }
}

// The rows a listing hands to the download start with the start address
// (the links relative to a visited page) or with "http" (the absolute ones
// and the page rows).
bool IsListableRow(const QString& address, const QString& start) {
  return (!start.isEmpty() && address.startsWith(start)) ||
         address.startsWith(QLatin1String("http"), Qt::CaseInsensitive);
}

// The download's own steps from a row to the file it writes.
void CheckContained(const QString& address, const QString& start,
                    const Destination& destination) {
  if (!IsListableRow(address, start)) return;
  QString path = MapAddressText(address, start, destination.folder_text);
  const QString folder = GetFolderPart(path);
  if (path.endsWith(QLatin1Char('\\'))) path += QStringLiteral("index.htm");
  for (const QString& text : {path, folder}) {
    const std::optional<QString> native = ToNativePath(text);
    if (!native) continue;
    // The destination itself ("dest/." or the folder part of a row at its
    // top) is no escape: nothing can be written in its place.
    const QString clean = QDir::cleanPath(*native);
    FuzzCheck(clean == destination.native ||
                  clean.startsWith(destination.native + QLatin1Char('/')),
              "mapped path outside the destination",
              address + QStringLiteral(" -> ") + *native);
  }
}

}  // namespace
}  // namespace trawlbox

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using trawlbox::kDestinations;
  if (size == 0) return 0;
  const auto& destination =
      kDestinations[data[0] % std::size(trawlbox::kDestinations)];
  const QList<QString> parts = trawlbox::SplitInput(data + 1, size - 1);
  trawlbox::ExerciseTexts(parts[0], parts[1], parts[2]);
  trawlbox::CheckContained(parts[0], parts[1], destination);
  return 0;
}
