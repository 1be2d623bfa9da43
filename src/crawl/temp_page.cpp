#include "crawl/temp_page.h"

#include <QDir>

namespace trawlbox {

QString TempPageFolder() {
  const QString folder = qEnvironmentVariable("TEMP");
  return folder.isEmpty() ? QDir::tempPath() : folder;
}

QString TempPageTemplate() {
  QString folder = TempPageFolder();
  if (!folder.endsWith(QLatin1Char('/')) &&
      !folder.endsWith(QLatin1Char('\\'))) {
    folder += QLatin1Char('/');
  }
  return folder + QStringLiteral("HTMLXXXXXX.tmp");
}

}  // namespace trawlbox
