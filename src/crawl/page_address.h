#ifndef TRAWLBOX_CRAWL_PAGE_ADDRESS_H_
#define TRAWLBOX_CRAWL_PAGE_ADDRESS_H_

#include <QByteArray>
#include <QString>

#include "crawl/link_handling.h"
#include "net/response.h"

namespace trawlbox {

// How the walk names a page: where it is fetched from, its row, and what
// its answer says it is.

// Whether an address names a page rather than a folder: ".php" anywhere
// (any case), or ending in "htm" or "tml" (lower case only).
bool IsPageLike(const QString& address);

// Where a queued address is fetched from: as it stands when it is page-like
// or ends in "/", else with a "/" added.
QString FetchAddressOf(const QString& address);

// The row text of a visited page: one leading "/" dropped, "http://" put
// in front when it does not start with "http" (any case), and always
// ending in "/".
QString PageRowText(const QString& address);

// Whether a Content-Type names an HTML page (text/html or
// application/xhtml+xml, parameters aside).
bool IsHtmlType(const QByteArray& content_type);

// Where the links of the page fetched from `fetch_address` resolve.
PageLocation LocationOf(const QString& fetch_address);

// Whether the answer to a folder form is the file itself: a type that is not
// a page's, or, with no type, a body whose first non-blank byte (of `start`)
// is not "<".
bool ServedAsFile(const Response& response, const QByteArray& start);

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_PAGE_ADDRESS_H_
