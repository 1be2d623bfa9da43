#include "crawl/crawler.h"

#include <QSet>
#include <algorithm>

#include "core/error_trap.h"
#include "core/event_pump.h"
#include "core/file_list.h"
#include "core/file_system.h"
#include "core/scoped_flag.h"
#include "crawl/temp_page.h"

namespace trawlbox {
namespace {

using ListingLabel = StartListingProcedure::Label;
using VisitLabel = VisitPageProcedure::Label;

// Read from the page file between two looks at the window's events.
constexpr qint64 kScanPieceBytes = 64 * 1024;
// How many of a page's first bytes tell a file from a page.
constexpr qsizetype kStartBytes = 1024;
// How many links of a page read ahead are handled between two looks at the
// window's events.
constexpr qsizetype kLinksBetweenYields = 256;

bool StartsWithHttp(const QString& text) {
  return text.left(4).compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
}

// Where the links of the page fetched from `fetch_address` resolve.
PageLocation LocationOf(const QString& fetch_address) {
  return {fetch_address, fetch_address.left(std::max<qsizetype>(
                             0, fetch_address.lastIndexOf(u'/')))};
}

// Whether the answer to a folder form is the file itself: a type that is not
// a page's, or, with no type, a body whose first non-blank byte (of `start`)
// is not "<".
bool ServedAsFile(const Response& response, const QByteArray& start) {
  if (!response.content_type.isEmpty()) {
    return !IsHtmlType(response.content_type);
  }
  for (const char c : start) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') continue;
    return c != '<';
  }
  return false;
}

}  // namespace

bool IsPageLike(const QString& address) {
  return address.contains(QLatin1String(".php"), Qt::CaseInsensitive) ||
         (address.size() >= 3 && (address.endsWith(QLatin1String("htm")) ||
                                  address.endsWith(QLatin1String("tml"))));
}

QString FetchAddressOf(const QString& address) {
  return IsPageLike(address) || address.endsWith(QLatin1Char('/'))
             ? address
             : address + QLatin1Char('/');
}

QString PageRowText(const QString& address) {
  QString row = address;
  if (row.startsWith(QLatin1Char('/'))) row.remove(0, 1);
  if (!StartsWithHttp(row)) row = QStringLiteral("http://") + row + '/';
  if (!row.endsWith(QLatin1Char('/'))) row += QLatin1Char('/');
  return row;
}

bool IsHtmlType(const QByteArray& content_type) {
  const QByteArray media = content_type.split(';').first().trimmed();
  return media.compare("text/html", Qt::CaseInsensitive) == 0 ||
         media.compare("application/xhtml+xml", Qt::CaseInsensitive) == 0;
}

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
          })},
      reader_{
          LinkScanner([this](LinkKind kind, const QString& value) {
            read_.links.emplace_back(kind, value);
          }),
          ListingSizeScanner([this](const QString& value, const RowSize& size) {
            read_.sizes.emplace_back(value, size);
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
  stop_requested_ = false;
  const ScopedFlag walking(walking_);
  // However the walk ends, also by a closing window, its page files and
  // what it fetched ahead go with it.
  struct EndOfWalk {
    Crawler& crawler;
    ~EndOfWalk() {
      crawler.source_.SetPlanner(nullptr);
      crawler.ahead_.clear();
      crawler.spare_files_.clear();
      crawler.reading_.clear();
      crawler.read_ = Read();
      crawler.reader_.Finish();
    }
  } end_of_walk{*this};
  source_.SetPlanner([this] { return Advance(); });

  pages_.Clear();
  pages_.Append(start_address);
  ahead_due_ = true;
  while (trap.If(
      ListingLabel::kCheckQueue, [&] { return pages_.Count() > 0; },
      OnFailure::kSkipAction)) {
    if (stop_requested_) {
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
  if (trap.If(
          VisitLabel::kCheckListed, [&] { return list_.IsListed(row); },
          OnFailure::kSkipAction)) {
    Forget(FetchAddressOf(address));
    return;  // visited already, or listed otherwise
  }
  SetPageAddress(address);
  // The page stays among those fetched ahead until its visit ends, so no
  // fetch ahead asks for it again.
  PageAhead& page = ahead_[page_.address];
  // Its visit makes room for more pages ahead; one not read ahead may
  // queue folders nothing foretold.
  struct Visited {
    Crawler& crawler;
    bool read_ahead;
    ~Visited() {
      crawler.Forget(crawler.visiting_);
      crawler.visiting_.clear();
      if (!read_ahead || crawler.ahead_cut_short_) crawler.ahead_due_ = true;
    }
  } visited{*this, page.read.has_value()};
  visiting_ = page_.address;
  // A page half read ahead is scanned by its visit instead.
  if (reading_ == visiting_) {
    reading_.clear();
    read_ = Read();
    reader_.Finish();
  }
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
  trap.Do(VisitLabel::kOpenPageFile, [&]() -> Status {
    if (page.file || page.read) return {};
    // A visit outside a walk has no page file of its own.
    if (!walking_) return Status::Failure(ErrorKind::kBadFileName);
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
        source_.CompletePage(*page.fetch, [this] { return stop_requested_; });
  });
  const Status fetched = answer.ok() ? Status() : answer.status();
  if (folder_form) {
    if (!stop_requested_ && fetched.ok() &&
        ServedAsFile(answer.value(), StartOf(trap, page))) {
      // A file row as linked, and nothing of it is scanned.
      trap.Do(VisitLabel::kAddRow, [&] {
        handler_.ListFileLink(address,
                              DeclaredLength(answer.value().content_length));
      });
      if (page.file) {
        trap.Do(VisitLabel::kEmptyPageFile, [&] { return page.file->Empty(); });
      }
      return;
    }
    add_row();
  }
  if (stop_requested_) return;  // the row stays as it is
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
    if (folder_form && fetched.code() != 0) {
      trap.Do(VisitLabel::kCheckFetched, [&] { ListIfFile(address, page); });
    }
    return;
  }
  // The walk ahead changes with what the page links to: what waits to
  // start is asked for again once it is known.
  for (auto& [fetch_address, ahead] : ahead_) {
    if (ahead.fetch && !ahead.fetch->finished()) {
      source_.Withdraw(*ahead.fetch);
    }
  }
  const ScopedFlag scanning(scanning_);
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

// Runs in each pass of the request run, outside any request.
bool Crawler::Advance() {
  ahead_due_ = true;
  return FetchAhead();
}

// Follows the walk's order, the queue taken from its end with the folders
// of every page read ahead before the entries queued before that page, and
// starts what the visits on the way will ask for: a page's fetch, or the
// look at a folder form that is missing for good (404, or any other status
// of 400 and above that no retry changes). A page not read yet hides what
// it links to; the walk goes on past it to what is queued before it.
// Pages that have arrived are read on the way, a bounded number of bytes a
// pass. Fetching ahead only saves time and fails silently: a page that
// cannot be fetched ahead is fetched in its visit, which reports what goes
// wrong. Whether a page waits to be read in another pass.
bool Crawler::FetchAhead() {
  // While a page is scanned the end of the queue is not yet known; after a
  // stop nothing more is asked for.
  if (!ahead_due_ || scanning_ || stop_requested_ || !walking_) return false;
  ahead_due_ = false;
  const qsizetype most_held = source_.pages_ahead();
  qsizetype held = 0;
  for (const auto& entry : ahead_) {
    if (entry.first != visiting_) ++held;
  }
  // What the visits on the way do: the rows they list and the folders they
  // queue, each by its key; the top of `next` is visited next.
  QSet<QString> rows;
  QSet<QString> keys;
  std::vector<QString> next;
  qsizetype queued = pages_.Count();
  const auto queue_links = [&](const Read& read) {
    for (const QString& file : read.files) rows.insert(file);
    for (const QString& folder : read.folders) {
      const QString key = folder.toCaseFolded();
      if (pages_.HasKey(folder) || keys.contains(key)) continue;
      keys.insert(key);
      next.push_back(folder);
    }
  };
  if (!visiting_.isEmpty()) {
    --queued;  // the page in its visit is the queue's last entry
    const PageAhead& visited = ahead_[visiting_];
    if (visited.read) queue_links(*visited.read);
  }
  qint64 budget = kReadAheadBytes;
  bool unread = false;  // a page waits to be read in another pass
  ahead_cut_short_ = true;
  for (qsizetype looked = 0; looked < 4 * most_held; ++looked) {
    QString address;
    if (!next.empty()) {
      address = std::move(next.back());
      next.pop_back();
      keys.remove(address.toCaseFolded());
    } else if (queued >= 1) {
      address = pages_.At(queued--);
    } else {
      ahead_cut_short_ = false;  // the whole walk ahead is known
      break;
    }
    const QString row = PageRowText(address);
    if (rows.contains(row) || list_.IsListed(row)) continue;
    rows.insert(row);
    const QString fetch_address = FetchAddressOf(address);
    const auto found = ahead_.find(fetch_address);
    if (found == ahead_.end()) {
      if (held >= most_held) break;
      std::unique_ptr<ScratchFile> file = SpareFile();
      if (!file) break;
      std::unique_ptr<PageSource::Pending> fetch =
          source_.StartPage(fetch_address, *file);
      ahead_.emplace(
          fetch_address,
          PageAhead{address, std::move(file), std::move(fetch), {}, {}});
      ++held;
      continue;
    }
    PageAhead& page = found->second;
    if (fetch_address == visiting_) continue;
    if (!page.fetch->finished()) {
      source_.Requeue(*page.fetch);  // in the order the walk now foresees
      continue;
    }
    const Answer answer = page.fetch->answer();
    const bool folder_form = fetch_address != address;
    if (!answer.ok()) {
      const Status& failed = answer.status();
      if (folder_form && failed.code() != 0 && !failed.transient() &&
          !page.look) {
        page.look = source_.StartHead(address);
      }
      continue;
    }
    if (!page.read && !ReadAhead(fetch_address, page, budget)) {
      unread = true;
      continue;
    }
    if (folder_form && ServedAsFile(answer.value(), page.read->start)) {
      rows.remove(row);
      rows.insert(address);
      continue;
    }
    queue_links(*page.read);
  }
  return unread;
}

bool Crawler::ReadAhead(const QString& fetch_address, PageAhead& page,
                        qint64& budget) {
  if (budget <= 0 || !page.file) return false;
  if (reading_ != fetch_address) {
    // One page at a time: another one waits for the pass after it.
    if (!reading_.isEmpty()) return false;
    if (!page.file->Rewind().ok()) return false;
    reader_.Finish();
    read_ = Read();
    reading_ = fetch_address;
  }
  QByteArray piece(kScanPieceBytes, Qt::Uninitialized);
  while (budget > 0) {
    const Result<qint64> got = page.file->Read(piece.data(), piece.size());
    if (!got.ok()) {
      // The visit scans the file itself and reports the failure.
      reading_.clear();
      return false;
    }
    if (got.value() == 0) {
      reader_.Finish();
      read_.length = page.file->Size();
      const PageLocation location = LocationOf(fetch_address);
      for (const auto& [kind, value] : read_.links) {
        LinkHandler::Target target = handler_.TargetOf(kind, value, location);
        if (target.kind == LinkHandler::Target::Kind::kFile) {
          read_.files.append(std::move(target.address));
        } else if (target.kind == LinkHandler::Target::Kind::kFolder) {
          read_.folders.append(std::move(target.address));
        }
      }
      page.read = std::move(read_);
      read_ = Read();
      reading_.clear();
      // Read whole, the page needs its file no more.
      if (page.file->Empty().ok()) spare_files_.push_back(std::move(page.file));
      page.file.reset();
      return true;
    }
    if (read_.start.size() < kStartBytes) {
      read_.start.append(
          piece.constData(),
          std::min<qint64>(got.value(), kStartBytes - read_.start.size()));
    }
    reader_.Feed(piece.constData(), got.value());
    budget -= got.value();
  }
  return false;
}

Result<std::unique_ptr<Crawler::ScratchFile>> Crawler::TakeFile() {
  if (!spare_files_.empty()) {
    std::unique_ptr<ScratchFile> file = std::move(spare_files_.back());
    spare_files_.pop_back();
    return file;
  }
  return disk_.CreateScratch(TempPageTemplate());
}

std::unique_ptr<Crawler::ScratchFile> Crawler::SpareFile() {
  Result<std::unique_ptr<ScratchFile>> file = TakeFile();
  return file.ok() ? file.Take() : nullptr;
}

// A page done with gives its file to the next fetch: making files is much
// of what a walk of many small pages costs the system.
void Crawler::Forget(const QString& fetch_address) {
  const auto found = ahead_.find(fetch_address);
  if (found == ahead_.end()) return;
  if (reading_ == fetch_address) {
    reading_.clear();
    read_ = Read();
    reader_.Finish();
  }
  std::unique_ptr<ScratchFile> file = std::move(found->second.file);
  ahead_.erase(found);  // ends its requests, which write to the file
  // A file that cannot be emptied is dropped, and a new one made instead.
  if (file && (file->Size() == 0 || file->Empty().ok())) {
    spare_files_.push_back(std::move(file));
  }
}

void Crawler::ListIfFile(const QString& address, PageAhead& page) {
  if (!page.look) page.look = source_.StartHead(address);
  const Answer head =
      source_.CompleteHead(*page.look, [this] { return stop_requested_; });
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
