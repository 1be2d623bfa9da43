#ifndef TRAWLBOX_CORE_ERROR_REPORTER_H_
#define TRAWLBOX_CORE_ERROR_REPORTER_H_

#include <QString>

namespace trawlbox {

// Where error reports go: a box in the window, a record in tests. The
// crawler and the downloader know no more of the window than this.
class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  virtual void ReportError(const QString& report) = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_ERROR_REPORTER_H_
