#include "net/retry_policy.h"

#include <curl/curl.h>

#include <algorithm>

namespace trawlbox {
namespace {

// What a Retry-After asks to wait, in milliseconds; -1 when it says
// nothing that can be read.
qint64 RetryAfterMs(const QByteArray& value, const QDateTime& now) {
  const QByteArray text = value.trimmed();
  if (text.isEmpty()) return -1;
  bool number = false;
  const qint64 seconds = text.toLongLong(&number);
  if (number)
    return seconds < 0 ? -1 : std::min<qint64>(seconds, 1 << 20) * 1000;
  // "Wed, 21 Oct 2015 07:28:00 GMT", or any form HTTP has known, read as
  // libcurl reads the dates of its own headers.
  const time_t date = curl_getdate(text.constData(), nullptr);
  if (date == -1) return -1;
  return std::max<qint64>(
      0, now.msecsTo(QDateTime::fromSecsSinceEpoch(date, Qt::UTC)));
}

}  // namespace

int RetryPolicy::DelayMs(int retry, const QByteArray& retry_after,
                         const QDateTime& now) const {
  const int doublings = std::clamp(retry - 1, 0, 16);
  const qint64 backoff =
      std::min<qint64>(qint64(first_delay_ms) << doublings, kLongestBackoffMs);
  const qint64 asked =
      std::min<qint64>(RetryAfterMs(retry_after, now), kLongestRetryAfterMs);
  return static_cast<int>(std::max(backoff, asked));
}

}  // namespace trawlbox
