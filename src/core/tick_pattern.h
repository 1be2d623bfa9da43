#ifndef TRAWLBOX_CORE_TICK_PATTERN_H_
#define TRAWLBOX_CORE_TICK_PATTERN_H_

#include <QStringView>
#include <QtGlobal>
#include <vector>

#include "core/row_size.h"
#include "core/status.h"

namespace trawlbox {

// What the user types to tick or untick rows: terms separated by blanks,
// letter case disregarded.
//   *.iso  read?e  [!a-c]*  a glob on the row's file name
//   docs/*  /a*/x.txt       a glob holding "/": on the row's path below the
//                           start address, where "*" also crosses "/"
//   >100MB  <=1.5GiB        a bound on the row's known size
// A row matches when it matches any glob (or there is none) and every
// bound, so a pattern of no terms matches every row. Names, paths and globs
// are compared percent-decoded: "a%20b.iso" is "a b.iso".
class TickPattern {
 public:
  // The pattern `text` holds, or a failure naming the first term that
  // cannot be read: Cannot read ">10XB".
  static Result<TickPattern> Parse(QStringView text);

  // Whether the row listed as `address` under `start_address`, with `size`,
  // matches. Allocates nothing for addresses of ordinary length.
  bool Matches(QStringView address, QStringView start_address,
               const RowSize& size) const;

  // No terms: every row matches.
  bool empty() const { return globs_.empty() && bounds_.empty(); }

 private:
  // One step of a glob, over case-folded characters.
  struct GlobItem {
    enum class Kind : quint8 { kChar, kAnyChar, kAnyRun, kClass };
    Kind kind = Kind::kChar;
    bool negated = false;  // kClass
    char32_t c = 0;        // kChar, folded
    // kClass: the glob's ranges [first_range, first_range + range_count).
    qsizetype first_range = 0;
    qsizetype range_count = 0;
  };
  // Characters low..high as typed, unfolded.
  struct CharRange {
    char32_t low = 0;
    char32_t high = 0;
  };
  struct Glob {
    std::vector<GlobItem> items;
    std::vector<CharRange> ranges;
    bool on_path = false;
    bool ends_with_slash = false;
  };
  // bytes > limit, bytes >= limit, bytes < limit or bytes <= limit.
  struct SizeBound {
    bool above = false;
    bool or_equal = false;
    qint64 limit = 0;
  };

  bool AddTerm(QStringView term);
  static bool ReadGlob(QStringView term, Glob* glob);
  static bool ReadBound(QStringView term, SizeBound* bound);
  static bool GlobMatches(const Glob& glob, const char32_t* text,
                          qsizetype size);
  static bool ClassHas(const Glob& glob, const GlobItem& item, char32_t c);
  static bool Admits(const SizeBound& bound, const RowSize& size);

  std::vector<Glob> globs_;
  std::vector<SizeBound> bounds_;
};

// The row's file name, still percent-encoded: the last segment of the
// address's path; for a folder row "http://h/docs/", "docs". Empty for a
// host's root.
QStringView RowName(QStringView address);

// The row's path below the start address, still percent-encoded and without
// a leading "/": the address after `start_address` when it begins with it
// (letter case disregarded, a final "/" on either optional), else the
// address's path after its host. "http://h/docs/a.txt" under "http://h/" is
// "docs/a.txt".
QStringView RowPath(QStringView address, QStringView start_address);

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_TICK_PATTERN_H_
