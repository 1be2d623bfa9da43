#ifndef TRAWLBOX_TESTS_SUPPORT_PATH_TEXT_H_
#define TRAWLBOX_TESTS_SUPPORT_PATH_TEXT_H_

#include <QDir>
#include <QString>

#include "mirror/path_mapping.h"
#include "support/files.h"

namespace trawlbox {

// The "\" path text the program makes of a native path.
inline QString PathText(const QString& native) {
#ifdef Q_OS_WIN
  return QDir::toNativeSeparators(native);
#else
  QString text = native;
  text.replace('/', '\\');
  return FixBackslashes(text);
#endif
}

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_PATH_TEXT_H_
