#ifndef TRAWLBOX_CRAWL_LINK_HANDLING_H_
#define TRAWLBOX_CRAWL_LINK_HANDLING_H_

#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "core/row_size.h"
#include "crawl/link_scan.h"

namespace trawlbox {

class FileList;
class PagesToVisit;

// Where a visited page stands: the address it was fetched from, and the
// base that relative links join when that address has no scheme.
struct PageLocation {
  QString address;
  QString base;
};

// The absolute address of link value `value` found on `page`. On a page
// whose address has a scheme, the value is resolved as RFC 3986 says
// (ResolveReference), with every character kept as written. Otherwise one
// leading "/" is dropped and anything not starting with "http" (any case)
// is put after the base and a "/". Either way the address ends before its
// first "#": the fragment names no other page and is never sent to a
// server. Empty when the value makes no address.
QString ResolveLink(const QString& value, const PageLocation& page);

// Whether `address` is a sort link of a directory listing ("/?C=" then
// ";O=", any case).
bool IsSortLink(const QString& address);

// Whether `address` belongs to the site: it contains the start address,
// letter case disregarded. An empty start address is in every address.
bool IsSameSite(const QString& address, const QString& start_address);

// What becomes of links: same-site files are listed as ticked rows, same-
// site folders are queued to be visited (unless a "." or ".." segment makes
// them an old folder under a new name, or they are too long for any server
// to take), everything else is dropped. A value that is a query alone
// ("?C=N;O=D", "?sort=name") is another view of the page itself, and a
// "mailto:" link a mailbox: both dropped. A file link with a scheme other
// than http and https is dropped whatever the start address.
class LinkHandler {
 public:
  LinkHandler(FileList& list, PagesToVisit& pages,
              std::function<QString()> start_address)
      : list_(list), pages_(pages), start_address_(std::move(start_address)) {}

  // A folder address longer than this is not queued: servers refuse such a
  // request line anyway, and a walk whose addresses grow must still end.
  static constexpr qsizetype kMaxFolderBytes = 8000;

  // What a link names for the walk: nothing it takes, a file to list or a
  // folder to queue, by the rules above (before the list or the queue is
  // asked whether they have it already).
  struct Target {
    enum class Kind { kNone, kFile, kFolder };
    Kind kind = Kind::kNone;
    QString address;
  };
  Target TargetOf(LinkKind kind, const QString& value,
                  const PageLocation& page) const;

  // Handles one link of `page`.
  void HandleLink(LinkKind kind, const QString& value,
                  const PageLocation& page);
  // Lists `address` unless it is foreign, listed already or climbs "..";
  // its row takes `length` as its size when an answer told it.
  void ListFileLink(const QString& address,
                    std::optional<qint64> length = std::nullopt);
  // An href value of a page and the size the page printed beside it.
  using SizedLink = std::pair<QString, RowSize>;
  // Gives the file rows that the values of `page` list the sizes printed
  // beside them.
  void SizeFileLinks(const std::vector<SizedLink>& sizes,
                     const PageLocation& page);

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
