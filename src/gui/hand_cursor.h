#ifndef TRAWLBOX_GUI_HAND_CURSOR_H_
#define TRAWLBOX_GUI_HAND_CURSOR_H_

#include <QByteArray>
#include <QCursor>
#include <QPoint>
#include <QString>

#include "core/status.h"

namespace trawlbox {

// Where the optional hand pointer lives: "HAND-M.CUR" in `program_folder`.
QString HandCursorPath(const QString& program_folder);

// The hot spot a Windows cursor file names in its first directory entry;
// (0, 0) when the header is not that of a cursor.
QPoint CursorHotSpot(const QByteArray& header);

// Loads a Windows cursor file. A file that cannot be read fails with "File
// not found" or "Permission denied"; one that is no picture with "Invalid
// picture".
Result<QCursor> LoadCursorFile(const QString& path);

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_HAND_CURSOR_H_
