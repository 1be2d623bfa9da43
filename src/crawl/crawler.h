#ifndef TRAWLBOX_CRAWL_CRAWLER_H_
#define TRAWLBOX_CRAWL_CRAWLER_H_

#include <QByteArray>
#include <QSet>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "crawl/link_handling.h"
#include "crawl/link_scan.h"
#include "crawl/listing_procedures.h"
#include "crawl/listing_sizes.h"
#include "crawl/page_address.h"
#include "crawl/page_source.h"
#include "crawl/pages_to_visit.h"

namespace trawlbox {

class ErrorReporter;
class EventPump;
class FileList;
class FileSystem;

// Walks a site depth first from its start address: each visited page gets
// its row, is fetched into a page file and scanned for links (files are
// listed, folders queued). The last page's address and base stay until the
// next visit.
//
// Pages are fetched ahead of their visits, as many at once as the source
// has room for, in the order the walk will visit them. A page that arrives
// before its visit is read at once into memory of its own, so the pages it
// links to are fetched ahead too; its visit then handles those links as a
// scan would. Only pages whose visits are known to come are fetched ahead:
// the walk's order is followed through every page already read, and past a
// page not read yet only to the pages queued before it, which come after
// whatever it links to. Rows, marks and the queue are those of a walk of
// one page at a time; a walk of one connection asks for one page at a time,
// in the order it visits them.
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
  // further page is visited or fetched. The rows found so far stay.
  void RequestStop() { state_ = WalkState::kStopped; }
  // Whether the last walk was ended that way.
  bool stop_requested() const { return state_ == WalkState::kStopped; }

  const QString& page_address() const { return page_.address; }
  const QString& page_base() const { return page_.base; }
  // The size of the last page scanned, in bytes.
  qint64 page_length() const { return page_length_; }
  // Where the walk's page files are made; the listing asks it for the
  // destination folder too.
  FileSystem& disk() const { return disk_; }

 private:
  using ScratchFile = PageSource::ScratchFile;
  using Link = std::pair<LinkKind, QString>;

  // Read from a page file between two looks at the window's events.
  static constexpr qint64 kScanPieceBytes = 64 * 1024;
  // How many of a page's first bytes tell a file from a page.
  static constexpr qsizetype kStartBytes = 1024;
  // Page bytes read ahead of their visits in one pass of the request loop,
  // so the window's events are never held up long.
  static constexpr qint64 kReadAheadBytes = 512 * 1024;

  // What a page gives as its bytes go by: its links, and the sizes a
  // listing prints beside them.
  struct PageScan {
    LinkScanner links;
    ListingSizeScanner sizes;
    void Feed(const char* data, qsizetype size) {
      links.Feed(data, size);
      sizes.Feed(data, size);
    }
    void Finish() {
      links.Finish();
      sizes.Finish();
    }
  };

  // A page read ahead of its visit.
  struct Read {
    std::vector<Link> links;  // in the order of the page
    std::vector<LinkHandler::SizedLink> sizes;
    qint64 length = 0;
    QByteArray start;  // its first bytes, to tell a file from a page
    // What its links name, resolved once, for fetching ahead: the rows of
    // its files and the folders it queues, in the order of the page.
    QStringList files;
    QStringList folders;
  };

  // A page on its way into memory, a piece per pass of the request loop:
  // what it has given so far.
  struct Reading {
    Reading();
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;
    Read read;
    PageScan scan;  // feeds `read`
  };

  // A page fetched ahead of its visit, or the page in its visit.
  struct PageAhead {
    QString linked;                     // the address as queued
    std::unique_ptr<ScratchFile> file;  // until the page is read
    std::unique_ptr<PageSource::Pending> fetch;
    // The look at the address as linked, once its folder form is missing.
    std::unique_ptr<PageSource::Pending> look;
    std::unique_ptr<Reading> reading;  // read in part, ahead of its visit
    std::optional<Read> read;          // read whole
  };

  // The request run's pass: reads what has arrived and fetches ahead;
  // whether a page waits to be read in another pass.
  bool Advance();
  // Follows the walk's order through the queue and the pages read ahead
  // and starts the fetches and looks whose visits are known to come, as
  // many as the source finds worth holding.
  bool FetchAhead();
  // What one look along the walk ahead has found: the rows the visits on
  // the way list and the folders they queue, each by its key (the top of
  // `next` is visited next), the queue's entries not looked at yet, the
  // pages held and the bytes still to read this pass.
  struct AheadPass {
    qsizetype queued = 0;
    qsizetype held = 0;
    qint64 budget = kReadAheadBytes;
    bool unread = false;  // a page waits to be read in another pass
    QSet<QString> rows;
    QSet<QString> keys;
    std::vector<QString> next;
    void QueueLinks(const Read& read, const PagesToVisit& pages);
    // The address the walk visits next, if any.
    std::optional<QString> Next(const PagesToVisit& pages);
  };
  bool LookAhead(AheadPass& pass, const QString& address, qsizetype most_held);
  // Reads an arrived page into memory, up to `budget` bytes this pass;
  // whether it is read whole.
  bool ReadAhead(const QString& fetch_address, PageAhead& page, qint64& budget);
  void ResolveLinks(const PageLocation& location, Read& read) const;
  void Forget(const QString& fetch_address);
  // A page file for the next fetch: one emptied after its page, or a new
  // one.
  Result<std::unique_ptr<ScratchFile>> TakeFile();
  std::unique_ptr<ScratchFile> SpareFile();
  void HandleLink(LinkKind kind, const QString& value);
  bool Listed(VisitTrap& trap, const QString& row, const QString& address);
  Answer FetchPage(VisitTrap& trap, PageAhead& page);
  bool ListedAsFile(VisitTrap& trap, const QString& address,
                    const Answer& answer, PageAhead& page);
  void ScanPage(VisitTrap& trap, PageAhead& page);
  QByteArray StartOf(VisitTrap& trap, PageAhead& page);
  void ScanPageFile(VisitTrap& trap, ScratchFile& file);
  // Hands the links of a page read ahead to the link handling, as its scan
  // would.
  void HandleReadLinks(VisitTrap& trap, const Read& read);
  // Lists the address as linked when a look finds a file there.
  void ListIfFile(VisitTrap& trap, const QString& address, PageAhead& page);
  void ListLookedAtFile(const QString& address, PageAhead& page);
  bool walking() const {
    return state_ == WalkState::kAheadDue ||
           state_ == WalkState::kAheadCutShort ||
           state_ == WalkState::kAheadKnown;
  }

  FileList& list_;
  ErrorReporter& reporter_;
  EventPump& pump_;
  PageSource& source_;
  FileSystem& disk_;
  PagesToVisit pages_;
  LinkHandler handler_;
  PageScan scanner_;
  std::vector<LinkHandler::SizedLink> sizes_;  // of the page in its scan
  // By fetch address: the page in its visit and the pages fetched ahead.
  std::map<QString, PageAhead> ahead_;
  // Page files of pages done with, emptied, for the next fetches.
  std::vector<std::unique_ptr<ScratchFile>> spare_files_;
  PageAhead* visiting_ = nullptr;  // the page in its visit, in `ahead_`
  PageLocation page_;
  qint64 page_length_ = 0;
  // Where the walk stands. While pages are visited the walk ahead can be
  // foreseen, and one of the kAhead states tells whether it is worth
  // another look.
  enum class WalkState {
    kIdle,  // no walk runs: a visit on its own has no page file
    // Fetching ahead has something new to look at: a request ended, a page
    // was read, or a visit queued what no page read ahead foretold.
    kAheadDue,
    // The last look stopped at the bound of pages held or looked at: a
    // visit, which makes room, makes another one worth it.
    kAheadCutShort,
    kAheadKnown,  // the last look saw the whole walk ahead
    kScanning,    // a page's links are queued: the queue's end is not known
    kStopped,     // a stop was asked; it stays so until the next walk
  };
  WalkState state_ = WalkState::kIdle;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_CRAWLER_H_
