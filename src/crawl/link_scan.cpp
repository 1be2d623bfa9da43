#include "crawl/link_scan.h"

#include <algorithm>
#include <cstring>

namespace trawlbox {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

}  // namespace

// Both markers end in a double quote, and so does every value: the scan
// jumps from one quote to the next with memchr. Each quote closes the open
// value, if any, and opens a new one when the bytes before it spell a
// marker.
void LinkScanner::Feed(const char* data, qsizetype size) {
  value_start_ = 0;
  qsizetype at = 0;
  while (at < size) {
    const void* found = std::memchr(data + at, '"', size_t(size - at));
    if (found == nullptr) break;
    const qsizetype quote = static_cast<const char*>(found) - data;
    if (value_open_) CloseValue(data, quote);
    if (EndsMarker(data, quote, "src=", 4)) {
      OpenValue(LinkKind::kSource);
    } else if (EndsMarker(data, quote, "href=", 5)) {
      OpenValue(LinkKind::kReference);
    }
    value_start_ = quote + 1;
    at = quote + 1;
  }
  if (value_open_ && !value_dropped_) {
    const qsizetype rest = size - value_start_;
    if (value_.size() + rest > kMaxValueBytes) {
      value_dropped_ = true;
      value_.clear();
    } else {
      value_.append(data + value_start_, rest);
    }
  }
  // Keep the last bytes seen for a marker whose quote is in the next piece.
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

void LinkScanner::Finish() {
  value_open_ = false;
  value_dropped_ = false;
  value_.clear();
  tail_size_ = 0;
}

void LinkScanner::OpenValue(LinkKind kind) {
  value_open_ = true;
  value_kind_ = kind;
  value_dropped_ = false;
  value_.resize(0);
}

void LinkScanner::CloseValue(const char* data, qsizetype end) {
  value_open_ = false;
  if (value_dropped_) return;
  if (value_.size() + (end - value_start_) > kMaxValueBytes) return;
  value_.append(data + value_start_, end - value_start_);
  consumer_(value_kind_, QString::fromLatin1(value_));
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

void CollectData(const QByteArray& page,
                 const LinkScanner::Consumer& consumer) {
  LinkScanner scanner(consumer);
  scanner.Feed(page);
  scanner.Finish();
}

}  // namespace trawlbox
