#include "net/http_client.h"

#include <QFile>

#include "core/event_pump.h"

namespace trawlbox {

FetchResult ResultOf(const HttpTransfer& transfer) {
  FetchResult result(transfer.failure());
  result.status = transfer.head().status;
  result.content_type = transfer.head().content_type;
  result.retry_after = transfer.head().retry_after;
  result.transient = transfer.transient();
  return result;
}

bool HeadSettled(const HttpTransfer& transfer) {
  return transfer.finished() ||
         (transfer.head_in() && transfer.head().status < 400);
}

FetchResult HttpClient::WithRetries(const std::function<FetchResult()>& attempt,
                                    const std::function<bool()>& stop) {
  const RetryPolicy& policy = engine_.retry_policy();
  for (int retry = 1;; ++retry) {
    FetchResult result = attempt();
    if (!result.transient || retry > policy.retries) return result;
    if (!pump_.Sleep(policy.DelayMs(retry, result.retry_after), stop)) {
      return {kStoppedByUser};
    }
  }
}

FetchResult HttpClient::FetchToFile(const QString& address, QFile& file,
                                    const std::function<bool()>& stop) {
  const std::unique_ptr<PendingFetch> fetch = StartFetch(address, file);
  return CompleteFetch(*fetch, stop);
}

std::unique_ptr<PendingFetch> HttpClient::StartFetch(
    const QString& address, QFile& file, std::function<void()> first_done) {
  auto fetch = std::make_unique<PendingFetch>(address, file);
  Begin(*fetch);
  if (fetch->transfer_ && first_done) {
    fetch->transfer_->set_on_finished(std::move(first_done));
  }
  return fetch;
}

FetchResult HttpClient::CompleteFetch(PendingFetch& fetch,
                                      const std::function<bool()>& stop) {
  bool first = true;
  return WithRetries(
      [&] {
        if (!first) Begin(fetch);
        first = false;
        return Wait(fetch, stop);
      },
      stop);
}

void HttpClient::Begin(PendingFetch& fetch) {
  QFile& file = fetch.file_;
  fetch.transfer_.reset();
  fetch.failure_.clear();
  if (!file.resize(0) || !file.seek(0)) {
    fetch.failure_ = file.errorString();
    return;
  }
  // The fetch owns the transfer, so it outlives every call of the sink.
  fetch.transfer_ =
      engine_.Get(fetch.address_, [&fetch](const char* data, qsizetype size) {
        if (fetch.file_.write(data, size) == size) {
          return HttpTransfer::Take::kTaken;
        }
        fetch.transfer_->SetAbortReason(fetch.file_.errorString());
        return HttpTransfer::Take::kAbort;
      });
}

FetchResult HttpClient::Wait(PendingFetch& fetch,
                             const std::function<bool()>& stop) {
  if (!fetch.transfer_) return {fetch.failure_};
  HttpTransfer& transfer = *fetch.transfer_;
  pump_.WaitUntil([&] { return stop() || transfer.finished(); });
  if (!transfer.finished()) return {kStoppedByUser};
  // The page is read back at once: what QFile holds back goes out now.
  if (transfer.failure().isEmpty() && !fetch.file_.flush()) {
    return {fetch.file_.errorString()};
  }
  return ResultOf(transfer);
}

FetchResult PendingFetch::result() const {
  if (!transfer_) return {failure_};
  return ResultOf(*transfer_);
}

FetchResult HttpClient::FetchHead(const QString& address,
                                  const std::function<bool()>& stop) {
  const std::unique_ptr<HttpTransfer> first = StartHead(address);
  return CompleteHead(*first, address, stop);
}

FetchResult HttpClient::CompleteHead(HttpTransfer& first,
                                     const QString& address,
                                     const std::function<bool()>& stop) {
  bool first_try = true;
  std::unique_ptr<HttpTransfer> again;
  return WithRetries(
      [&]() -> FetchResult {
        if (!first_try) again = engine_.Head(address);
        HttpTransfer& transfer = first_try ? first : *again;
        first_try = false;
        pump_.WaitUntil([&] { return stop() || transfer.finished(); });
        if (!transfer.finished()) return {kStoppedByUser};
        return ResultOf(transfer);
      },
      stop);
}

}  // namespace trawlbox
