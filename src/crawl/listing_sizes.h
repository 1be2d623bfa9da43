#ifndef TRAWLBOX_CRAWL_LISTING_SIZES_H_
#define TRAWLBOX_CRAWL_LISTING_SIZES_H_

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

#include "core/row_size.h"

namespace trawlbox {

// The bytes of one entry of a listing are read at most this far.
inline constexpr qsizetype kMaxListingEntryBytes = 4096;

// The size a directory listing prints beside a link, read from the bytes
// that follow the closing quote of the link's href value; none when they
// hold no size, as on an ordinary page.
//
// The entry ends at the first "</tr", "<tr", "<a" and a blank, "<img",
// "<li", "</li" or "</pre" (any case), or after kMaxListingEntryBytes.
// A cell data-order="N" whose text reads as a size (Caddy) gives N bytes
// exactly. Otherwise the text after the first "</a>" is read, tags and
// "&nbsp;" as blanks: it must hold a date of three parts ("09-Dec-2026",
// "2026-12-09") with a time right after it ("20:25", "20:25:24"), and the
// size is what follows the last such date and time:
//   1023          bytes, exact
//   9.8K  98.0K   K M G T P (any case) as powers of 1024, rounded
//   999 B         bytes, exact
//   9.8 KiB       KiB MiB GiB TiB PiB, powers of 1024, rounded
//   2.5 kB        kB MB GB TB PB, powers of 1000, rounded
// A "-", any other text and a size beyond qint64 give none.
std::optional<RowSize> ListedSize(QByteArrayView after_link);

// Finds the sizes a listing page prints beside its links, for a page that
// arrives in pieces of any size. Every href= marker (letters in any case)
// followed by a double or a single quote starts a link whose value runs to
// the same quote; the entry after it runs to its end as ListedSize reads
// it, and markers inside an entry (an svg's xlink:href) belong to it. Only
// the open value or entry is kept, so memory stays bounded.
class ListingSizeScanner {
 public:
  // Values come decoded as DecodeLinkValue reads them; only links with a
  // size are reported, in the order of the page.
  using Consumer =
      std::function<void(const QString& value, const RowSize& size)>;

  // A longer value is no file name of a listing; it is dropped.
  static constexpr qsizetype kMaxValueBytes = 8192;

  explicit ListingSizeScanner(Consumer consumer)
      : consumer_(std::move(consumer)) {}

  void Feed(const char* data, qsizetype size);
  void Feed(const QByteArray& piece) { Feed(piece.constData(), piece.size()); }
  // The page has ended: an entry still open is read as it stands, a value
  // still open yields nothing. The scanner is then ready for the next page.
  void Finish();

 private:
  enum class State { kSearch, kValue, kEntry };

  qsizetype Search(const char* data, qsizetype size);
  qsizetype ReadValue(const char* data, qsizetype size);
  qsizetype ReadEntry(const char* data, qsizetype size);
  void Remember(const char* data, qsizetype size);
  bool RecentEndsWith(QByteArrayView letters) const;
  bool EntryEnds() const;
  void EndEntry();

  Consumer consumer_;
  State state_ = State::kSearch;
  char quote_ = '"';
  bool dropped_ = false;  // the open value is too long
  QByteArray value_;
  QByteArray entry_;
  // The last bytes seen, lower case, for markers and ends of entries that
  // span pieces.
  char recent_[8] = {};
};

// Scans a whole page held in memory, as ListingSizeScanner does.
void ScanListingSizes(const QByteArray& page,
                      const ListingSizeScanner::Consumer& consumer);

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_LISTING_SIZES_H_
