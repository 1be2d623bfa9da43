#include "crawl/link_handling.h"

#include "core/file_list.h"
#include "crawl/pages_to_visit.h"
#include "net/url.h"

namespace trawlbox {
namespace {

// The scheme `text` names, blanks before it aside ("mailto", "ftp"); empty
// when it has none.
QStringView SchemeOf(QStringView text) {
  const QStringView link = text.trimmed();
  return HasScheme(link) ? link.first(link.indexOf(u':')) : QStringView();
}

// A "mailto:" link names a mailbox, never a page or a file. An "@" elsewhere
// is an ordinary character: logo@2x.png, @types/, or the user of a start
// address that carries a password.
bool IsMailLink(QStringView value) {
  return SchemeOf(value).compare(u"mailto", Qt::CaseInsensitive) == 0;
}

bool IsWebScheme(QStringView text) {
  const QStringView scheme = SchemeOf(text);
  return scheme.isEmpty() ||
         scheme.compare(u"http", Qt::CaseInsensitive) == 0 ||
         scheme.compare(u"https", Qt::CaseInsensitive) == 0;
}

// Whether a file link is one to download: neither its value nor its address
// names a scheme other than http and https (file://, ftp://, javascript:),
// and no "file://" hides in it. Said here, not left to the same-site test,
// which an empty start address passes.
bool IsWebFile(const QString& value, const QString& address) {
  return IsWebScheme(value) && IsWebScheme(address) &&
         !address.contains(QLatin1String("file://"));
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

bool IsTooLong(const QString& address) {
  // UTF-8 takes at most three bytes for a character of a QString.
  return address.size() * 3 > LinkHandler::kMaxFolderBytes &&
         address.toUtf8().size() > LinkHandler::kMaxFolderBytes;
}

QString LastSegment(const QString& address) {
  return address.mid(address.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

QString ResolveLink(const QString& value, const PageLocation& page) {
  QString address;
  if (HasScheme(page.address)) {
    address = ResolveReference(page.address, value).value_or(QString());
  } else {
    QStringView rest(value);
    if (rest.startsWith(QLatin1Char('/'))) rest = rest.mid(1);
    if (rest.left(4).compare(QLatin1String("http"), Qt::CaseInsensitive) != 0) {
      address = page.base + QLatin1Char('/') + rest.toString();
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

LinkHandler::Target LinkHandler::TargetOf(LinkKind kind, const QString& value,
                                          const PageLocation& page) const {
  if (value.startsWith(QLatin1Char('?')) || IsMailLink(value)) return {};
  QString address = ResolveLink(value, page);
  if (address.isEmpty()) return {};
  const bool is_file = kind == LinkKind::kSource ||
                       LastSegment(address).contains(QLatin1Char('.'));
  if (is_file) {
    if (!IsWebFile(value, address)) return {};
    return {Target::Kind::kFile, std::move(address)};
  }
  if (IsSameSite(address) && !IsSortLink(address) && !HasDotSegment(address) &&
      !IsTooLong(address)) {
    return {Target::Kind::kFolder, std::move(address)};
  }
  return {};
}

void LinkHandler::HandleLink(LinkKind kind, const QString& value,
                             const PageLocation& page) {
  const Target target = TargetOf(kind, value, page);
  switch (target.kind) {
    case Target::Kind::kFile:
      ListFileLink(target.address);
      break;
    case Target::Kind::kFolder:
      pages_.Append(target.address, target.address);
      break;
    case Target::Kind::kNone:
      break;
  }
}

void LinkHandler::ListFileLink(const QString& address,
                               std::optional<qint64> length) {
  if (!IsSameSite(address)) return;
  if (list_.IsListed(address)) return;
  if (address.contains(QLatin1String(".."))) return;
  list_.Add(address);
  if (length) list_.SetSize(list_.Count(), RowSize::Exact(*length));
}

void LinkHandler::SizeFileLinks(const std::vector<SizedLink>& sizes,
                                const PageLocation& page) {
  for (const auto& [value, size] : sizes) {
    const Target target = TargetOf(LinkKind::kReference, value, page);
    if (target.kind != Target::Kind::kFile) continue;
    const qsizetype row = list_.PositionOf(target.address);
    if (row > 0) list_.SetSize(row, size);
  }
}

}  // namespace trawlbox
