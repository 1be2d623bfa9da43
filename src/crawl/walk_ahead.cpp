#include <QSet>
#include <algorithm>

#include "core/file_list.h"
#include "core/file_system.h"
#include "crawl/crawler.h"
#include "crawl/temp_page.h"

// The walk ahead of the visits: which pages the visits will ask for, in
// their order, fetched and read before their turns.

namespace trawlbox {

// Runs in each pass of the request run, outside any request.
bool Crawler::Advance() {
  if (walking()) state_ = WalkState::kAheadDue;
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
  if (state_ != WalkState::kAheadDue) return false;
  AheadPass pass;
  pass.queued = pages_.Count();
  pass.held = qsizetype(ahead_.size());
  if (visiting_ != nullptr) {
    --pass.held;
    --pass.queued;  // the page in its visit is the queue's last entry
    if (visiting_->read) pass.QueueLinks(*visiting_->read, pages_);
  }
  const qsizetype most_held = source_.pages_ahead();
  state_ = WalkState::kAheadCutShort;
  for (qsizetype looked = 0; looked < 4 * most_held; ++looked) {
    const std::optional<QString> address = pass.Next(pages_);
    if (!address) {
      state_ = WalkState::kAheadKnown;
      break;
    }
    if (!LookAhead(pass, *address, most_held)) break;
  }
  return pass.unread;
}

void Crawler::AheadPass::QueueLinks(const Read& read,
                                    const PagesToVisit& pages) {
  for (const QString& file : read.files) rows.insert(file);
  for (const QString& folder : read.folders) {
    const QString key = folder.toCaseFolded();
    if (pages.HasKey(folder) || keys.contains(key)) continue;
    keys.insert(key);
    next.push_back(folder);
  }
}

std::optional<QString> Crawler::AheadPass::Next(const PagesToVisit& pages) {
  if (!next.empty()) {
    QString address = std::move(next.back());
    next.pop_back();
    keys.remove(address.toCaseFolded());
    return address;
  }
  if (queued >= 1) return pages.At(queued--);
  return std::nullopt;
}

// One page on the walk ahead: fetched if it is not yet, read once it has
// arrived, and what it links to queued for the look to go on with. False
// where the look stops: as many pages are held as are worth it, or no page
// file can be had.
bool Crawler::LookAhead(AheadPass& pass, const QString& address,
                        qsizetype most_held) {
  const QString row = PageRowText(address);
  if (pass.rows.contains(row) || list_.IsListed(row)) return true;
  pass.rows.insert(row);
  const QString fetch_address = FetchAddressOf(address);
  const auto found = ahead_.find(fetch_address);
  if (found == ahead_.end()) {
    if (pass.held >= most_held) return false;
    std::unique_ptr<ScratchFile> file = SpareFile();
    if (!file) return false;
    PageAhead page;
    page.linked = address;
    page.file = std::move(file);
    page.fetch = source_.StartPage(fetch_address, *page.file);
    ahead_.emplace(fetch_address, std::move(page));
    ++pass.held;
    return true;
  }
  PageAhead& page = found->second;
  if (&page == visiting_) return true;
  if (!page.fetch->finished()) {
    source_.Requeue(*page.fetch);  // in the order the walk now foresees
    return true;
  }
  const Answer answer = page.fetch->answer();
  const bool folder_form = fetch_address != address;
  if (!answer.ok()) {
    const Status& failed = answer.status();
    if (folder_form && failed.code() != 0 && !failed.transient() &&
        !page.look) {
      page.look = source_.StartHead(address);
    }
    return true;
  }
  if (!page.read && !ReadAhead(fetch_address, page, pass.budget)) {
    pass.unread = true;
    return true;
  }
  if (folder_form && ServedAsFile(answer.value(), page.read->start)) {
    pass.rows.remove(row);
    pass.rows.insert(address);
    return true;
  }
  pass.QueueLinks(*page.read, pages_);
  return true;
}

Crawler::Reading::Reading()
    : scan{
          LinkScanner([this](LinkKind kind, const QString& value) {
            read.links.emplace_back(kind, value);
          }),
          ListingSizeScanner([this](const QString& value, const RowSize& size) {
            read.sizes.emplace_back(value, size);
          })} {}

bool Crawler::ReadAhead(const QString& fetch_address, PageAhead& page,
                        qint64& budget) {
  if (budget <= 0 || !page.file) return false;
  if (!page.reading) {
    if (!page.file->Rewind().ok()) return false;
    page.reading = std::make_unique<Reading>();
  }
  Reading& reading = *page.reading;
  QByteArray piece(kScanPieceBytes, Qt::Uninitialized);
  while (budget > 0) {
    const Result<qint64> got = page.file->Read(piece.data(), piece.size());
    if (!got.ok()) {
      // The visit scans the file itself and reports the failure.
      page.reading.reset();
      return false;
    }
    if (got.value() == 0) {
      reading.scan.Finish();
      reading.read.length = page.file->Size();
      ResolveLinks(LocationOf(fetch_address), reading.read);
      page.read = std::move(reading.read);
      page.reading.reset();
      // Read whole, the page needs its file no more.
      if (page.file->Empty().ok()) spare_files_.push_back(std::move(page.file));
      page.file.reset();
      return true;
    }
    QByteArray& start = reading.read.start;
    if (start.size() < kStartBytes) {
      start.append(piece.constData(),
                   std::min<qint64>(got.value(), kStartBytes - start.size()));
    }
    reading.scan.Feed(piece.constData(), got.value());
    budget -= got.value();
  }
  return false;
}

// What the links of a page read whole name, for fetching ahead.
void Crawler::ResolveLinks(const PageLocation& location, Read& read) const {
  for (const auto& [kind, value] : read.links) {
    LinkHandler::Target target = handler_.TargetOf(kind, value, location);
    if (target.kind == LinkHandler::Target::Kind::kFile) {
      read.files.append(std::move(target.address));
    } else if (target.kind == LinkHandler::Target::Kind::kFolder) {
      read.folders.append(std::move(target.address));
    }
  }
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
  std::unique_ptr<ScratchFile> file = std::move(found->second.file);
  ahead_.erase(found);  // ends its requests, which write to the file
  // A file that cannot be emptied is dropped, and a new one made instead.
  if (file && (file->Size() == 0 || file->Empty().ok())) {
    spare_files_.push_back(std::move(file));
  }
}

}  // namespace trawlbox
