#include "crawl/link_scan.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "crawl/link_value.h"

namespace trawlbox {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

}  // namespace

// Both markers end in a quote, and so does every value: the scan jumps
// from one quote to the next with memchr, keeping the next one of each
// kind. Each quote closes the open value of its kind, if any, and opens a
// new one when the bytes before it spell a marker.
void LinkScanner::Feed(const char* data, qsizetype size) {
  static constexpr char kQuotes[2] = {'"', '\''};
  const auto find = [&](int kind, qsizetype from) -> qsizetype {
    const void* found =
        std::memchr(data + from, kQuotes[kind], size_t(size - from));
    return found == nullptr ? size : static_cast<const char*>(found) - data;
  };
  for (Value& value : values_) value.start = 0;
  qsizetype next[2] = {find(0, 0), find(1, 0)};
  for (;;) {
    const int kind = next[0] <= next[1] ? 0 : 1;
    const qsizetype quote = next[kind];
    if (quote == size) break;
    OnQuote(values_[kind], data, quote);
    next[kind] = find(kind, quote + 1);
  }
  for (Value& value : values_) Keep(value, data, size);
  KeepTail(data, size);
}

void LinkScanner::Finish() {
  for (Value& value : values_) value = Value();
  Deliver();
  tail_size_ = 0;
}

void LinkScanner::OnQuote(Value& value, const char* data, qsizetype quote) {
  if (value.open) Close(value, data, quote);
  const bool source = EndsMarker(data, quote, "src=", 4);
  if (!source && !EndsMarker(data, quote, "href=", 5)) return;
  value.open = true;
  value.dropped = false;
  value.kind = source ? LinkKind::kSource : LinkKind::kReference;
  value.order = ++markers_;
  value.bytes.resize(0);
  value.start = quote + 1;
}

void LinkScanner::Close(Value& value, const char* data, qsizetype end) {
  value.open = false;
  const qsizetype size = end - value.start;
  if (!value.dropped && value.bytes.size() + size <= kMaxValueBytes) {
    value.bytes.append(data + value.start, size);
    held_.push_back({value.order, value.kind, DecodeLinkValue(value.bytes)});
    // At most a few are held: keep them in marker order.
    std::sort(held_.begin(), held_.end(),
              [](const Held& a, const Held& b) { return a.order < b.order; });
  }
  Deliver();
}

// Hands on the held links that no open value's marker comes before.
void LinkScanner::Deliver() {
  quint64 first_open = std::numeric_limits<quint64>::max();
  for (const Value& value : values_) {
    if (value.open) first_open = std::min(first_open, value.order);
  }
  qsizetype delivered = 0;
  while (delivered < qsizetype(held_.size()) &&
         held_[delivered].order < first_open) {
    const Held& link = held_[delivered++];
    consumer_(link.kind, link.value);
  }
  held_.erase(held_.begin(), held_.begin() + delivered);
}

// Carries an open value's bytes of this piece over to the next.
void LinkScanner::Keep(Value& value, const char* data, qsizetype size) {
  if (!value.open || value.dropped) return;
  const qsizetype rest = size - value.start;
  if (value.bytes.size() + rest > kMaxValueBytes) {
    value.dropped = true;
    value.bytes.clear();
  } else {
    value.bytes.append(data + value.start, rest);
  }
}

// Keeps the last bytes seen for a marker whose quote is in the next piece.
void LinkScanner::KeepTail(const char* data, qsizetype size) {
  const qsizetype keep = static_cast<qsizetype>(sizeof(tail_));
  if (size >= keep) {
    std::memcpy(tail_, data + size - keep, size_t(keep));
    tail_size_ = keep;
  } else {
    const qsizetype old = std::min(tail_size_, keep - size);
    std::memmove(tail_, tail_ + tail_size_ - old, size_t(old));
    std::memcpy(tail_ + old, data, size_t(size));
    tail_size_ = old + size;
  }
}

// Whether the `count` bytes before the quote at `quote` spell `letters`
// (letters in any case), reaching back into the previous pieces' tail.
bool LinkScanner::EndsMarker(const char* data, qsizetype quote,
                             const char* letters, qsizetype count) const {
  if (quote + tail_size_ < count) return false;
  for (qsizetype k = 0; k < count; ++k) {
    const qsizetype index = quote - count + k;
    const char c = index >= 0 ? data[index] : tail_[tail_size_ + index];
    if (Lower(c) != letters[k]) return false;
  }
  return true;
}

void ScanPage(const QByteArray& page, const LinkScanner::Consumer& consumer) {
  LinkScanner scanner(consumer);
  scanner.Feed(page);
  scanner.Finish();
}

}  // namespace trawlbox
