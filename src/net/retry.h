#ifndef TRAWLBOX_NET_RETRY_H_
#define TRAWLBOX_NET_RETRY_H_

#include <functional>
#include <optional>

#include "net/response.h"
#include "net/retry_policy.h"

namespace trawlbox {

class EventPump;

// Counts the tries of one request and says whether another is to be made,
// as a RetryPolicy says.
class RetryCounter {
 public:
  explicit RetryCounter(const RetryPolicy& policy) : policy_(policy) {}

  // After a try that came to `answer`: the wait before the next try, or
  // none when the answer stands (it is the body asked for, a failure no
  // try changes, or the retries are spent).
  std::optional<int> NextDelayMs(const Answer& answer);

 private:
  const RetryPolicy policy_;
  int retries_made_ = 0;
};

// Makes tries of one request until its answer stands, letting events run
// through the waits between them. `attempt(first)` makes one try and waits
// for its end; `first` is true for the try already under way when this is
// called. When `stop` answers true during a wait, the answer is the failure
// "Stopped by user".
Answer WithRetries(const RetryPolicy& policy, EventPump& pump,
                   const std::function<bool()>& stop,
                   const std::function<Answer(bool first)>& attempt);

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_RETRY_H_
