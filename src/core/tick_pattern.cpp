#include "core/tick_pattern.h"

#include <QString>
#include <QVarLengthArray>
#include <QtNumeric>

namespace trawlbox {
namespace {

// Room for the decoded name or path of an ordinary row, on the stack.
using FoldedText = QVarLengthArray<char32_t, 256>;

// A character of a glob as typed, and whether it was percent-encoded (and
// so stands for itself, never for a wildcard).
struct GlobChar {
  char32_t c = 0;
  bool encoded = false;
};
using GlobText = QVarLengthArray<GlobChar, 64>;

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The byte "%XX" at `i` stands for, or -1 when there is none.
int PercentByte(QStringView text, qsizetype i) {
  if (i + 2 >= text.size() || text[i] != u'%') return -1;
  const int high = HexValue(text[i + 1].unicode());
  const int low = HexValue(text[i + 2].unicode());
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// The character the percent-encoded UTF-8 sequence at `i` stands for, and
// the code units it takes; 0 units when there is no valid sequence there.
qsizetype DecodeAt(QStringView text, qsizetype i, char32_t* c) {
  const int lead = PercentByte(text, i);
  if (lead < 0) return 0;
  int length = 1;
  char32_t value = lead;
  char32_t least = 0;
  if (lead >= 0xF0 && lead <= 0xF7) {
    length = 4;
    value = lead & 0x07;
    least = 0x10000;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    least = 0x800;
  } else if (lead >= 0xC0 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
    least = 0x80;
  } else if (lead >= 0x80) {
    return 0;
  }
  for (int k = 1; k < length; ++k) {
    const int next = PercentByte(text, i + 3 * k);
    if (next < 0 || (next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < least || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *c = value;
  return 3 * length;
}

// Calls take(character, encoded) for each character of `text`, decoding
// percent-encoded UTF-8. A "%" that starts no valid sequence stands for
// itself.
template <typename Take>
void Decode(QStringView text, Take take) {
  const qsizetype size = text.size();
  for (qsizetype i = 0; i < size;) {
    const char16_t unit = text[i].unicode();
    char32_t c = 0;
    if (unit == u'%') {
      if (const qsizetype used = DecodeAt(text, i, &c)) {
        take(c, true);
        i += used;
        continue;
      }
    } else if (QChar::isHighSurrogate(unit) && i + 1 < size &&
               text[i + 1].isLowSurrogate()) {
      take(QChar::surrogateToUcs4(unit, text[i + 1].unicode()), false);
      i += 2;
      continue;
    }
    take(unit, false);
    ++i;
  }
}

char32_t Fold(char32_t c) {
  if (c < 0x80) return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
  return QChar::toCaseFolded(c);
}

void DecodeFolded(QStringView text, FoldedText* out) {
  out->clear();
  Decode(text, [out](char32_t c, bool) { out->append(Fold(c)); });
}

QStringView WithoutLeadingSlash(QStringView text) {
  return text.startsWith(u'/') ? text.sliced(1) : text;
}

// Where the path of `address` starts: at the "/" after its host, at its end
// when it has no path, at its start when it names no host.
qsizetype PathStart(QStringView address) {
  const qsizetype scheme_end = address.indexOf(u"://");
  if (scheme_end < 0) return 0;
  const qsizetype slash = address.indexOf(u'/', scheme_end + 3);
  return slash < 0 ? address.size() : slash;
}

// The whole bytes of digits "0.ddd" of `unit`, and whether there are no
// more; exact in integers: each step divides by ten what the next digit
// brings in, and a remainder anywhere leaves a remainder at the end.
qint64 FractionBytes(QStringView digits, qint64 unit, bool* whole) {
  qint64 bytes = 0;
  for (qsizetype i = digits.size() - 1; i >= 0; --i) {
    const qint64 value = (digits[i].unicode() - u'0') * unit + bytes;
    bytes = value / 10;
    if (value % 10 != 0) *whole = false;
  }
  return bytes;
}

// Bytes in one `unit`; 0 for a unit this program does not know.
qint64 UnitBytes(QStringView unit) {
  static constexpr struct {
    QStringView name;
    qint64 bytes;
  } kUnits[] = {
      {u"", 1},
      {u"B", 1},
      {u"kB", 1000},
      {u"MB", 1000 * 1000},
      {u"GB", Q_INT64_C(1000) * 1000 * 1000},
      {u"TB", Q_INT64_C(1000) * 1000 * 1000 * 1000},
      {u"KiB", Q_INT64_C(1) << 10},
      {u"MiB", Q_INT64_C(1) << 20},
      {u"GiB", Q_INT64_C(1) << 30},
      {u"TiB", Q_INT64_C(1) << 40},
  };
  for (const auto& known : kUnits) {
    if (unit.compare(known.name, Qt::CaseInsensitive) == 0) return known.bytes;
  }
  return 0;
}

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Reads the class starting at chars[*i], a "[", as pairs of range ends,
// leaving *i on its "]"; false when it is never closed.
bool ReadClass(const GlobText& chars, qsizetype* i, std::vector<char32_t>* ends,
               bool* negated) {
  const auto raw = [&](qsizetype k, char32_t c) {
    return k < chars.size() && !chars[k].encoded && chars[k].c == c;
  };
  qsizetype k = *i + 1;
  *negated = raw(k, U'!') || raw(k, U'^');
  if (*negated) ++k;
  const qsizetype first = k;
  for (; k < chars.size(); ++k) {
    if (raw(k, U']') && k > first) {
      *i = k;
      return true;
    }
    const char32_t low = chars[k].c;
    char32_t high = low;
    if (raw(k + 1, U'-') && k + 2 < chars.size() && !raw(k + 2, U']')) {
      high = chars[k + 2].c;
      k += 2;
    }
    ends->push_back(low);
    ends->push_back(high);
  }
  return false;
}

}  // namespace

QStringView RowName(QStringView address) {
  QStringView path = address.sliced(PathStart(address));
  if (path.endsWith(u'/')) path.chop(1);
  return path.sliced(path.lastIndexOf(u'/') + 1);
}

QStringView RowPath(QStringView address, QStringView start_address) {
  QStringView start = start_address;
  if (start.endsWith(u'/')) start.chop(1);
  if (!start.isEmpty() && address.startsWith(start, Qt::CaseInsensitive) &&
      (address.size() == start.size() || address[start.size()] == u'/')) {
    return WithoutLeadingSlash(address.sliced(start.size()));
  }
  return WithoutLeadingSlash(address.sliced(PathStart(address)));
}

Result<TickPattern> TickPattern::Parse(QStringView text) {
  TickPattern pattern;
  const qsizetype size = text.size();
  for (qsizetype i = 0; i < size;) {
    if (text[i].isSpace()) {
      ++i;
      continue;
    }
    const qsizetype start = i;
    while (i < size && !text[i].isSpace()) ++i;
    const QStringView term = text.sliced(start, i - start);
    if (!pattern.AddTerm(term)) {
      return Status::Failure(QStringLiteral("Cannot read \"%1\"").arg(term));
    }
  }
  return pattern;
}

bool TickPattern::AddTerm(QStringView term) {
  if (term.startsWith(u'>') || term.startsWith(u'<')) {
    SizeBound bound;
    if (!ReadBound(term, &bound)) return false;
    bounds_.push_back(bound);
    return true;
  }
  Glob glob;
  if (!ReadGlob(term, &glob)) return false;
  globs_.push_back(std::move(glob));
  return true;
}

bool TickPattern::ReadGlob(QStringView term, Glob* glob) {
  GlobText chars;
  Decode(term, [&](char32_t c, bool encoded) { chars.append({c, encoded}); });
  for (const GlobChar& one : chars) glob->on_path |= one.c == U'/';
  qsizetype i = glob->on_path && chars.front().c == U'/' ? 1 : 0;
  for (; i < chars.size(); ++i) {
    GlobItem item;
    const GlobChar one = chars[i];
    if (!one.encoded && one.c == U'*') {
      item.kind = GlobItem::Kind::kAnyRun;
    } else if (!one.encoded && one.c == U'?') {
      item.kind = GlobItem::Kind::kAnyChar;
    } else if (!one.encoded && one.c == U'[') {
      std::vector<char32_t> ends;
      if (!ReadClass(chars, &i, &ends, &item.negated)) return false;
      item.kind = GlobItem::Kind::kClass;
      item.first_range = glob->ranges.size();
      item.range_count = ends.size() / 2;
      for (size_t k = 0; k < ends.size(); k += 2) {
        glob->ranges.push_back({ends[k], ends[k + 1]});
      }
    } else {
      item.c = Fold(one.c);
    }
    glob->items.push_back(item);
  }
  glob->ends_with_slash = !glob->items.empty() &&
                          glob->items.back().kind == GlobItem::Kind::kChar &&
                          glob->items.back().c == U'/';
  return true;
}

bool TickPattern::ReadBound(QStringView term, SizeBound* bound) {
  bound->above = term.startsWith(u'>');
  qsizetype i = 1;
  bound->or_equal = term.sliced(1).startsWith(u'=');
  if (bound->or_equal) ++i;
  qint64 whole = 0;
  const qsizetype whole_start = i;
  for (; i < term.size() && IsDigit(term[i]); ++i) {
    if (qMulOverflow(whole, qint64{10}, &whole) ||
        qAddOverflow(whole, qint64{term[i].unicode() - u'0'}, &whole)) {
      return false;
    }
  }
  bool any_digit = i > whole_start;
  QStringView fraction;
  if (i < term.size() && term[i] == u'.') {
    const qsizetype fraction_start = ++i;
    while (i < term.size() && IsDigit(term[i])) ++i;
    fraction = term.sliced(fraction_start, i - fraction_start);
    any_digit |= !fraction.isEmpty();
  }
  const qint64 unit = UnitBytes(term.sliced(i));
  if (!any_digit || unit == 0) return false;
  bool whole_bytes = true;
  const qint64 part = FractionBytes(fraction, unit, &whole_bytes);
  if (qMulOverflow(whole, unit, &bound->limit) ||
      qAddOverflow(bound->limit, part, &bound->limit)) {
    return false;
  }
  // Sizes are whole bytes: with a part of a byte left over, "< 1.5" means
  // "<= 1" and ">= 1.5" means "> 1", while ">" and "<=" stay as they are.
  if (!whole_bytes && bound->above == bound->or_equal) {
    bound->or_equal = !bound->or_equal;
  }
  return true;
}

bool TickPattern::Matches(QStringView address, QStringView start_address,
                          const RowSize& size) const {
  for (const SizeBound& bound : bounds_) {
    if (!Admits(bound, size)) return false;
  }
  if (globs_.empty()) return true;
  FoldedText name;
  FoldedText path;
  bool name_read = false;
  bool path_read = false;
  for (const Glob& glob : globs_) {
    if (!glob.on_path) {
      if (!name_read) DecodeFolded(RowName(address), &name);
      name_read = true;
      if (GlobMatches(glob, name.data(), name.size())) return true;
      continue;
    }
    if (!path_read) DecodeFolded(RowPath(address, start_address), &path);
    path_read = true;
    if (GlobMatches(glob, path.data(), path.size())) return true;
    // "docs/a" names the folder row "docs/a/" as well.
    if (!glob.ends_with_slash && !path.isEmpty() && path.back() == U'/' &&
        GlobMatches(glob, path.data(), path.size() - 1)) {
      return true;
    }
  }
  return false;
}

// Backtracks to the last "*" only: since "*" takes any run, letting an
// earlier one take more never helps once a later one has been reached.
bool TickPattern::GlobMatches(const Glob& glob, const char32_t* text,
                              qsizetype size) {
  const std::vector<GlobItem>& items = glob.items;
  const qsizetype count = items.size();
  qsizetype p = 0;
  qsizetype t = 0;
  qsizetype star = -1;
  qsizetype star_text = 0;
  while (t < size) {
    if (p < count && items[p].kind == GlobItem::Kind::kAnyRun) {
      star = p++;
      star_text = t;
      continue;
    }
    if (p < count) {
      const GlobItem& item = items[p];
      const bool fits =
          item.kind == GlobItem::Kind::kAnyChar ||
          (item.kind == GlobItem::Kind::kChar ? item.c == text[t]
                                              : ClassHas(glob, item, text[t]));
      if (fits) {
        ++p;
        ++t;
        continue;
      }
    }
    if (star < 0) return false;
    p = star + 1;
    t = ++star_text;
  }
  while (p < count && items[p].kind == GlobItem::Kind::kAnyRun) ++p;
  return p == count;
}

// `c` is folded, mostly to lower case, while the class holds characters as
// typed: "[A-Z]" takes "q" by its upper case.
bool TickPattern::ClassHas(const Glob& glob, const GlobItem& item, char32_t c) {
  const char32_t upper = QChar::toUpper(c);
  bool found = false;
  for (qsizetype k = 0; k < item.range_count && !found; ++k) {
    const CharRange& range = glob.ranges[item.first_range + k];
    found = (c >= range.low && c <= range.high) ||
            (upper >= range.low && upper <= range.high);
  }
  return found != item.negated;
}

bool TickPattern::Admits(const SizeBound& bound, const RowSize& size) {
  if (size.unknown()) return false;
  if (bound.above) {
    return bound.or_equal ? size.bytes >= bound.limit
                          : size.bytes > bound.limit;
  }
  return bound.or_equal ? size.bytes <= bound.limit : size.bytes < bound.limit;
}

}  // namespace trawlbox
