#ifndef TRAWLBOX_NET_RETRY_H_
#define TRAWLBOX_NET_RETRY_H_

#include <functional>
#include <optional>

#include "net/response.h"
#include "net/retry_policy.h"

namespace trawlbox {

class EventPump;

// Counts the tries of one request and says whether another is to be made,
// as a RetryPolicy says. The retries limit the failed tries in a row that
// made no progress: a try that leaves at least kProgressBytes more of the
// body for the next one to go on from than any try before it starts the
// count again. A server that sends a few bytes and cuts thus cannot hold a
// download for ever, and a long one over a bad link still ends.
class RetryCounter {
 public:
  static constexpr qint64 kProgressBytes = 1024 * 1024;

  explicit RetryCounter(const RetryPolicy& policy) : policy_(policy) {}

  // After a try that came to `answer` and left `kept` bytes of the body for
  // the next try to go on from: the wait before the next try, or none when
  // the answer stands (it is the body asked for, a failure no try changes,
  // or the retries are spent).
  std::optional<int> NextDelayMs(const Answer& answer, qint64 kept = 0);

 private:
  const RetryPolicy policy_;
  int retries_made_ = 0;
  qint64 most_kept_ = 0;
};

// Makes tries of one request until its answer stands, letting events run
// through the waits between them. `attempt(first)` makes one try and waits
// for its end; `first` is true for the try already under way when this is
// called. `kept`, when given, tells after a try how many bytes of the body
// the next one goes on from. When `stop` answers true during a wait, the
// answer is the failure "Stopped by user".
Answer WithRetries(const RetryPolicy& policy, EventPump& pump,
                   const std::function<bool()>& stop,
                   const std::function<Answer(bool first)>& attempt,
                   const std::function<qint64()>& kept = nullptr);

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_RETRY_H_
