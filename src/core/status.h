#ifndef TRAWLBOX_CORE_STATUS_H_
#define TRAWLBOX_CORE_STATUS_H_

#include <QString>
#include <optional>
#include <utility>

#include "core/app_error.h"

namespace trawlbox {

// What a fallible step below the commands came to: done, or why not, in the
// words a report shows, and whether another try may pass. The command that
// took the step decides whether and under which label it is reported.
class [[nodiscard]] Status {
 public:
  Status() = default;  // done
  static Status Failure(QString why) { return Status(std::move(why), false); }
  static Status Failure(ErrorKind kind) {
    return Status(DescriptionOf(kind), false);
  }
  // A failure that another try may not meet: a connection that broke, a
  // server that is busy for now.
  static Status Transient(QString why) { return Status(std::move(why), true); }
  // A server's answer that says no: its status code (400 and above) and the
  // words shown for it.
  static Status Refused(int code, QString why, bool transient) {
    Status refused(std::move(why), transient);
    refused.code_ = code;
    return refused;
  }

  bool ok() const { return !failure_; }
  bool transient() const { return transient_; }
  // Empty when ok().
  QString failure() const { return failure_.value_or(QString()); }
  // The status code of the answer that said no; 0 when no answer came, and
  // when ok().
  int code() const { return code_; }

 private:
  Status(QString why, bool transient)
      : failure_(std::move(why)), transient_(transient) {}

  std::optional<QString> failure_;
  bool transient_ = false;
  int code_ = 0;
};

// A value, or why there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}            // NOLINT: implicit
  Result(Status failure) : failure_(std::move(failure)) {  // NOLINT: implicit
    Q_ASSERT(!failure_.ok());
  }

  bool ok() const { return value_.has_value(); }
  const T& value() const {
    Q_ASSERT(ok());
    return *value_;
  }
  // Moves the value out, for one that cannot be copied (a handle on a file
  // being written). Only when ok(); the Result is spent afterwards.
  T Take() {
    Q_ASSERT(ok());
    return std::move(*value_);
  }
  const Status& status() const { return failure_; }

 private:
  std::optional<T> value_;
  Status failure_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_STATUS_H_
