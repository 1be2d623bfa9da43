#ifndef TRAWLBOX_TESTS_SUPPORT_FAILURE_OF_H_
#define TRAWLBOX_TESTS_SUPPORT_FAILURE_OF_H_

#include <QString>
#include <functional>

#include "core/app_error.h"

namespace trawlbox {

// The description of the AppError that `action` throws, or "no error", so
// a test names the failure it expects in one comparison.
inline QString FailureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const AppError& error) {
    return error.description();
  }
  return QStringLiteral("no error");
}

// Whether `action` throws an `Exception`, for what is not an AppError
// (ShutdownRequested).
template <typename Exception>
bool Throws(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception&) {
    return true;
  }
  return false;
}

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_FAILURE_OF_H_
