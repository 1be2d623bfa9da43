#ifndef TRAWLBOX_NET_ENGINE_TRANSFER_H_
#define TRAWLBOX_NET_ENGINE_TRANSFER_H_

// The HTTP engine's own side of a transfer; only the engine includes this.

#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>

#include "net/curl_multi_loop.h"
#include "net/http_engine.h"
#include "net/http_transfer.h"
#include "net/response.h"

namespace trawlbox {

// One request: where it stands, what came of it, and its libcurl side while
// it runs.
class HttpEngine::Transfer : public HttpTransfer {
 public:
  // Where the request stands. Each answer it reads goes from kWaiting
  // through kHead; a redirect or a 1xx answer starts another.
  enum class Phase {
    kWaiting,    // for an answer's first line
    kHead,       // reading an answer's head
    kBody,       // a final head is in; its body goes to the sink
    kPaused,     // the sink could not take a piece yet
    kAborted,    // the sink refused a piece; libcurl is ending the transfer
    kRedirect,   // a redirect's head is in; its body is drained
    kErrorBody,  // an error's head, or a 304's, is in; its body is drained
    kFinished,
  };

  Transfer(Sink sink, bool head_only, RequestOptions options)
      : sink(std::move(sink)),
        head_only(head_only),
        options(std::move(options)) {}
  ~Transfer() override { Cancel(); }

  bool head_in() const override {
    return phase != Phase::kWaiting && phase != Phase::kHead &&
           phase != Phase::kRedirect;
  }
  const Response& head() const override { return response; }
  bool finished() const override { return phase == Phase::kFinished; }
  const Answer& answer() const override {
    Q_ASSERT(finished());
    return outcome;
  }
  qint64 body_bytes() const override { return body_bytes_taken; }
  bool paused() const override { return phase == Phase::kPaused; }
  void set_on_finished(std::function<void()> callback) override {
    on_finished = std::move(callback);
  }
  void Resume() override;
  void Cancel() override;

  // The transfer a request's callbacks report to; null once it ended.
  static Transfer* OfRequest(void* request) {
    return static_cast<Transfer*>(static_cast<CurlRequest*>(request)->owner);
  }
  static Transfer* OfEasy(CURL* easy) {
    CurlRequest* request = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &request);
    return request == nullptr ? nullptr
                              : static_cast<Transfer*>(request->owner);
  }

  bool head_complete() const {
    return phase != Phase::kWaiting && phase != Phase::kHead;
  }
  // Waits for the answer at `address`, where a redirect led, as for a first
  // one; only the count of redirects goes on.
  void StartOver(const QString& address) {
    ++redirects;
    response = Response{.final_address = address};
    phase = Phase::kWaiting;
    discarded = 0;
    request->error[0] = '\0';
  }

  // The engine while the transfer runs: it knows the transfer as long as
  // the transfer knows it.
  HttpEngine::Impl* engine = nullptr;
  const Sink sink;
  const bool head_only;
  const RequestOptions options;
  // The libcurl side, while the request runs.
  std::unique_ptr<CurlRequest> request;

  Phase phase = Phase::kWaiting;
  Response response;  // of the answer being read; the final one once in
  Answer outcome = Status::Failure(QStringLiteral("Not finished"));
  qint64 discarded = 0;
  qint64 body_bytes_taken = 0;
  int redirects = 0;
  std::function<void()> on_finished;

  int stall_ms = HttpEngine::kStallTimeoutMs;
  QElapsedTimer since_data;
  QTimer stall_timer;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_ENGINE_TRANSFER_H_
