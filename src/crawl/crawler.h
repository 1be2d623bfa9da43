#ifndef TRAWLBOX_CRAWL_CRAWLER_H_
#define TRAWLBOX_CRAWL_CRAWLER_H_

#include <QByteArray>
#include <QString>
#include <functional>

#include "app/http_client.h"
#include "crawl/link_handling.h"
#include "crawl/pages_to_visit.h"

namespace trawlbox {

class ErrorTrap;
class FileList;
class Prompts;

// Walks a site depth first from its start address: each visited page gets
// its row, is fetched into the temporary file, scanned for links (files are
// listed, folders queued) and the file is removed. The last page's address,
// base and bytes stay until the next visit.
class Crawler {
 public:
  Crawler(FileList& list, Prompts& prompts, HttpClient& http,
          std::function<QString()> start_address);

  // Runs the walk to its end under the listing command's trap, whose labels
  // 106 to 114 its steps carry.
  void WalkSite(ErrorTrap& trap, const QString& start_address);
  // Visits one page, under a trap of its own.
  void GetUrls(const QString& address, qint16 page_index);
  // Sets the fetch address and the base for relative links of a page.
  void SetPageAddress(const QString& address);

  // Fetches a page into a file; HttpClient::FetchToFile unless replaced
  // (tests and fuzzing serve pages without a network).
  using FetchPage =
      std::function<FetchResult(const QString& address, const QString& path)>;
  void set_fetch_page(FetchPage fetch) { fetch_page_ = std::move(fetch); }

  // Ends the running walk after the page in work.
  void RequestStop() { stop_requested_ = true; }

  const QString& page_address() const { return page_address_; }
  const QString& page_base() const { return page_base_; }
  const QByteArray& page_bytes() const { return page_bytes_; }
  qint32 page_length() const { return page_length_; }

 private:
  void LoadPage(ErrorTrap& trap, const QString& path);
  void ScanPage();

  FileList& list_;
  Prompts& prompts_;
  HttpClient& http_;
  FetchPage fetch_page_;
  PagesToVisit pages_;
  LinkHandler handler_;
  QString page_address_;
  QString page_base_;
  QByteArray page_bytes_;
  qint32 page_length_ = 0;
  bool stop_requested_ = false;
};

// Whether an address names a page rather than a folder: ".php" anywhere
// (any case), or ending in "htm" or "tml" (lower case only).
bool IsPageLike(const QString& address);

// The row text of a visited page: one leading "/" dropped, "http://" put
// in front when it does not start with "http" (any case), and always
// ending in "/".
QString PageRowText(const QString& address);

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_CRAWLER_H_
