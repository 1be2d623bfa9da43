#ifndef TRAWLBOX_CORE_FILE_LIST_H_
#define TRAWLBOX_CORE_FILE_LIST_H_

#include <QString>

#include "core/row_size.h"

namespace trawlbox {

// Whether a row names a folder (its page is stored as index.htm): folder
// rows carry no size.
inline bool IsFolderRow(const QString& text) {
  return text.endsWith(QLatin1Char('/'));
}

// The rows that link the crawler to the downloader: an address and a tick
// each, appended ticked, never edited, removed only all at once, with the
// size of the row's file as far as it is known. Positions are 1-based.
class FileList {
 public:
  virtual ~FileList() = default;

  virtual void Clear() = 0;
  // Appends a ticked row and brings it into view.
  virtual void Add(const QString& text) = 0;
  // Whether some row's text equals `text` exactly (case-sensitive).
  virtual bool IsListed(const QString& text) const = 0;
  virtual qsizetype Count() const = 0;
  virtual QString Text(qsizetype position) const = 0;
  virtual bool Ticked(qsizetype position) const = 0;
  virtual void SetTicked(qsizetype position, bool ticked) = 0;
  // Marks a row whose page or file could not be fetched, with the reason.
  // Neither the text nor the tick changes.
  virtual void MarkFailed(qsizetype position, const QString& reason) = 0;
  virtual QString FailureOf(qsizetype position) const = 0;
  // The position of the row whose text equals `text` exactly; 0 when no row
  // has it.
  virtual qsizetype PositionOf(const QString& text) const = 0;
  // What is known of the size of a row's file.
  virtual RowSize SizeOf(qsizetype position) const = 0;
  // Records `size` for a row unless the row knows it better already
  // (ImprovesOn); a folder row keeps none.
  virtual void SetSize(qsizetype position, const RowSize& size) = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_FILE_LIST_H_
