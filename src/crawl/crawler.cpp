#include "crawl/crawler.h"

#include <QSet>
#include <algorithm>

#include "core/error_trap.h"
#include "core/event_pump.h"
#include "core/file_list.h"
#include "core/file_system.h"
#include "crawl/temp_page.h"

namespace trawlbox {
namespace {

using ListingLabel = StartListingProcedure::Label;
using VisitLabel = VisitPageProcedure::Label;

// How many links of a page read ahead are handled between two looks at the
// window's events.
constexpr qsizetype kLinksBetweenYields = 256;

}  // namespace

Crawler::Crawler(FileList& list, ErrorReporter& reporter, EventPump& pump,
                 PageSource& source, FileSystem& disk,
                 std::function<QString()> start_address)
    : list_(list),
      reporter_(reporter),
      pump_(pump),
      source_(source),
      disk_(disk),
      handler_(list, pages_, std::move(start_address)),
      scanner_{
          LinkScanner([this](LinkKind kind, const QString& value) {
            HandleLink(kind, value);
          }),
          ListingSizeScanner([this](const QString& value, const RowSize& size) {
            sizes_.emplace_back(value, size);
          })} {}

void Crawler::HandleLink(LinkKind kind, const QString& value) {
  // A link whose row the list refuses (an AppError: no room for another
  // row) is passed over: one bad link must neither end the scan of its page
  // nor raise a box of its own.
  try {
    handler_.HandleLink(kind, value, page_);
  } catch (const AppError&) {
  }
}

void Crawler::WalkSite(const QString& start_address) {
  ErrorTrap<StartListingProcedure> trap(reporter_);
  state_ = WalkState::kAheadDue;
  // However the walk ends, also by a closing window, its page files and
  // what it fetched ahead go with it.
  struct EndOfWalk {
    Crawler& crawler;
    ~EndOfWalk() {
      if (crawler.state_ != WalkState::kStopped) {
        crawler.state_ = WalkState::kIdle;
      }
      crawler.source_.SetPlanner(nullptr);
      crawler.ahead_.clear();
      crawler.spare_files_.clear();
    }
  } end_of_walk{*this};
  source_.SetPlanner([this] { return Advance(); });

  pages_.Clear();
  pages_.Append(start_address);
  while (trap.If(
      ListingLabel::kCheckQueue, [&] { return pages_.Count() > 0; },
      OnFailure::kSkipAction)) {
    if (stop_requested()) {
      pages_.Clear();
      break;
    }
    const qsizetype n = pages_.Count();
    FetchAhead();
    trap.Do(ListingLabel::kVisit, [&] { VisitPage(pages_.At(n)); });
    trap.Do(ListingLabel::kDropVisited, [&] { pages_.Remove(n); });
  }
}

void Crawler::SetPageAddress(const QString& address) {
  page_.address = FetchAddressOf(address);
  const qsizetype slash = page_.address.lastIndexOf(QLatin1Char('/'));
  if (slash >= 0) page_.base = page_.address.left(slash);
}

void Crawler::VisitPage(const QString& address) {
  VisitTrap trap(reporter_);
  const QString row = PageRowText(address);
  if (Listed(trap, row, address)) return;
  SetPageAddress(address);
  // The page stays among those fetched ahead until its visit ends, so no
  // fetch ahead asks for it again.
  PageAhead& page = ahead_[page_.address];
  // Its visit makes room for more pages ahead; one not read ahead may
  // queue folders nothing foretold.
  struct Visited {
    Crawler& crawler;
    const QString fetch_address;
    const bool read_ahead;
    ~Visited() {
      crawler.visiting_ = nullptr;
      crawler.Forget(fetch_address);
      if (crawler.walking() &&
          (!read_ahead || crawler.state_ == WalkState::kAheadCutShort)) {
        crawler.state_ = WalkState::kAheadDue;
      }
    }
  } visited{*this, page_.address, page.read.has_value()};
  visiting_ = &page;
  page.reading.reset();  // a page half read is scanned by its visit
  // A link without a "/" at its end is asked for as a folder; some servers
  // answer that with the file the link names (README/ with README). Its row
  // waits for the answer.
  const bool folder_form = page_.address != address;
  qsizetype position = 0;
  const auto add_row = [&] {
    trap.Do(VisitLabel::kAddRow, [&] {
      list_.Add(row);
      position = list_.Count();
    });
  };
  if (!folder_form) add_row();
  // The page is fetched from its address as it stands: a secure site stays
  // secure.
  const Answer answer = FetchPage(trap, page);
  const Status fetched = answer.ok() ? Status() : answer.status();
  if (folder_form) {
    if (!stop_requested() && ListedAsFile(trap, address, answer, page)) return;
    add_row();
  }
  if (stop_requested()) return;  // the row stays as it is
  if (trap.If(
          VisitLabel::kCheckFetched, [&] { return !fetched.ok(); },
          OnFailure::kSkipAction)) {
    // Known to fail: shown, and left out of a download unless ticked again.
    if (position > 0) {
      list_.MarkFailed(position, fetched.failure());
      list_.SetTicked(position, false);
    }
    // A link without a dot in its last segment may still be a file
    // (README, copyright): the folder that "/" made of it does not exist.
    if (folder_form && fetched.code() != 0) ListIfFile(trap, address, page);
    return;
  }
  ScanPage(trap, page);
}

// Whether the page's row is listed already: visited, or listed otherwise.
bool Crawler::Listed(VisitTrap& trap, const QString& row,
                     const QString& address) {
  if (!trap.If(
          VisitLabel::kCheckListed, [&] { return list_.IsListed(row); },
          OnFailure::kSkipAction)) {
    return false;
  }
  Forget(FetchAddressOf(address));
  return true;
}

// Opens the page's file, unless it has one or was read ahead, and waits for
// its fetch.
Answer Crawler::FetchPage(VisitTrap& trap, PageAhead& page) {
  trap.Do(VisitLabel::kOpenPageFile, [&]() -> Status {
    if (page.file || page.read) return {};
    // A visit outside a walk has no page file of its own.
    if (state_ == WalkState::kIdle) {
      return Status::Failure(ErrorKind::kBadFileName);
    }
    Result<std::unique_ptr<ScratchFile>> file = TakeFile();
    if (!file.ok()) return file.status();
    page.file = file.Take();
    return {};
  });
  Answer answer = Status::Failure(QStringLiteral("Not fetched"));
  trap.Do(VisitLabel::kFetch, [&] {
    pump_.Yield();
    if (!page.fetch) {
      if (!page.file) return;
      page.fetch = source_.StartPage(page_.address, *page.file);
    }
    answer =
        source_.CompletePage(*page.fetch, [this] { return stop_requested(); });
  });
  return answer;
}

// Whether the answer to a folder form was the file itself, now listed as
// linked; nothing of it is scanned.
bool Crawler::ListedAsFile(VisitTrap& trap, const QString& address,
                           const Answer& answer, PageAhead& page) {
  if (!answer.ok() || !ServedAsFile(answer.value(), StartOf(trap, page))) {
    return false;
  }
  trap.Do(VisitLabel::kAddRow, [&] {
    handler_.ListFileLink(address,
                          DeclaredLength(answer.value().content_length));
  });
  if (page.file) {
    trap.Do(VisitLabel::kEmptyPageFile, [&] { return page.file->Empty(); });
  }
  return true;
}

// Hands the page's links to the link handling, from its read or its file.
void Crawler::ScanPage(VisitTrap& trap, PageAhead& page) {
  // The walk ahead changes with what the page links to: what waits to
  // start is asked for again once it is known.
  for (auto& [fetch_address, ahead] : ahead_) {
    if (ahead.fetch && !ahead.fetch->finished()) {
      source_.Withdraw(*ahead.fetch);
    }
  }
  // Once they are, the walk ahead is worth another look.
  struct Scanning {
    WalkState& state;
    ~Scanning() {
      if (state == WalkState::kScanning) state = WalkState::kAheadDue;
    }
  } scanning{state_};
  if (walking()) state_ = WalkState::kScanning;
  if (page.read) {
    HandleReadLinks(trap, *page.read);
    return;
  }
  ScanPageFile(trap, *page.file);
  trap.Do(VisitLabel::kEmptyPageFile, [&] {
    pump_.Yield();
    return page.file->Empty();
  });
}

// The first bytes of the page, from its read or from its file.
QByteArray Crawler::StartOf(VisitTrap& trap, PageAhead& page) {
  if (page.read) return page.read->start;
  QByteArray start;
  trap.Do(VisitLabel::kRewind, [&]() -> Status {
    if (const Status rewound = page.file->Rewind(); !rewound.ok()) {
      return rewound;
    }
    start.resize(kStartBytes);
    const Result<qint64> read = page.file->Read(start.data(), start.size());
    start.resize(read.ok() ? read.value() : 0);
    return read.status();
  });
  return start;
}

void Crawler::ListIfFile(VisitTrap& trap, const QString& address,
                         PageAhead& page) {
  trap.Do(VisitLabel::kCheckFetched, [&] { ListLookedAtFile(address, page); });
}

void Crawler::ListLookedAtFile(const QString& address, PageAhead& page) {
  if (!page.look) page.look = source_.StartHead(address);
  const Answer head =
      source_.CompleteHead(*page.look, [this] { return stop_requested(); });
  if (head.ok() && !IsHtmlType(head.value().content_type)) {
    handler_.ListFileLink(address, DeclaredLength(head.value().content_length));
  }
}

// The links of a page read ahead go to the link handling as its scan would
// give them, with a look at the window's events now and then.
void Crawler::HandleReadLinks(VisitTrap& trap, const Read& read) {
  trap.Do(VisitLabel::kMeasure, [&] { page_length_ = read.length; });
  if (!trap.If(
          VisitLabel::kCheckLength, [&] { return page_length_ > 0; },
          OnFailure::kRunBody)) {
    return;
  }
  trap.Do(VisitLabel::kScan, [&] {
    qsizetype handled = 0;
    for (const auto& [kind, value] : read.links) {
      HandleLink(kind, value);
      if (++handled % kLinksBetweenYields == 0) pump_.Yield();
    }
    handler_.SizeFileLinks(read.sizes, page_);
  });
}

// The page is read back and scanned in pieces, so a page of any size costs
// the same little memory. Each step is a statement of the visit: a failing
// one is reported and the next one still runs.
void Crawler::ScanPageFile(VisitTrap& trap, ScratchFile& file) {
  trap.Do(VisitLabel::kRewind, [&] { return file.Rewind(); });
  trap.Do(VisitLabel::kMeasure, [&] { page_length_ = file.Size(); });
  if (!trap.If(
          VisitLabel::kCheckLength, [&] { return page_length_ > 0; },
          OnFailure::kRunBody)) {
    return;
  }
  trap.Do(VisitLabel::kScan, [&]() -> Status {
    scanner_.Finish();  // nothing of an earlier page carries over
    sizes_.clear();
    QByteArray piece(kScanPieceBytes, Qt::Uninitialized);
    for (;;) {
      const Result<qint64> read = file.Read(piece.data(), kScanPieceBytes);
      if (!read.ok() || read.value() == 0) {
        scanner_.Finish();
        handler_.SizeFileLinks(sizes_, page_);
        sizes_.clear();
        return read.status();
      }
      scanner_.Feed(piece.constData(), read.value());
      pump_.Yield();
    }
  });
}

}  // namespace trawlbox
