#ifndef TRAWLBOX_CORE_ERROR_TRAP_H_
#define TRAWLBOX_CORE_ERROR_TRAP_H_

#include <QString>
#include <exception>
#include <type_traits>
#include <utility>

#include "core/error_reporter.h"
#include "core/status.h"

namespace trawlbox {

// The address that every error report asks the user to write to.
inline const QString kSupportEmail = QStringLiteral("support@marlwick.example");

// The text of the error report for a failure with `description` at `label`
// of the procedure named by `tag`.
QString ComposeErrorReport(const QString& description, const QString& tag,
                           int label);

// What a failing test of a conditional does next.
enum class OnFailure {
  kRunBody,     // a conditional block: its body runs as if the test passed
  kSkipAction,  // a one-statement conditional: its action is passed over
};

// What ErrorTrap is built on: the trap of one procedure, by its tag, with
// its line labels as plain numbers. Use ErrorTrap, which names them.
class TrapCore {
 public:
  TrapCore(ErrorReporter& reporter, QString tag)
      : reporter_(reporter), tag_(std::move(tag)) {}
  TrapCore(const TrapCore&) = delete;
  TrapCore& operator=(const TrapCore&) = delete;

  template <typename Statement>
  bool Do(int label, Statement&& statement) {
    label_ = label;
    try {
      if constexpr (std::is_same_v<std::invoke_result_t<Statement>, Status>) {
        const Status done = std::forward<Statement>(statement)();
        if (done.ok()) return true;
        Report(label, done.failure());
        return false;
      } else {
        std::forward<Statement>(statement)();
        return true;
      }
    } catch (const std::exception& failure) {
      Report(failure);
      return false;
    }
  }

  template <typename Test>
  bool If(int label, Test&& test, OnFailure on_failure) {
    label_ = label;
    try {
      return static_cast<bool>(std::forward<Test>(test)());
    } catch (const std::exception& failure) {
      Report(failure);
      return on_failure == OnFailure::kRunBody;
    }
  }

  void Report(int label, const QString& text);

 private:
  void Report(const std::exception& failure);

  ErrorReporter& reporter_;
  QString tag_;
  int label_ = 0;
};

// The error trap of one procedure: statements run under line labels, a
// failing one is reported ("Application Error") and the procedure resumes
// with the next statement. A statement fails by answering a failed Status,
// or by throwing: an AppError from a statement on the window's list, or any
// other std::exception; anything else (ShutdownRequested) passes through
// untouched.
//
// `Procedure` names what a report names: its `kTag` and its `Label` enum,
// whose values are the line numbers users quote, as in
//   struct ClearListProcedure {
//     static inline const QString kTag = ...;
//     enum class Label { kClear = 100 };
//   };
template <typename Procedure>
class ErrorTrap {
 public:
  using Label = typename Procedure::Label;

  explicit ErrorTrap(ErrorReporter& reporter)
      : core_(reporter, Procedure::kTag) {}

  // Runs one statement, which answers nothing or a Status; false when it
  // failed (and was reported).
  template <typename Statement>
  bool Do(Label label, Statement&& statement) {
    return core_.Do(static_cast<int>(label),
                    std::forward<Statement>(statement));
  }

  // Evaluates the test of a conditional; a failing test is reported and
  // answered as `on_failure` says.
  template <typename Test>
  bool If(Label label, Test&& test, OnFailure on_failure) {
    return core_.If(static_cast<int>(label), std::forward<Test>(test),
                    on_failure);
  }

  // Reports a failure that was not thrown: `text` at `label`.
  void Report(Label label, const QString& text) {
    core_.Report(static_cast<int>(label), text);
  }

 private:
  TrapCore core_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_ERROR_TRAP_H_
