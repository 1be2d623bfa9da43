#include "crawl/page_address.h"

#include <algorithm>

namespace trawlbox {
namespace {

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

PageLocation LocationOf(const QString& fetch_address) {
  return {fetch_address, fetch_address.left(std::max<qsizetype>(
                             0, fetch_address.lastIndexOf(u'/')))};
}

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

}  // namespace trawlbox
