#ifndef TRAWLBOX_CRAWL_LINK_SCAN_H_
#define TRAWLBOX_CRAWL_LINK_SCAN_H_

#include <QByteArray>
#include <QString>
#include <functional>

namespace trawlbox {

enum class LinkKind {
  kSource,     // after src="
  kReference,  // after href="
};

// Finds the links of a page that arrives in pieces of any size: every src="
// and href=" marker (letters in any case, nothing between the letters, "="
// and the double quote) and the value that follows it up to the next double
// quote. Every occurrence counts, also inside the value of another, and
// links come out in page order. A marker or a value may span pieces; only
// the open value and the last few bytes are kept, so a page of any size is
// scanned in bounded memory.
class LinkScanner {
 public:
  // Values are read byte for byte, each byte one Latin-1 character, so an
  // address in any encoding comes out as it stood in the page.
  using Consumer = std::function<void(LinkKind kind, const QString& value)>;

  // A value longer than this is no address anybody can fetch; it is
  // dropped rather than held.
  static constexpr qsizetype kMaxValueBytes = 8 << 20;

  explicit LinkScanner(Consumer consumer) : consumer_(std::move(consumer)) {}

  void Feed(const char* data, qsizetype size);
  void Feed(const QByteArray& piece) { Feed(piece.constData(), piece.size()); }
  // The page has ended: a value still open has no closing quote and yields
  // no link. The scanner is then ready for the next page.
  void Finish();

 private:
  void OpenValue(LinkKind kind);
  void CloseValue(const char* data, qsizetype end);
  bool EndsMarker(const char* data, qsizetype quote, const char* letters,
                  qsizetype count) const;

  Consumer consumer_;
  // The last bytes of the previous pieces, for markers that span pieces.
  char tail_[5] = {};
  qsizetype tail_size_ = 0;
  // The value being read: its kind, the bytes so far, whether it is too
  // long to keep.
  bool value_open_ = false;
  LinkKind value_kind_ = LinkKind::kSource;
  QByteArray value_;
  bool value_dropped_ = false;
  // Where in the current piece the open value's bytes begin.
  qsizetype value_start_ = 0;
};

// Scans a whole page held in memory, as LinkScanner does.
void CollectData(const QByteArray& page, const LinkScanner::Consumer& consumer);

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_LINK_SCAN_H_
