#ifndef TRAWLBOX_MIRROR_PATH_MAPPING_H_
#define TRAWLBOX_MIRROR_PATH_MAPPING_H_

#include <QString>
#include <optional>

#include "core/status.h"

namespace trawlbox {

class FileSystem;

// Path texts here use "\" as their separator on every platform: a drive
// form (C:\Mirror\img\logo.gif) or a network form (\\server\share\dir).
// Positions are 1-based where comments speak of them.

// The text up to and including the last "\"; empty without one.
QString GetFolderPart(const QString& path);
// The text from the last "." (included) to the end; empty without one.
QString GetExtension(const QString& path);
// The text before the last "."; the whole text when the last "." is the
// first character or there is none.
QString RemoveExtension(const QString& path);
// Halves runs of backslashes in one left-to-right pass; a leading run of any
// length becomes exactly "\\" (the network prefix).
QString FixBackslashes(const QString& path);

// Steps 1 to 5 of the mapping of a listed address: the start address
// replaced by the folder (with a final separator when it has none), "/" to "\",
// FixBackslashes, "?" to "_", FixBackslashes. `after_first_fix`, when given,
// receives the text after the first three steps.
QString MapAddressText(const QString& address, const QString& start_address,
                       const QString& folder,
                       QString* after_first_fix = nullptr);

// The one way a path text reaches the file system. On Windows the text is
// unchanged. Elsewhere the network prefix "\\" and every other "\" become
// "/"; any other form (a drive form, "http:\host\a.gif") names no path
// there. A text with a ".." segment names no path anywhere, so nothing a
// site serves can lead a download outside its folder.
std::optional<QString> ToNativePath(const QString& path_text);

// The existence tests on a path text; false when it names no path.
bool PathFileExists(const FileSystem& disk, const QString& path_text);
bool PathFolderExists(const FileSystem& disk, const QString& path_text);

// Creates every missing folder on `folder` from the top down. The first
// level that cannot be created fails the whole and deeper levels are not
// tried; a text that names no path fails with "Path not found".
Status CreateFolderPath(FileSystem& disk, const QString& folder);

// The free-name rule: while `path` names an existing folder, the next of
// RemoveExtension(path) + "1", "2", ... + GetExtension(path). Counts in 16
// bits like the program always has: past 32767 it fails with "Overflow".
Result<QString> FreeName(const FileSystem& disk, const QString& path);

// Whether a path text names a place strictly inside the destination
// `folder`: the folder itself, a place beside it or one that names no path
// at all is never written.
bool IsInsideFolder(const QString& path_text, const QString& folder);

// The path a row's file is finally stored at: the mapped text, "index.htm"
// for a folder address, then the free-name rule (which may move it, since
// its number goes before the last dot of the whole path).
Result<QString> FinalPath(const FileSystem& disk, const QString& mapped);

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_PATH_MAPPING_H_
