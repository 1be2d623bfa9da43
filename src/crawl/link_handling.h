#ifndef TRAWLBOX_CRAWL_LINK_HANDLING_H_
#define TRAWLBOX_CRAWL_LINK_HANDLING_H_

#include <QString>
#include <functional>

#include "crawl/link_scan.h"

namespace trawlbox {

class FileList;
class PagesToVisit;

// The absolute address of link value `value` found on a page whose base is
// `page_base`. On a base with a scheme, "//host/x" takes the base's scheme
// and "/x" the base's origin (scheme and host), as browsers read them.
// Otherwise one leading "/" is dropped and anything not starting with
// "http" (any case) is put after the base and a "/". Nothing else is
// normalised, except that the address ends before its first "#": the
// fragment names no other page and is never sent to a server.
QString ResolveLink(const QString& value, const QString& page_base);

// Whether `address` is a sort link of a directory listing ("/?C=" then
// ";O=", any case).
bool IsSortLink(const QString& address);

// Whether `address` belongs to the site: it contains the start address,
// letter case disregarded. An empty start address is in every address.
bool IsSameSite(const QString& address, const QString& start_address);

// What becomes of links: same-site files are listed as ticked rows, same-
// site folders are queued to be visited (unless a "." or ".." segment makes
// them an old folder under a new name), everything else is dropped.
class LinkHandler {
 public:
  LinkHandler(FileList& list, PagesToVisit& pages,
              std::function<QString()> start_address)
      : list_(list), pages_(pages), start_address_(std::move(start_address)) {}

  // Handles one link of the page whose base is `page_base`.
  void HandleLink(LinkKind kind, const QString& value,
                  const QString& page_base);
  // Lists `address` unless it is foreign, listed already or climbs "..".
  void ListFileLink(const QString& address);

 private:
  bool IsSameSite(const QString& address) const;

  FileList& list_;
  PagesToVisit& pages_;
  // Read afresh for every test: editing the field during a listing changes
  // the tests from then on.
  std::function<QString()> start_address_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_LINK_HANDLING_H_
