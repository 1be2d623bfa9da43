#include "core/existence.h"

#include <QFileInfo>

namespace trawlbox {
namespace {

// A NUL inside the text would silently cut the path the system sees.
bool IsQueryable(const QString& path) {
  return !path.isEmpty() && !path.contains(QChar(0));
}

}  // namespace

bool FileExists(const QString& path) {
  return IsQueryable(path) && QFileInfo(path).exists();
}

bool FolderExists(const QString& path) {
  return IsQueryable(path) && QFileInfo(path).isDir();
}

}  // namespace trawlbox
