#ifndef TRAWLBOX_CRAWL_LINK_SCAN_H_
#define TRAWLBOX_CRAWL_LINK_SCAN_H_

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace trawlbox {

class EventPump;

enum class LinkKind {
  kSource,     // after src="
  kReference,  // after href="
};

// Finds every src=" and href=" marker (letters in any case, nothing between
// the letters, "=" and the double quote) in the first `length` bytes of
// `page`, in page order, and hands each one's kind and value position
// (1-based) to `consumer`. Every occurrence counts, also inside the values
// of others. Lets window events run on the pump's clock when given one.
void CollectData(
    const QByteArray& page, qsizetype length,
    const std::function<void(LinkKind, qsizetype value_position)>& consumer,
    EventPump* pump);

// The value that starts at 1-based `position`: the bytes up to the next
// double quote, decoded as one piece with the system's 8-bit code page.
// No closing quote within `length` bytes: no value.
std::optional<QString> ReadLinkValue(const QByteArray& page, qsizetype length,
                                     qsizetype position);

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_LINK_SCAN_H_
