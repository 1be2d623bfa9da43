#ifndef TRAWLBOX_CRAWL_LINK_SCAN_H_
#define TRAWLBOX_CRAWL_LINK_SCAN_H_

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace trawlbox {

enum class LinkKind {
  kSource,     // after src="
  kReference,  // after href="
};

// Finds the links of a page that arrives in pieces of any size: every src=
// and href= marker (letters in any case, nothing between the letters, "="
// and the quote) followed by a double or a single quote, and the value that
// follows it up to the next quote of the same kind. Every occurrence counts,
// also inside the value of another, and links come out in the order of
// their markers. A marker or a value may span pieces; only the open values
// and the last few bytes are kept, so a page of any size is scanned in
// bounded memory.
class LinkScanner {
 public:
  // Values come decoded as DecodeLinkValue reads them.
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
  // The value after a marker that ends in one kind of quote.
  struct Value {
    bool open = false;
    bool dropped = false;  // too long to keep
    LinkKind kind = LinkKind::kSource;
    quint64 order = 0;    // of its marker in the page
    QByteArray bytes;     // from earlier pieces
    qsizetype start = 0;  // where its bytes begin in the current piece
  };
  // A link whose value closed while a value opened before it was still
  // open: it waits for that one, to keep the order of the markers.
  struct Held {
    quint64 order;
    LinkKind kind;
    QString value;
  };

  void OnQuote(Value& value, const char* data, qsizetype quote);
  void Close(Value& value, const char* data, qsizetype end);
  void Deliver();
  void Keep(Value& value, const char* data, qsizetype size);
  void KeepTail(const char* data, qsizetype size);
  bool EndsMarker(const char* data, qsizetype quote, const char* letters,
                  qsizetype count) const;

  Consumer consumer_;
  // The last bytes of the previous pieces, for markers that span pieces.
  char tail_[5] = {};
  qsizetype tail_size_ = 0;
  Value values_[2];  // after '"' and after '\''
  std::vector<Held> held_;
  quint64 markers_ = 0;
};

// Scans a whole page held in memory, as LinkScanner does.
void ScanPage(const QByteArray& page, const LinkScanner::Consumer& consumer);

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_LINK_SCAN_H_
