#include "crawl/crawler.h"

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

bool StartsWithHttp(const QString& text) {
  return text.left(4).compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
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
      scanner_([this](LinkKind kind, const QString& value) {
        // A link whose row the list refuses (an AppError: no room for
        // another row) is passed over: one bad link must neither end the
        // scan of its page nor raise a box of its own.
        try {
          handler_.HandleLink(kind, value, page_);
        } catch (const AppError&) {
        }
      }) {}

QString Crawler::page_file_name() const {
  return page_file_ ? page_file_->name() : QString();
}

void Crawler::WalkSite(const QString& start_address) {
  ErrorTrap<StartListingProcedure> trap(reporter_);
  stop_requested_ = false;
  const ScopedFlag walking(walking_);
  // However the walk ends, also by a closing window, its page files and
  // what it fetched ahead go with it.
  struct Forget {
    Crawler& crawler;
    ~Forget() {
      crawler.page_file_.reset();
      crawler.ahead_.clear();
      crawler.spare_files_.clear();
    }
  } forget{*this};

  pages_.Clear();
  pages_.Append(start_address);
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
  // A page fetched ahead stays among them until its visit ends: its look
  // still starts the moment its answer comes, and no fetch ahead asks for
  // it again.
  PageAhead none;
  const auto found = ahead_.find(page_.address);
  PageAhead& ahead = found != ahead_.end() ? found->second : none;
  struct Visited {
    Crawler& crawler;
    ~Visited() {
      crawler.Forget(crawler.visiting_);
      crawler.visiting_.clear();
    }
  } visited{*this};
  visiting_ = page_.address;
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
  ScratchFile* file = nullptr;
  trap.Do(VisitLabel::kOpenPageFile, [&]() -> Status {
    if (ahead.file) {
      file = ahead.file.get();
      return {};
    }
    // A visit outside a walk has no page file of its own.
    if (!walking_) return Status::Failure(ErrorKind::kBadFileName);
    if (!page_file_) {
      Result<std::unique_ptr<ScratchFile>> made =
          disk_.CreateScratch(TempPageTemplate());
      if (!made.ok()) return made.status();
      page_file_ = made.Take();
    }
    file = page_file_.get();
    return {};
  });
  Answer answer = Status::Failure(QStringLiteral("Not fetched"));
  trap.Do(VisitLabel::kFetch, [&] {
    pump_.Yield();
    if (file == nullptr) return;
    if (!ahead.fetch) ahead.fetch = source_.StartPage(page_.address, *file, {});
    answer =
        source_.CompletePage(*ahead.fetch, [this] { return stop_requested_; });
  });
  const Status fetched = Verdict(answer);
  if (folder_form) {
    if (!stop_requested_ && fetched.ok() &&
        ServedAsFile(trap, answer.value(), *file)) {
      // A file row as linked, and nothing of it is scanned.
      trap.Do(VisitLabel::kAddRow, [&] { handler_.ListFileLink(address); });
      trap.Do(VisitLabel::kEmptyPageFile, [&] { return file->Empty(); });
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
    if (folder_form && answer.ok()) {
      trap.Do(VisitLabel::kCheckFetched,
              [&] { ListIfFile(address, ahead.look.get()); });
    }
    return;
  }
  {
    const ScopedFlag scanning(scanning_);
    ScanPageFile(trap, *file);
  }
  trap.Do(VisitLabel::kEmptyPageFile, [&] {
    pump_.Yield();
    return file->Empty();
  });
}

// Whether the answer to a folder form is the file itself: a type that is not
// a page's, or, with no type, a body whose first non-blank byte is not "<".
bool Crawler::ServedAsFile(VisitTrap& trap, const Response& response,
                           ScratchFile& file) {
  if (!response.content_type.isEmpty()) {
    return !IsHtmlType(response.content_type);
  }
  QByteArray start(1024, Qt::Uninitialized);
  trap.Do(VisitLabel::kRewind, [&]() -> Status {
    start.clear();
    if (const Status rewound = file.Rewind(); !rewound.ok()) return rewound;
    start.resize(1024);
    const Result<qint64> read = file.Read(start.data(), start.size());
    start.resize(read.ok() ? read.value() : 0);
    return read.status();
  });
  for (const char c : start) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') continue;
    return c != '<';
  }
  return false;
}

// Runs when a request of the walk ends, outside it. A folder form fetched
// ahead that is missing for good (404, or any other status of 400 and
// above that no retry changes) is looked at as linked at once, as its visit
// will; then the next pages are fetched ahead. The page in its visit looks
// for itself.
void Crawler::Advance() {
  if (stop_requested_) return;
  for (auto& [fetch_address, ahead] : ahead_) {
    if (ahead.look || fetch_address == ahead.linked ||
        fetch_address == visiting_ || !ahead.fetch->finished()) {
      continue;
    }
    const Answer answer = ahead.fetch->answer();
    const Status fetched = Verdict(answer);
    if (answer.ok() && !fetched.ok() && !fetched.transient()) {
      ahead.look = source_.StartHead(ahead.linked, loop_.Waker());
    }
  }
  FetchAhead();
}

// Starts the fetches of the folders at the end of the queue, the next to
// be visited, while fewer requests than the engine's connections are in
// flight. One whose visit would end at once is left alone: nothing is asked
// for that a walk of one page at a time would not ask for. Pages that have
// arrived wait for their visits in their files, a bounded number of them:
// a folder's siblings fetched early must not hold back its own children.
// Fetching ahead only saves time and fails silently: a page that cannot be
// fetched ahead is fetched in its visit, which reports what goes wrong.
void Crawler::FetchAhead() {
  // While a page is scanned the end of the queue is not yet known; after a
  // stop nothing more is asked for.
  if (scanning_ || stop_requested_) return;
  const qsizetype most = source_.connections();
  const qsizetype most_held = kPagesHeldPerConnection * most;
  // The page in its visit holds its place to its end, so a walk of one
  // connection asks for one page at a time, in the order it visits them.
  qsizetype in_flight = visiting_.isEmpty() ? 0 : 1;
  for (const auto& [fetch_address, ahead] : ahead_) {
    if (fetch_address == visiting_) continue;
    if (!ahead.fetch->finished()) ++in_flight;
    if (ahead.look && !ahead.look->finished()) ++in_flight;
  }
  const qsizetype count = pages_.Count();
  // A few more than that are looked at: some are fetched already.
  for (qsizetype i = count; i >= 1 && i > count - 4 * most; --i) {
    if (in_flight >= most || qsizetype(ahead_.size()) >= most_held) return;
    const QString& address = pages_.At(i);
    const QString fetch_address = FetchAddressOf(address);
    if (fetch_address == visiting_ || ahead_.contains(fetch_address) ||
        list_.IsListed(PageRowText(address))) {
      continue;
    }
    std::unique_ptr<ScratchFile> file = SpareFile();
    // The visit makes do with the walk's own page file and says why.
    if (!file) return;
    std::unique_ptr<PageSource::Pending> fetch =
        source_.StartPage(fetch_address, *file, loop_.Waker());
    ahead_.emplace(fetch_address,
                   PageAhead{std::move(file), std::move(fetch), address, {}});
    ++in_flight;
  }
}

std::unique_ptr<Crawler::ScratchFile> Crawler::SpareFile() {
  if (!spare_files_.empty()) {
    std::unique_ptr<ScratchFile> file = std::move(spare_files_.back());
    spare_files_.pop_back();
    return file;
  }
  Result<std::unique_ptr<ScratchFile>> made =
      disk_.CreateScratch(TempPageTemplate());
  return made.ok() ? made.Take() : nullptr;
}

// A page done with gives its file to the next fetch ahead: making files is
// much of what a walk of many small pages costs the system.
void Crawler::Forget(const QString& fetch_address) {
  const auto found = ahead_.find(fetch_address);
  if (found == ahead_.end()) return;
  std::unique_ptr<ScratchFile> file = std::move(found->second.file);
  ahead_.erase(found);  // ends its requests, which write to the file
  // A file that cannot be emptied is dropped, and a new one made instead.
  if (file && file->Empty().ok()) spare_files_.push_back(std::move(file));
}

void Crawler::ListIfFile(const QString& address, PageSource::Pending* look) {
  std::unique_ptr<PageSource::Pending> own;
  if (look == nullptr) {
    own = source_.StartHead(address, {});
    look = own.get();
  }
  const Answer head =
      source_.CompleteHead(*look, [this] { return stop_requested_; });
  if (Verdict(head).ok() && !IsHtmlType(head.value().content_type)) {
    handler_.ListFileLink(address);
  }
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
    QByteArray piece(kScanPieceBytes, Qt::Uninitialized);
    for (;;) {
      const Result<qint64> read = file.Read(piece.data(), kScanPieceBytes);
      if (!read.ok() || read.value() == 0) {
        scanner_.Finish();
        return read.status();
      }
      scanner_.Feed(piece.constData(), read.value());
      pump_.Yield();
    }
  });
}

}  // namespace trawlbox
