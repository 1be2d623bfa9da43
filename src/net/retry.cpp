#include "net/retry.h"

namespace trawlbox {

std::optional<int> RetryCounter::NextDelayMs(const Status& outcome,
                                             const QByteArray& retry_after,
                                             qint64 kept) {
  if (kept >= most_kept_ + kProgressBytes) {
    most_kept_ = kept;
    retries_made_ = 0;
  }
  if (!outcome.transient() || retries_made_ >= policy_.retries) {
    return std::nullopt;
  }
  ++retries_made_;
  return policy_.DelayMs(retries_made_, retry_after);
}

}  // namespace trawlbox
