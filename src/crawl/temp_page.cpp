#include "crawl/temp_page.h"

#include <QDir>
#include <QFile>

namespace trawlbox {

QString TempPagePath(qint16 n) {
  QString folder = qEnvironmentVariable("TEMP");
  if (folder.isEmpty()) folder = QDir::tempPath();
  if (!folder.endsWith(QLatin1Char('/')) &&
      !folder.endsWith(QLatin1Char('\\'))) {
    folder += QLatin1Char('/');
  }
  return folder + QStringLiteral("HTML") + QString::number(n) +
         QStringLiteral(".tmp");
}

void RemoveFile(const QString& path) {
  if (QFile::remove(path)) return;
  // A read-only file goes too.
  QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner);
  QFile::remove(path);
}

}  // namespace trawlbox
