#ifndef TRAWLBOX_CRAWL_TEMP_PAGE_H_
#define TRAWLBOX_CRAWL_TEMP_PAGE_H_

#include <QString>

namespace trawlbox {

// The temporary file a page passes through: "HTML" + n + ".tmp" in the
// folder named by the environment variable TEMP, or in the platform's
// temporary folder when TEMP is unset or empty.
QString TempPagePath(qint16 n);

// Deletes `path`, read-only or not, and never fails visibly.
void RemoveFile(const QString& path);

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_TEMP_PAGE_H_
