#include "crawl/link_scan.h"

#include <cstring>

#include "app/event_pump.h"

namespace trawlbox {
namespace {

// Scanned between two looks at the pump's clock.
constexpr qsizetype kBlockBytes = 64 * 1024;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool SpellsBefore(const char* data, qsizetype end, const char* word,
                  qsizetype word_length) {
  if (end < word_length) return false;
  const char* start = data + end - word_length;
  for (qsizetype k = 0; k < word_length; ++k) {
    if (Lower(start[k]) != word[k]) return false;
  }
  return true;
}

}  // namespace

// Both markers end in `="`, which is rare in most of a page: the scan jumps
// from one "=" to the next with memchr and looks back at the letters.
void CollectData(const QByteArray& page, qsizetype length,
                 const std::function<void(LinkKind, qsizetype)>& consumer,
                 EventPump* pump) {
  const qsizetype n = std::min(length, page.size());
  const char* data = page.constData();
  for (qsizetype block = 0; block < n; block += kBlockBytes) {
    const qsizetype block_end = std::min(n, block + kBlockBytes);
    qsizetype at = block;
    while (at < block_end) {
      const void* found = std::memchr(data + at, '=', size_t(block_end - at));
      if (found == nullptr) break;
      const qsizetype equals = static_cast<const char*>(found) - data;
      at = equals + 1;
      if (equals + 1 >= n || data[equals + 1] != '"') continue;
      // 0-based index of the value's first byte is equals + 2, which is
      // 1-based position equals + 3.
      if (SpellsBefore(data, equals, "src", 3)) {
        consumer(LinkKind::kSource, equals + 3);
      } else if (SpellsBefore(data, equals, "href", 4)) {
        consumer(LinkKind::kReference, equals + 3);
      }
    }
    if (pump != nullptr) pump->Yield();
  }
}

std::optional<QString> ReadLinkValue(const QByteArray& page, qsizetype length,
                                     qsizetype position) {
  const qsizetype n = std::min(length, page.size());
  const qsizetype first = position - 1;
  if (first < 0 || first >= n) return std::nullopt;
  const char* data = page.constData();
  const void* quote = std::memchr(data + first, '"', size_t(n - first));
  if (quote == nullptr) return std::nullopt;
  const qsizetype end = static_cast<const char*>(quote) - data;
  return QString::fromLocal8Bit(data + first, end - first);
}

}  // namespace trawlbox
