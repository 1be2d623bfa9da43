#include "crawl/link_handling.h"

#include "core/file_list.h"
#include "crawl/pages_to_visit.h"

namespace trawlbox {
namespace {

bool IsMailOrLocal(const QString& address) {
  return address.contains(QLatin1Char('@')) ||
         address.contains(QLatin1String("file://"));
}

// "a/./" and "a/../" name a folder already reachable without them; queued,
// they would grow a new address on every visit and never end the walk.
bool HasDotSegment(const QString& address) {
  for (const QStringView segment :
       QStringView(address).split(QLatin1Char('/'))) {
    if (segment == QLatin1String(".") || segment == QLatin1String("..")) {
      return true;
    }
  }
  return false;
}

QString LastSegment(const QString& address) {
  return address.mid(address.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

QString ResolveLink(const QString& value, const QString& page_base) {
  QString address;
  const qsizetype scheme_end = page_base.indexOf(QLatin1String("://"));
  if (value.startsWith(QLatin1String("//")) && scheme_end >= 0) {
    // Another host, reached the way the page was.
    address = page_base.left(scheme_end + 1) + value;
  } else if (value.startsWith(QLatin1Char('/')) && scheme_end >= 0) {
    // The root of the page's own host: its origin, then the path.
    const qsizetype path = page_base.indexOf(QLatin1Char('/'), scheme_end + 3);
    address = (path < 0 ? page_base : page_base.left(path)) + value;
  } else {
    QStringView rest(value);
    if (rest.startsWith(QLatin1Char('/'))) rest = rest.mid(1);
    if (rest.left(4).compare(QLatin1String("http"), Qt::CaseInsensitive) != 0) {
      address = page_base + QLatin1Char('/') + rest.toString();
    } else {
      address = rest.toString();
    }
  }
  const qsizetype fragment = address.indexOf(QLatin1Char('#'));
  if (fragment >= 0) address.truncate(fragment);
  return address;
}

bool IsSortLink(const QString& address) {
  const qsizetype j =
      address.indexOf(QLatin1String("/?C="), 0, Qt::CaseInsensitive);
  if (j < 0) return false;
  return address.indexOf(QLatin1String(";O="), j + 4, Qt::CaseInsensitive) >= 0;
}

bool IsSameSite(const QString& address, const QString& start_address) {
  return address.contains(start_address, Qt::CaseInsensitive);
}

bool LinkHandler::IsSameSite(const QString& address) const {
  return trawlbox::IsSameSite(address, start_address_());
}

void LinkHandler::HandleLink(LinkKind kind, const QString& value,
                             const QString& page_base) {
  const QString address = ResolveLink(value, page_base);
  const bool is_file = kind == LinkKind::kSource ||
                       LastSegment(address).contains(QLatin1Char('.'));
  if (is_file) {
    if (!IsMailOrLocal(address)) ListFileLink(address);
  } else if (IsSameSite(address) && !IsSortLink(address) &&
             !HasDotSegment(address)) {
    pages_.Append(address, address);
  }
}

void LinkHandler::ListFileLink(const QString& address) {
  if (!IsSameSite(address)) return;
  if (list_.IsListed(address)) return;
  if (address.contains(QLatin1String(".."))) return;
  list_.Add(address);
}

}  // namespace trawlbox
