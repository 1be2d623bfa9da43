#include "crawl/crawler.h"

#include <QFile>
#include <limits>

#include "app/app_error.h"
#include "app/error_trap.h"
#include "app/event_pump.h"
#include "app/file_list.h"
#include "app/http_client.h"
#include "crawl/link_scan.h"
#include "crawl/temp_page.h"

namespace trawlbox {
namespace {

const QString kGetUrlsTag =
    QStringLiteral("in Quaymill2021/08/31.ExtractLinks.GetUrls ");

bool StartsWithHttp(const QString& text) {
  return text.left(4).compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
}

void RaiseUnlessOpen(const QFile& file) {
  if (!file.isOpen()) Raise(ErrorKind::kBadFileName);
}

}  // namespace

bool IsPageLike(const QString& address) {
  return address.contains(QLatin1String(".php"), Qt::CaseInsensitive) ||
         (address.size() >= 3 && (address.endsWith(QLatin1String("htm")) ||
                                  address.endsWith(QLatin1String("tml"))));
}

QString PageRowText(const QString& address) {
  QString row = address;
  if (row.startsWith(QLatin1Char('/'))) row.remove(0, 1);
  if (!StartsWithHttp(row)) row = QStringLiteral("http://") + row + '/';
  if (!row.endsWith(QLatin1Char('/'))) row += QLatin1Char('/');
  return row;
}

Crawler::Crawler(FileList& list, Prompts& prompts, HttpClient& http,
                 std::function<QString()> start_address)
    : list_(list),
      prompts_(prompts),
      http_(http),
      handler_(list, pages_, std::move(start_address)) {}

void Crawler::WalkSite(ErrorTrap& trap, const QString& start_address) {
  stop_requested_ = false;
  trap.Do(106, [&] { pages_.Clear(); });
  trap.Do(108, [&] { pages_.Append(start_address); });
  while (trap.If(
      110, [&] { return pages_.Count() > 0; }, OnFailure::kSkipAction)) {
    if (stop_requested_) {
      pages_.Clear();
      break;
    }
    const qsizetype n = pages_.Count();
    trap.Do(112, [&] { GetUrls(pages_.At(n), 1); });
    trap.Do(114, [&] { pages_.Remove(n); });
  }
}

void Crawler::SetPageAddress(const QString& address) {
  page_address_ = IsPageLike(address) || address.endsWith(QLatin1Char('/'))
                      ? address
                      : address + QLatin1Char('/');
  const qsizetype slash = page_address_.lastIndexOf(QLatin1Char('/'));
  if (slash >= 0) page_base_ = page_address_.left(slash);
}

void Crawler::GetUrls(const QString& address, qint16 page_index) {
  ErrorTrap trap(prompts_, kGetUrlsTag);
  QString row;
  trap.Do(100, [&] { row = PageRowText(address); });
  if (trap.If(
          108, [&] { return list_.IsListed(row); }, OnFailure::kSkipAction)) {
    return;  // visited already, or listed otherwise
  }
  qsizetype position = 0;
  trap.Do(110, [&] {
    list_.Add(row);
    position = list_.Count();
  });
  trap.Do(116, [&] { SetPageAddress(address); });
  QString path;
  trap.Do(118, [&] { path = TempPagePath(page_index); });
  trap.Do(120, [&] {
    page_address_.replace(QLatin1String("https://"), QLatin1String("http://"));
  });
  FetchResult fetch{QStringLiteral("Not fetched")};
  trap.Do(122, [&] {
    http_.pump().PassEvents();
    fetch = fetch_page_ ? fetch_page_(page_address_, path)
                        : http_.FetchToFile(page_address_, path);
  });
  if (trap.If(
          124, [&] { return !fetch.ok(); }, OnFailure::kSkipAction)) {
    if (position > 0) list_.MarkFailed(position, fetch.failure);
    return;
  }
  LoadPage(trap, path);
  trap.Do(144, [&] { ScanPage(); });
  trap.Do(148, [&] {
    http_.pump().PassEvents();
    RemoveFile(path);
  });
}

// The page's bytes come into the one page buffer. Each step is a statement
// of the visit: a failing one is reported and the next one still runs, so
// a page that cannot be read leaves the buffer as it was.
void Crawler::LoadPage(ErrorTrap& trap, const QString& path) {
  QFile file(path);
  trap.Do(130, [&] {
    if (!file.open(QIODevice::ReadOnly)) {
      Raise(file.exists() ? ErrorKind::kPermissionDenied
                          : ErrorKind::kFileNotFound);
    }
  });
  trap.Do(132, [&] {
    RaiseUnlessOpen(file);
    const qint64 size = file.size();
    if (size > std::numeric_limits<qint32>::max()) Raise(ErrorKind::kOverflow);
    page_length_ = static_cast<qint32>(size);
  });
  if (trap.If(
          134, [&] { return page_length_ > 0; }, OnFailure::kRunBody)) {
    trap.Do(136, [&] { page_bytes_.resize(page_length_); });
    trap.Do(138, [&] {
      RaiseUnlessOpen(file);
      const qint64 read = file.read(page_bytes_.data(), page_length_);
      if (read < 0) Raise(file.errorString());
    });
  }
  trap.Do(142, [&] {
    RaiseUnlessOpen(file);
    file.close();
  });
}

void Crawler::ScanPage() {
  const QString base = page_base_;
  CollectData(
      page_bytes_, page_length_,
      [&](LinkKind kind, qsizetype position) {
        // A link that cannot be handled is passed over; the scan goes on.
        try {
          const auto value = ReadLinkValue(page_bytes_, page_length_, position);
          if (value) handler_.HandleLink(kind, *value, base);
        } catch (const std::exception&) {
        }
      },
      &http_.pump());
}

}  // namespace trawlbox
