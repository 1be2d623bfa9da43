#ifndef TRAWLBOX_CORE_EXISTENCE_H_
#define TRAWLBOX_CORE_EXISTENCE_H_

#include <QString>

namespace trawlbox {

// Whether `path` names an existing file or folder. Never fails: any failure
// of the query is the answer false. The path is taken unchanged.
bool FileExists(const QString& path);

// Whether `path` names an existing folder. Never fails, like FileExists.
bool FolderExists(const QString& path);

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_EXISTENCE_H_
