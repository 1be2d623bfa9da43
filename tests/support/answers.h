#ifndef TRAWLBOX_TESTS_SUPPORT_ANSWERS_H_
#define TRAWLBOX_TESTS_SUPPORT_ANSWERS_H_

#include <QString>

#include "net/http_engine.h"
#include "net/response.h"

namespace trawlbox {

// Why a request did not bring the body asked for, or the empty text when it
// did, so a test names the outcome it expects in one comparison.
inline QString FailureText(const Answer& answer) {
  const Answer judged = Judged(answer);
  return judged.ok() ? QString() : judged.status().failure();
}
inline QString FailureText(const HttpTransfer& transfer) {
  return FailureText(transfer.answer());
}

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_ANSWERS_H_
