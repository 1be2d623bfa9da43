#include "core/http_client.h"

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
  return WithRetries([&] { return FetchToFileOnce(address, file, stop); },
                     stop);
}

FetchResult HttpClient::FetchToFileOnce(const QString& address, QFile& file,
                                        const std::function<bool()>& stop) {
  if (!file.resize(0) || !file.seek(0)) return {file.errorString()};
  std::unique_ptr<HttpTransfer> transfer;
  transfer = engine_.Get(address, [&](const char* data, qsizetype size) {
    if (file.write(data, size) == size) return HttpTransfer::Take::kTaken;
    transfer->SetAbortReason(file.errorString());
    return HttpTransfer::Take::kAbort;
  });
  pump_.WaitUntil([&] { return stop() || transfer->finished(); });
  if (!transfer->finished()) return {kStoppedByUser};
  // The page is read back at once: what QFile holds back goes out now.
  if (transfer->failure().isEmpty() && !file.flush()) {
    return {file.errorString()};
  }
  return ResultOf(*transfer);
}

FetchResult HttpClient::FetchHead(const QString& address,
                                  const std::function<bool()>& stop) {
  return WithRetries(
      [&]() -> FetchResult {
        auto transfer = engine_.Head(address);
        pump_.WaitUntil([&] { return stop() || transfer->finished(); });
        if (!transfer->finished()) return {kStoppedByUser};
        return ResultOf(*transfer);
      },
      stop);
}

}  // namespace trawlbox
