#ifndef TRAWLBOX_NET_RETRY_H_
#define TRAWLBOX_NET_RETRY_H_

#include <QByteArray>
#include <optional>

#include "core/status.h"
#include "net/retry_policy.h"

namespace trawlbox {

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

  // After a try that came to `outcome`, whose answer carried `retry_after`
  // (empty when none), and left `kept` bytes of the body for the next try
  // to go on from: the wait before the next try, or none when the outcome
  // stands (done, a failure no try changes, or the retries are spent).
  std::optional<int> NextDelayMs(const Status& outcome,
                                 const QByteArray& retry_after,
                                 qint64 kept = 0);

 private:
  const RetryPolicy policy_;
  int retries_made_ = 0;
  qint64 most_kept_ = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_RETRY_H_
