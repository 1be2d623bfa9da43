#include "auxiliary/desktop_folder.h"

#include <QDir>
#include <QStandardPaths>

#include "core/app_error.h"
#include "core/status.h"

namespace trawlbox {

Result<QString> DesktopFolderText(const QString& desktop) {
  if (desktop.isEmpty()) return Status::Failure(ErrorKind::kInvalidCall);
  QString folder = QDir::toNativeSeparators(desktop);
  if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
  return folder;
}

Result<QString> GetDesktopFolder() {
  return DesktopFolderText(
      QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

}  // namespace trawlbox
