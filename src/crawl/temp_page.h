#ifndef TRAWLBOX_CRAWL_TEMP_PAGE_H_
#define TRAWLBOX_CRAWL_TEMP_PAGE_H_

#include <QString>

namespace trawlbox {

// The folder pages pass through while they are scanned: the one named by
// the environment variable TEMP, or the platform's temporary folder when
// TEMP is unset or empty.
QString TempPageFolder();

// The name pattern of a walk's page file in that folder, for
// QTemporaryFile: "HTML", a unique part, ".tmp".
QString TempPageTemplate();

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_TEMP_PAGE_H_
