#ifndef TRAWLBOX_CORE_LIST_FILE_H_
#define TRAWLBOX_CORE_LIST_FILE_H_

#include <QByteArray>
#include <QString>
#include <vector>

#include "core/row_size.h"
#include "core/status.h"

namespace trawlbox {

// One row of a saved list.
struct SavedRow {
  QString address;
  bool ticked = true;
  RowSize size = {};
  QString failure = {};  // the red row's reason; empty for none
  friend bool operator==(const SavedRow&, const SavedRow&) = default;
};

// A list as it is saved: the start address it was listed from and its rows
// in list order.
struct SavedList {
  QString start;
  std::vector<SavedRow> rows;
  friend bool operator==(const SavedList&, const SavedList&) = default;
};

// The text of a saved list: UTF-8, tab-separated, rows in list order, each
// line ended by a line feed.
//   # start http://alice@host/folder/
//   # the folder needs a password; type it in the Web Site field before ...
//   ticked<TAB>bytes<TAB>exact<TAB>address<TAB>failure
//   1<TAB>100352<TAB>0<TAB>http://alice@host/folder/a.iso<TAB>
// The "# start" line names the start address and is left out when there is
// none; the password line follows it only when the start has a password.
// `bytes` is empty while the size is unknown, and `exact` then too; it is
// 1 for a size known to the byte and 0 for a rounded one. Passwords are
// left out of every address and reason (the user stays). A tab, line feed
// or carriage return inside an address is written as %09, %0A or %0D, and
// inside a reason as a blank, so that every row stays one line of five
// fields. Rows hold absolute http or https addresses, each once.
QByteArray ListFileText(const SavedList& list);

// The start address as a saved list records it: blanks around it trimmed,
// its password left out (the user stays), typed with its scheme or not.
QString StartWithoutPassword(const QString& start);

// Reads a saved list. A UTF-8 byte-order mark and CR LF line ends are
// fine, and so are empty lines anywhere and "#" comment lines before the
// header; of those, the last "# start " line gives the start address and
// the others are passed over. Anything else fails with a text naming the
// first bad line by its number in the file, as in
// `line 3: the tick is neither 0 nor 1`: a missing or different header, a
// "#" line after the header, a line of other than five fields, a tick
// other than 0 or 1, a size that is not a whole number of bytes or does not
// fit 64 bits, an exactness other than 0 or 1 or given without a size, an
// address that is not an http or https address or that repeats an earlier
// row's, text that is not UTF-8, a line of over kMaxListLineBytes.
Result<SavedList> ReadListFile(const QByteArray& bytes);

// The longest line a saved list may hold, in bytes, its line end not
// counted.
inline constexpr qsizetype kMaxListLineBytes = 64 * 1024;

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_LIST_FILE_H_
