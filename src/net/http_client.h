#ifndef TRAWLBOX_NET_HTTP_CLIENT_H_
#define TRAWLBOX_NET_HTTP_CLIENT_H_

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

#include "net/http_engine.h"

class QFile;

namespace trawlbox {

class EventPump;

// A request's outcome: empty `failure` on success, otherwise why it failed
// in words a user can act on ("HTTP 404 Not Found", "Connection refused").
struct FetchResult {
  FetchResult() = default;
  FetchResult(QString why) : failure(std::move(why)) {}  // NOLINT: implicit

  QString failure;
  int status = 0;           // of the final response; 0 when none came
  QByteArray content_type;  // of the final response, as sent
  QByteArray retry_after;   // of the final response, as sent
  bool transient = false;   // another try may succeed
  bool ok() const { return failure.isEmpty(); }
};

// A page fetch into a file that runs while the caller does other work;
// HttpClient::CompleteFetch waits for it.
class PendingFetch {
 public:
  PendingFetch(const QString& address, QFile& file)
      : address_(address), file_(file) {}
  bool finished() const { return !transfer_ || transfer_->finished(); }
  const QString& address() const { return address_; }
  // What its try came to so far; a failure only once finished().
  FetchResult result() const;

 private:
  friend class HttpClient;

  QString address_;
  QFile& file_;
  std::unique_ptr<HttpTransfer> transfer_;
  QString failure_;  // of the file, before any request
};

// The whole-request fetches a long command makes: it waits for them by
// letting window events run, and a stop request ends them at once. A
// transient failure is tried again as the engine's retry policy says; only
// the last try's outcome is returned.
class HttpClient {
 public:
  HttpClient(HttpEngine& engine, EventPump& pump)
      : engine_(engine), pump_(pump) {}

  // GETs `address` into `file` (open for writing, emptied first), writing
  // each piece as it arrives.
  FetchResult FetchToFile(const QString& address, QFile& file,
                          const std::function<bool()>& stop);
  // The same in two steps: the first try starts now and runs on its own;
  // CompleteFetch waits for it and makes the retries. `first_done`, when
  // given, runs when the first try ends by itself (see
  // HttpTransfer::set_on_finished).
  std::unique_ptr<PendingFetch> StartFetch(
      const QString& address, QFile& file,
      std::function<void()> first_done = {});
  FetchResult CompleteFetch(PendingFetch& fetch,
                            const std::function<bool()>& stop);
  // Asks for `address`'s head alone: its status and type. No body is sent,
  // so the connection is kept for the next request.
  FetchResult FetchHead(const QString& address,
                        const std::function<bool()>& stop);
  // The same with its first try started ahead (StartHead()).
  std::unique_ptr<HttpTransfer> StartHead(const QString& address) {
    return engine_.Head(address);
  }
  FetchResult CompleteHead(HttpTransfer& first, const QString& address,
                           const std::function<bool()>& stop);

  void set_stall_timeout_ms(int ms) { engine_.set_stall_timeout_ms(ms); }

 private:
  FetchResult WithRetries(const std::function<FetchResult()>& attempt,
                          const std::function<bool()>& stop);
  void Begin(PendingFetch& fetch);
  FetchResult Wait(PendingFetch& fetch, const std::function<bool()>& stop);

  HttpEngine& engine_;
  EventPump& pump_;
};

// What `transfer` came to: its failure with the final status and type.
FetchResult ResultOf(const HttpTransfer& transfer);

// Whether the final head is in, and known to be a good one or a failure: an
// error status counts only once the transfer has ended with its failure.
bool HeadSettled(const HttpTransfer& transfer);

// The text a stop request leaves as a fetch's failure.
inline const QString kStoppedByUser = QStringLiteral("Stopped by user");

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_HTTP_CLIENT_H_
