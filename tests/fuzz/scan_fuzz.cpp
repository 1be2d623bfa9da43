// Any bytes as a page: the scan and the link handling behind it never
// crash, every row they list obeys the link rules, and a walk over a finite
// site made of that page ends.

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringView>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/error_trap.h"
#include "core/event_pump.h"
#include "core/prompts.h"
#include "core/real_file_system.h"
#include "crawl/crawler.h"
#include "crawl/link_handling.h"
#include "crawl/link_scan.h"
#include "crawl/pages_to_visit.h"
#include "fuzz/fuzz_support.h"
#include "net/http_engine.h"
#include "support/fake_file_list.h"
#include "support/test_pages.h"

namespace trawlbox {
namespace {

const QString kStart = QStringLiteral("http://site.example");

// The site the walk sees: the input is every page of at most this depth
// below the start address, and only this many pages are served at all;
// every other address answers 404. Together they make the site finite
// whatever the page links to.
constexpr int kMaxDepth = 3;
constexpr qsizetype kMaxServedPages = 16;

// Any box during a walk over a served site would be an error report.
class SilentPrompts : public Prompts {
 public:
 protected:
  void ShowBox(const QString&, const QString& text, MessageIcon) override {
    FuzzFail("a box was shown", text);
  }
};

// Written apart from the program's own rule on purpose: a "." or ".."
// between slashes, or standing at either end of the address.
bool HasDotSegment(const QString& address) {
  static const QRegularExpression dot_segment(
      QStringLiteral("(^|/)\\.{1,2}(/|$)"));
  return dot_segment.match(address).hasMatch();
}

void CheckQueuedPage(const QString& address) {
  FuzzCheck(IsSameSite(address, kStart), "queued page off the site", address);
  FuzzCheck(!IsSortLink(address), "queued sort link", address);
  FuzzCheck(!HasDotSegment(address), "queued dot segment", address);
  FuzzCheck(!address.contains(QLatin1Char('#')), "queued fragment", address);
}

void CheckFileRow(const QString& row) {
  FuzzCheck(IsSameSite(row, kStart), "file row off the site", row);
  FuzzCheck(!row.contains(QLatin1String("..")), "file row climbs", row);
  // An "@" is part of a name; a mailto:, ftp: or javascript: link is none.
  static const QRegularExpression web(
      QStringLiteral("^https?://"), QRegularExpression::CaseInsensitiveOption);
  FuzzCheck(web.match(row).hasMatch(), "file row not over http", row);
  FuzzCheck(!row.contains(QLatin1String("file://")), "local file row", row);
  FuzzCheck(!row.contains(QLatin1Char('#')), "file row with fragment", row);
}

// `page_rows` holds the row texts of the pages visited.
void CheckRows(const FakeFileList& list, const QSet<QString>& page_rows) {
  QSet<QString> seen;
  for (qsizetype i = 1; i <= list.Count(); ++i) {
    const QString row = list.Text(i);
    FuzzCheck(!seen.contains(row), "row listed twice", row);
    seen.insert(row);
    if (!page_rows.contains(row)) {
      CheckFileRow(row);
      continue;
    }
    FuzzCheck(row.endsWith(QLatin1Char('/')), "page row without /", row);
    FuzzCheck(IsSameSite(row, kStart), "page row off the site", row);
    FuzzCheck(!row.contains(QLatin1Char('#')), "page row with fragment", row);
    if (i > 1) FuzzCheck(!HasDotSegment(row), "page row dot segment", row);
  }
}

// Scans the page as the crawler does and hands its links to a handler;
// returns how many links the page holds. The same page fed in pieces of
// any size yields the same links.
qsizetype ScanAndHandle(const QByteArray& page) {
  FakeFileList list;
  PagesToVisit pages;
  LinkHandler handler(list, pages, [] { return kStart; });
  QStringList whole;
  ScanPage(page, [&](LinkKind kind, const QString& value) {
    FuzzCheck(value.size() <= page.size(), "value longer than the page");
    whole << QString::number(int(kind)) + value;
    handler.HandleLink(kind, value, {kStart + '/', kStart});
  });
  for (qsizetype i = 1; i <= pages.Count(); ++i) CheckQueuedPage(pages.At(i));
  CheckRows(list, {});

  // Pieces split where the page's own first byte says.
  const qsizetype piece = page.isEmpty() ? 1 : 1 + uchar(page[0]) % 13;
  QStringList pieced;
  LinkScanner scanner([&](LinkKind kind, const QString& value) {
    pieced << QString::number(int(kind)) + value;
  });
  for (qsizetype at = 0; at < page.size(); at += piece) {
    scanner.Feed(page.constData() + at, std::min(piece, page.size() - at));
  }
  scanner.Finish();
  FuzzCheck(pieced == whole, "pieces change the links");
  return whole.size();
}

EventPump& Pump() {
  static EventPump pump;
  return pump;
}

// The site nothing asks for: every page of the walk is served.
PageSource& Site() {
  static HttpEngine engine;
  static RequestRun run(engine, Pump(), RunSettings{});
  static HttpPageSource site(run);
  return site;
}

bool WithinServedDepth(const QString& address) {
  if (!address.startsWith(kStart, Qt::CaseInsensitive)) return false;
  QStringView rest = QStringView(address).mid(kStart.size());
  while (rest.endsWith(QLatin1Char('/'))) rest.chop(1);
  return rest.count(QLatin1Char('/')) <= kMaxDepth;
}

void Walk(const QByteArray& page, qsizetype markers) {
  FakeFileList list;
  SilentPrompts prompts;
  TestPages pages(Site());
  RealFileSystem disk;
  Crawler crawler(list, prompts, Pump(), pages, disk, [] { return kStart; });
  QSet<QString> page_rows;
  qsizetype visits = 0;
  qsizetype served = 0;
  pages.serve = [&](const QString& address,
                    FileSystem::ScratchFile& file) -> Answer {
    // Each visit is of a queued address, and only served pages queue
    // any: more visits than that mean the walk goes round in circles.
    ++visits;
    FuzzCheck(visits <= 1 + served * markers, "the walk does not end", address);
    page_rows.insert(PageRowText(address));
    if (served >= kMaxServedPages || !WithinServedDepth(address)) {
      return Status::Failure(QStringLiteral("HTTP 404 Not Found"));
    }
    ++served;
    if (!file.Write(page.constData(), page.size()).ok()) {
      FuzzFail("cannot write the page file", file.name());
    }
    return Response{.status = 200, .content_type = "text/html"};
  };
  // Failed pages fail without an answer: no second look.
  crawler.WalkSite(kStart);
  FuzzCheck(list.Count() <= 1 + 2 * served * markers, "too many rows");
  CheckRows(list, page_rows);
}

void Setup() {
  EnsureApplication();
  static QTemporaryDir temp;
  if (!temp.isValid()) FuzzFail("no temporary folder", temp.errorString());
  qputenv("TEMP", QFile::encodeName(temp.path()));
}

}  // namespace
}  // namespace trawlbox

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (trawlbox::Setup(), true);
  (void)ready;
  const QByteArray page(reinterpret_cast<const char*>(data),
                        static_cast<qsizetype>(size));
  const qsizetype markers = trawlbox::ScanAndHandle(page);
  trawlbox::Walk(page, markers);
  return 0;
}
