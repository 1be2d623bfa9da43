#ifndef TRAWLBOX_MIRROR_ARIA2_EXPORT_H_
#define TRAWLBOX_MIRROR_ARIA2_EXPORT_H_

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace trawlbox {

class FileSystem;

// An aria2 input file (`aria2c -i FILE`) for the rows `addresses`, each
// entry its address as the download asks for it, then "dir=" the
// destination folder's absolute path and "out=" the path below it at which
// the download would store the row: the same mapping, escapes kept in
// names, a folder row as its index.htm, the free-name rule read on `disk`.
// A row the download would never write (outside the folder) gets no entry.
// Passwords are left out of every address; a start address that has one
// says so in a comment line.
QByteArray Aria2InputText(const FileSystem& disk, const QStringList& addresses,
                          const QString& start_address,
                          const QString& folder_text);

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_ARIA2_EXPORT_H_
