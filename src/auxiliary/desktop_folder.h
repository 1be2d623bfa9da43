#ifndef TRAWLBOX_AUXILIARY_DESKTOP_FOLDER_H_
#define TRAWLBOX_AUXILIARY_DESKTOP_FOLDER_H_

#include <QString>

#include "core/status.h"

namespace trawlbox {

// The default destination: `desktop` followed by the native separator.
// An empty `desktop` (the platform knows none) fails.
Result<QString> DesktopFolderText(const QString& desktop);

// The user's desktop folder, as DesktopFolderText gives it.
Result<QString> GetDesktopFolder();

}  // namespace trawlbox

#endif  // TRAWLBOX_AUXILIARY_DESKTOP_FOLDER_H_
