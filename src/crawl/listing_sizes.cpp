#include "crawl/listing_sizes.h"

#include <QtNumeric>
#include <algorithm>
#include <cstring>
#include <vector>

#include "crawl/link_value.h"

namespace trawlbox {
namespace {

using Tokens = std::vector<QByteArrayView>;

// What ends an entry of a listing: the next row, line item, image or link.
constexpr QByteArrayView kEntryEnds[] = {"</tr", "<tr",   "<img", "<li",
                                         "</li", "</pre", "<a ",  "<a\t",
                                         "<a\n", "<a\r",  "<a\f"};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return Lower(c) >= 'a' && Lower(c) <= 'z'; }
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Whether `text` holds `lower` (lower case) at `at`, in any case.
bool HasAt(QByteArrayView text, qsizetype at, QByteArrayView lower) {
  if (at + lower.size() > text.size()) return false;
  for (qsizetype k = 0; k < lower.size(); ++k) {
    if (Lower(text[at + k]) != lower[k]) return false;
  }
  return true;
}

qsizetype FindAnyCase(QByteArrayView text, QByteArrayView lower,
                      qsizetype from = 0) {
  for (qsizetype at = from; at + lower.size() <= text.size(); ++at) {
    if (HasAt(text, at, lower)) return at;
  }
  return -1;
}

qsizetype EntryEnd(QByteArrayView text) {
  text = text.first(std::min(text.size(), kMaxListingEntryBytes));
  for (qsizetype at = 0; at < text.size(); ++at) {
    if (text[at] != '<') continue;
    for (const QByteArrayView end : kEntryEnds) {
      if (HasAt(text, at, end)) return at;
    }
  }
  return text.size();
}

// The text of some markup: each tag and each "&nbsp;" a blank.
QByteArray PlainText(QByteArrayView markup) {
  QByteArray text;
  for (qsizetype at = 0; at < markup.size(); ++at) {
    if (markup[at] == '<') {
      const qsizetype close = markup.indexOf('>', at);
      if (close < 0) break;
      at = close;
      text += ' ';
    } else if (HasAt(markup, at, "&nbsp;")) {
      at += 5;
      text += ' ';
    } else {
      text += markup[at];
    }
  }
  return text;
}

Tokens Split(QByteArrayView text) {
  Tokens tokens;
  qsizetype start = -1;
  for (qsizetype at = 0; at <= text.size(); ++at) {
    const bool blank = at == text.size() || IsBlank(text[at]);
    if (blank && start >= 0) tokens.push_back(text.sliced(start, at - start));
    if (blank) start = -1;
    if (!blank && start < 0) start = at;
  }
  return tokens;
}

// A number as printed: digits, perhaps with one decimal point between
// digits; `mantissa` holds all its digits.
struct Number {
  qint64 mantissa = 0;
  int decimals = 0;
};

std::optional<Number> ReadNumber(QByteArrayView token) {
  Number number;
  qsizetype point = -1;
  for (qsizetype at = 0; at < token.size(); ++at) {
    const char c = token[at];
    if (c == '.' && point < 0 && at > 0 && at + 1 < token.size()) {
      point = at;
      continue;
    }
    if (!IsDigit(c) ||
        qMulOverflow(number.mantissa, qint64(10), &number.mantissa) ||
        qAddOverflow(number.mantissa, qint64(c - '0'), &number.mantissa)) {
      return std::nullopt;
    }
  }
  if (token.isEmpty() || (point >= 0 && token.size() - point - 1 > 9)) {
    return std::nullopt;
  }
  number.decimals = point < 0 ? 0 : int(token.size() - point - 1);
  return number;
}

// The number times `unit` bytes, to the nearest byte.
std::optional<qint64> Bytes(const Number& number, qint64 unit) {
  qint64 scale = 1;
  for (int k = 0; k < number.decimals; ++k) scale *= 10;
  qint64 product = 0;
  if (qMulOverflow(number.mantissa, unit, &product) ||
      qAddOverflow(product, scale / 2, &product)) {
    return std::nullopt;
  }
  return product / scale;
}

// "9.8K": a number and one of K M G T P, powers of 1024.
std::optional<RowSize> SuffixSize(QByteArrayView token) {
  static constexpr char kSuffixes[] = "kmgtp";
  const char* suffix =
      token.isEmpty() ? nullptr : std::strchr(kSuffixes, Lower(token.back()));
  if (suffix == nullptr || *suffix == '\0') return std::nullopt;
  const auto number = ReadNumber(token.chopped(1));
  if (!number) return std::nullopt;
  const auto bytes =
      Bytes(*number, qint64(1) << (10 * (suffix - kSuffixes + 1)));
  if (!bytes) return std::nullopt;
  return RowSize::Approx(*bytes);
}

// "999 B", "9.8 KiB", "2.5 kB".
std::optional<RowSize> UnitSize(QByteArrayView digits, QByteArrayView unit) {
  struct Unit {
    QByteArrayView name;
    qint64 bytes;
  };
  static constexpr Unit kUnits[] = {
      {"KiB", qint64(1) << 10}, {"MiB", qint64(1) << 20},
      {"GiB", qint64(1) << 30}, {"TiB", qint64(1) << 40},
      {"PiB", qint64(1) << 50}, {"kB", 1000},
      {"MB", 1000000},          {"GB", 1000000000},
      {"TB", 1000000000000},    {"PB", 1000000000000000}};
  const auto number = ReadNumber(digits);
  if (!number) return std::nullopt;
  if (unit == "B") {
    if (number->decimals > 0) return std::nullopt;
    return RowSize::Exact(number->mantissa);
  }
  for (const Unit& known : kUnits) {
    if (unit != known.name) continue;
    const auto bytes = Bytes(*number, known.bytes);
    if (!bytes) return std::nullopt;
    return RowSize::Approx(*bytes);
  }
  return std::nullopt;
}

// The size that starts at token `at`: a number and a unit, a number with a
// suffix, or a number of bytes.
std::optional<RowSize> SizeAt(const Tokens& tokens, size_t at) {
  if (at >= tokens.size()) return std::nullopt;
  if (at + 1 < tokens.size()) {
    if (auto size = UnitSize(tokens[at], tokens[at + 1])) return size;
  }
  if (auto size = SuffixSize(tokens[at])) return size;
  const auto number = ReadNumber(tokens[at]);
  if (!number || number->decimals > 0) return std::nullopt;
  return RowSize::Exact(number->mantissa);
}

// "20:25", "8:25:24".
bool IsTime(QByteArrayView token) {
  const qsizetype colon = token.indexOf(':');
  if (colon < 1 || colon > 2) return false;
  const qsizetype size = token.size();
  if (size != colon + 3 && (size != colon + 6 || token[colon + 3] != ':')) {
    return false;
  }
  for (qsizetype at = 0; at < size; ++at) {
    if (at != colon && at != colon + 3 && !IsDigit(token[at])) return false;
  }
  return true;
}

// Three parts between "-", "/" or ".": "09-Dec-2026", "2026-12-09",
// "12/09/2026"; each part 1 to 4 digits or a month's name, at most one name.
bool IsDate(QByteArrayView token) {
  const auto separator = std::find_if(token.begin(), token.end(), [](char c) {
    return !IsDigit(c) && !IsLetter(c);
  });
  if (separator == token.end() || *separator == '\0' ||
      std::strchr("-/.", *separator) == nullptr) {
    return false;
  }
  int parts = 0;
  int names = 0;
  qsizetype start = 0;
  for (qsizetype at = 0; at <= token.size(); ++at) {
    if (at < token.size() && token[at] != *separator) continue;
    const QByteArrayView part = token.sliced(start, at - start);
    start = at + 1;
    const bool digits = std::all_of(part.begin(), part.end(), IsDigit);
    const bool letters = std::all_of(part.begin(), part.end(), IsLetter);
    if (part.isEmpty() || (digits && part.size() > 4) ||
        (letters && (part.size() < 3 || part.size() > 9)) ||
        (!digits && !letters)) {
      return false;
    }
    names += letters ? 1 : 0;
    ++parts;
  }
  return parts == 3 && names <= 1;
}

// Caddy: a cell <td data-order="9999">9.8 KiB</td> that shows a size holds
// the exact number of bytes.
std::optional<RowSize> OrderedSize(QByteArrayView entry) {
  static constexpr QByteArrayView kOrder = "data-order=";
  for (qsizetype at = FindAnyCase(entry, kOrder); at >= 0;
       at = FindAnyCase(entry, kOrder, at + 1)) {
    const qsizetype open = at + kOrder.size();
    if (open >= entry.size() || (entry[open] != '"' && entry[open] != '\'')) {
      continue;
    }
    const qsizetype close = entry.indexOf(entry[open], open + 1);
    const qsizetype tag_end = close < 0 ? -1 : entry.indexOf('>', close);
    if (tag_end < 0) break;
    qsizetype cell_end = entry.indexOf('<', tag_end);
    if (cell_end < 0) cell_end = entry.size();
    const QByteArray text =
        PlainText(entry.sliced(tag_end + 1, cell_end - tag_end - 1));
    const Tokens shown = Split(text);
    const bool is_size = (shown.size() == 1 && SuffixSize(shown[0])) ||
                         (shown.size() == 2 && UnitSize(shown[0], shown[1]));
    const auto number = ReadNumber(entry.sliced(open + 1, close - open - 1));
    if (is_size && number && number->decimals == 0) {
      return RowSize::Exact(number->mantissa);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<RowSize> ListedSize(QByteArrayView after_link) {
  const QByteArrayView entry = after_link.first(EntryEnd(after_link));
  if (auto size = OrderedSize(entry)) return size;
  const qsizetype link_end = FindAnyCase(entry, "</a>");
  if (link_end < 0) return std::nullopt;
  const QByteArray text = PlainText(entry.sliced(link_end + 4));
  const Tokens tokens = Split(text);
  for (size_t at = tokens.size(); at-- > 1;) {
    if (IsTime(tokens[at]) && IsDate(tokens[at - 1])) {
      return SizeAt(tokens, at + 1);
    }
  }
  return std::nullopt;
}

// The scan moves through three states: looking for a marker, reading a
// value up to its quote, and reading the entry after it up to its end.
// Each step takes what it can of the piece and says how much it took.
void ListingSizeScanner::Feed(const char* data, qsizetype size) {
  qsizetype at = 0;
  while (at < size) {
    switch (state_) {
      case State::kSearch:
        at += Search(data + at, size - at);
        break;
      case State::kValue:
        at += ReadValue(data + at, size - at);
        break;
      case State::kEntry:
        at += ReadEntry(data + at, size - at);
        break;
    }
  }
}

void ListingSizeScanner::Finish() {
  if (state_ == State::kEntry) EndEntry();
  state_ = State::kSearch;
  value_.clear();
  entry_.clear();
  std::fill(std::begin(recent_), std::end(recent_), '\0');
}

qsizetype ListingSizeScanner::Search(const char* data, qsizetype size) {
  for (qsizetype at = 0; at < size; ++at) {
    const char c = data[at];
    const bool opens = (c == '"' || c == '\'') && RecentEndsWith("href=");
    Remember(data + at, 1);
    if (opens) {
      state_ = State::kValue;
      quote_ = c;
      dropped_ = false;
      value_.resize(0);
      return at + 1;
    }
  }
  return size;
}

qsizetype ListingSizeScanner::ReadValue(const char* data, qsizetype size) {
  const void* found = std::memchr(data, quote_, size_t(size));
  const qsizetype end =
      found == nullptr ? size : static_cast<const char*>(found) - data;
  if (!dropped_ && value_.size() + end > kMaxValueBytes) {
    dropped_ = true;
    value_.clear();
  }
  if (!dropped_) value_.append(data, end);
  if (found == nullptr) {
    Remember(data, size);
    return size;
  }
  Remember(data, end + 1);
  // A dropped value's entry is still read through, so that links inside
  // it start no entry of their own.
  state_ = State::kEntry;
  entry_.resize(0);
  return end + 1;
}

qsizetype ListingSizeScanner::ReadEntry(const char* data, qsizetype size) {
  for (qsizetype at = 0; at < size; ++at) {
    entry_.append(data[at]);
    Remember(data + at, 1);
    if (EntryEnds() || entry_.size() >= kMaxListingEntryBytes) {
      EndEntry();
      return at + 1;
    }
  }
  return size;
}

void ListingSizeScanner::EndEntry() {
  state_ = State::kSearch;
  if (dropped_) return;
  if (const auto size = ListedSize(entry_)) {
    consumer_(DecodeLinkValue(value_), *size);
  }
}

bool ListingSizeScanner::EntryEnds() const {
  return std::any_of(
      std::begin(kEntryEnds), std::end(kEntryEnds),
      [this](QByteArrayView end) { return RecentEndsWith(end); });
}

void ListingSizeScanner::Remember(const char* data, qsizetype size) {
  const qsizetype keep = qsizetype(sizeof(recent_));
  const qsizetype take = std::min(size, keep);
  std::memmove(recent_, recent_ + take, size_t(keep - take));
  for (qsizetype k = 0; k < take; ++k) {
    recent_[keep - take + k] = Lower(data[size - take + k]);
  }
}

bool ListingSizeScanner::RecentEndsWith(QByteArrayView letters) const {
  const qsizetype keep = qsizetype(sizeof(recent_));
  return std::memcmp(recent_ + keep - letters.size(), letters.data(),
                     size_t(letters.size())) == 0;
}

void ScanListingSizes(const QByteArray& page,
                      const ListingSizeScanner::Consumer& consumer) {
  ListingSizeScanner scanner(consumer);
  scanner.Feed(page);
  scanner.Finish();
}

}  // namespace trawlbox
