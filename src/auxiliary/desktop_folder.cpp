#include "auxiliary/desktop_folder.h"

#include <QDir>
#include <QStandardPaths>

#include "core/app_error.h"

namespace trawlbox {

QString DesktopFolderText(const QString& desktop) {
  if (desktop.isEmpty()) Raise(ErrorKind::kInvalidCall);
  QString folder = QDir::toNativeSeparators(desktop);
  if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
  return folder;
}

QString GetDesktopFolder() {
  return DesktopFolderText(
      QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

}  // namespace trawlbox
