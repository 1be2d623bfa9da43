#ifndef TRAWLBOX_CORE_ROW_SIZE_H_
#define TRAWLBOX_CORE_ROW_SIZE_H_

#include <QString>
#include <QtGlobal>

namespace trawlbox {

// How well the size of a row's file is known: not at all, as a listing
// page rounded it ("98K"), or to the byte (a length the server sent, or a
// listing that prints bytes).
enum class SizeKnown : quint8 { kUnknown, kApprox, kExact };

struct RowSize {
  qint64 bytes = -1;  // -1 while unknown
  SizeKnown known = SizeKnown::kUnknown;

  static RowSize Exact(qint64 bytes) { return {bytes, SizeKnown::kExact}; }
  static RowSize Approx(qint64 bytes) { return {bytes, SizeKnown::kApprox}; }
  bool unknown() const { return known == SizeKnown::kUnknown; }
  bool exact() const { return known == SizeKnown::kExact; }
  friend bool operator==(const RowSize&, const RowSize&) = default;
};

// Whether `incoming` may take the place of `current`: anything beats an
// unknown size, an exact one beats anything, and a rounded one never
// replaces one known to the byte.
bool ImprovesOn(const RowSize& incoming, const RowSize& current);

// A size as a person reads it, in powers of 1000: "999 B", "3.4 MB",
// "41.7 GB", "312 MB"; one decimal below 100 of a unit, none from 100 on.
// A rounded size is marked "~"; an unknown one is empty.
QString SizeText(const RowSize& size);
// The same for a number of bytes known to the byte.
QString BytesText(qint64 bytes);

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_ROW_SIZE_H_
