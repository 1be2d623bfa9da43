#ifndef TRAWLBOX_CRAWL_CRAWLER_H_
#define TRAWLBOX_CRAWL_CRAWLER_H_

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "crawl/link_handling.h"
#include "crawl/link_scan.h"
#include "crawl/listing_procedures.h"
#include "crawl/page_source.h"
#include "crawl/pages_to_visit.h"
#include "net/scheduler.h"

namespace trawlbox {

class ErrorReporter;
class EventPump;
class FileList;
class FileSystem;

// Walks a site depth first from its start address: each visited page gets
// its row, is fetched into the walk's page file and scanned for links
// (files are listed, folders queued). The last page's address and base stay
// until the next visit. The folders next in the queue are fetched ahead of
// their visits, as many as the engine keeps connections, each into a page
// file of its own; pages are still scanned one by one in the walk's order,
// so the rows and the queue are those of a walk of one page at a time.
class Crawler {
 public:
  // Page files are made on `disk`.
  Crawler(FileList& list, ErrorReporter& reporter, EventPump& pump,
          PageSource& source, FileSystem& disk,
          std::function<QString()> start_address);

  // Runs the walk to its end; its steps are reported under the listing
  // command's name. The walk's page files are made afresh under unique names
  // and are gone when the walk ends, however it ends.
  void WalkSite(const QString& start_address);
  // Visits one page: lists its row, fetches it and scans it.
  void VisitPage(const QString& address);
  // Sets the fetch address and the base for relative links of a page.
  void SetPageAddress(const QString& address);

  // Ends the running walk: the page fetch in work ends at once, and no
  // further page is visited. The rows found so far stay.
  void RequestStop() { stop_requested_ = true; }

  const QString& page_address() const { return page_.address; }
  const QString& page_base() const { return page_.base; }
  // The size of the last page scanned, in bytes.
  qint64 page_length() const { return page_length_; }
  // Where the walk's page files are made; the listing asks it for the
  // destination folder too.
  FileSystem& disk() const { return disk_; }
  // The walk's own page file while a walk uses it; empty between walks.
  QString page_file_name() const;

 private:
  // How many pages fetched ahead may wait for their visits, for each
  // connection; each holds a page file open.
  static constexpr qsizetype kPagesHeldPerConnection = 8;

  using ScratchFile = PageSource::ScratchFile;

  // A page fetched ahead of its visit, into a page file of its own.
  struct PageAhead {
    std::unique_ptr<ScratchFile> file;
    std::unique_ptr<PageSource::Pending> fetch;
    // The look at the address as linked, once its folder form is missing.
    QString linked;
    std::unique_ptr<PageSource::Pending> look;
  };

  // The request loop's pass: looks at the missing folder forms fetched
  // ahead, then fetches ahead.
  void Advance();
  void FetchAhead();
  void Forget(const QString& fetch_address);
  void ScanPageFile(VisitTrap& trap, ScratchFile& file);
  void ListIfFile(const QString& address, PageSource::Pending* look);
  bool ServedAsFile(VisitTrap& trap, const Response& response,
                    ScratchFile& file);
  // A page file for the next fetch ahead: one emptied after its page, or a
  // new one.
  std::unique_ptr<ScratchFile> SpareFile();

  FileList& list_;
  ErrorReporter& reporter_;
  EventPump& pump_;
  PageSource& source_;
  FileSystem& disk_;
  PagesToVisit pages_;
  LinkHandler handler_;
  LinkScanner scanner_;
  // The walk's own page file, for a page not fetched ahead; made at its
  // first use.
  std::unique_ptr<ScratchFile> page_file_;
  // By fetch address: queued folders, the next to be visited, fetched
  // ahead; as many in flight as the engine keeps connections.
  std::map<QString, PageAhead> ahead_;
  // Page files of pages done with, emptied, for the next fetches ahead.
  std::vector<std::unique_ptr<ScratchFile>> spare_files_;
  QString visiting_;  // the fetch address of the page in its visit
  PageLocation page_;
  qint64 page_length_ = 0;
  bool stop_requested_ = false;
  bool walking_ = false;
  bool scanning_ = false;  // the queue grows: its end is not known yet
  Scheduler loop_{[this] { Advance(); }};
};

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

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_CRAWLER_H_
