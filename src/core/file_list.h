#ifndef TRAWLBOX_CORE_FILE_LIST_H_
#define TRAWLBOX_CORE_FILE_LIST_H_

#include <QString>

namespace trawlbox {

// The rows that link the crawler to the downloader: an address and a tick
// each, appended ticked, never edited, removed only all at once. Positions
// are 1-based.
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
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_FILE_LIST_H_
