#ifndef TRAWLBOX_NET_RETRY_POLICY_H_
#define TRAWLBOX_NET_RETRY_POLICY_H_

#include <QByteArray>
#include <QDateTime>

namespace trawlbox {

// How a request that failed on something that may pass (a failed Status
// marked transient) is tried again before the failure is reported: up to
// `retries` more times, after 0.5 s, 1 s, 2 s and so on (at most 8 s), or after
// what the server's Retry-After asks for when that is longer, up to 30 s.
struct RetryPolicy {
  static constexpr int kDefaultRetries = 3;
  static constexpr int kMaxRetries = 10;
  static constexpr int kLongestBackoffMs = 8'000;
  static constexpr int kLongestRetryAfterMs = 30'000;

  int retries = kDefaultRetries;
  int first_delay_ms = 500;

  // The wait before retry `retry` (1 for the first), after a failure whose
  // answer carried `retry_after` (seconds, or an HTTP date; empty when
  // none). `now` is when the answer came, for a date.
  int DelayMs(int retry, const QByteArray& retry_after,
              const QDateTime& now = QDateTime::currentDateTimeUtc()) const;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_RETRY_POLICY_H_
