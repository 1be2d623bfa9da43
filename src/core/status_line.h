#ifndef TRAWLBOX_CORE_STATUS_LINE_H_
#define TRAWLBOX_CORE_STATUS_LINE_H_

#include <QString>

namespace trawlbox {

// The downloader's status line: a caption over a bar with a maximum and a
// position.
class StatusLine {
 public:
  virtual ~StatusLine() = default;
  virtual void SetCaption(const QString& caption) = 0;
  virtual QString Caption() const = 0;
  virtual void SetMaximum(qint64 maximum) = 0;
  virtual qint64 Maximum() const = 0;
  virtual void SetPosition(qint64 position) = 0;
  virtual qint64 Position() const = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_STATUS_LINE_H_
