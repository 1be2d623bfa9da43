#include "net/retry.h"

#include "core/event_pump.h"

namespace trawlbox {

std::optional<int> RetryCounter::NextDelayMs(const Answer& answer,
                                             qint64 kept) {
  if (kept >= most_kept_ + kProgressBytes) {
    most_kept_ = kept;
    retries_made_ = 0;
  }
  if (!Verdict(answer).transient() || retries_made_ >= policy_.retries) {
    return std::nullopt;
  }
  ++retries_made_;
  const QByteArray retry_after =
      answer.ok() ? answer.value().retry_after : QByteArray();
  return policy_.DelayMs(retries_made_, retry_after);
}

Answer WithRetries(const RetryPolicy& policy, EventPump& pump,
                   const std::function<bool()>& stop,
                   const std::function<Answer(bool first)>& attempt,
                   const std::function<qint64()>& kept) {
  RetryCounter counter(policy);
  for (bool first = true;; first = false) {
    Answer answer = attempt(first);
    const std::optional<int> delay =
        counter.NextDelayMs(answer, kept ? kept() : 0);
    if (!delay) return answer;
    if (!pump.Sleep(*delay, stop)) return Status::Failure(kStoppedByUser);
  }
}

}  // namespace trawlbox
