#ifndef TRAWLBOX_NET_HTTP_ENGINE_H_
#define TRAWLBOX_NET_HTTP_ENGINE_H_

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

#include "net/retry_policy.h"

namespace trawlbox {

// The final response's status line and the headers the caller needs, as
// sent.
struct HttpHead {
  int status = 0;             // of the final response (after redirects)
  QByteArray reason;          // "Not Found"
  QByteArray content_type;    // raw header value, empty when absent
  QByteArray content_length;  // raw header value as sent, empty when absent
  QByteArray retry_after;     // raw header value, empty when absent
};

class HttpEngine;

// One GET. The caller owns it; the engine feeds it from the event loop.
class HttpTransfer {
 public:
  enum class Take { kTaken, kPause, kAbort };
  // Gets each body piece as it arrives. Called from inside the event loop's
  // socket handling: it must not let events run, show boxes, touch the
  // engine or end its own transfer (answer kAbort instead).
  // kPause: the piece was NOT taken; the transfer pauses and the same bytes
  // come again after Resume(). kAbort: the transfer fails with the reason
  // given to SetAbortReason(), or "Aborted".
  using Sink = std::function<Take(const char* data, qsizetype size)>;

  // The most a sink is handed at once.
  static constexpr qsizetype kMaxPieceBytes = 256 * 1024;

  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;
  // Cancels when still running and frees everything at once.
  ~HttpTransfer();

  // The final response's head has arrived (or the transfer finished).
  bool head_in() const;
  const HttpHead& head() const;
  bool finished() const;
  // Empty while running and on success.
  const QString& failure() const;
  // Whether the failure may pass, so the request is worth another try: a
  // refused, reset or early-closed connection, a head or body cut short, a
  // stall, or the status 408, 429, 500, 502, 503 or 504. Never a
  // certificate, a refused redirect or what the program refused itself.
  bool transient() const;
  // Bytes the sink has taken.
  qint64 body_bytes() const;
  // The address the redirects led to; the requested one until then.
  const QString& final_address() const;
  // The sink answered kPause and Resume() has not been called since.
  bool paused() const;

  // For a sink that is about to answer kAbort.
  void SetAbortReason(const QString& reason);
  // Runs once when the transfer ends by itself, not when its owner cancels
  // it or the engine goes; outside any libcurl call. It may start other
  // transfers, but must not let events run or end this one.
  void set_on_finished(std::function<void()> on_finished);
  // After the sink answered kPause.
  void Resume();
  // Ends at once with the failure "Cancelled"; finished() is true afterwards.
  void Cancel();

 private:
  friend class HttpEngine;
  struct Job;

  explicit HttpTransfer(std::unique_ptr<Job> job);

  std::unique_ptr<Job> job_;
};

// The program's one HTTP client: every transfer runs on the calling thread,
// driven by its Qt event loop. Redirects are followed (at most 10, http and
// https only, never from https to http), certificates are verified, bodies
// arrive as the server sent them, connections are kept alive and a transfer
// that receives nothing for the stall time fails.
class HttpEngine {
 public:
  static constexpr int kStallTimeoutMs = 30'000;
  static constexpr int kMaxRedirects = 10;

  HttpEngine();
  HttpEngine(const HttpEngine&) = delete;
  HttpEngine& operator=(const HttpEngine&) = delete;
  // Transfers still running end as cancelled; they stay readable.
  ~HttpEngine();

  // Starts a GET for an absolute address as a link gave it: what a URL may
  // not hold is percent-encoded on the way out (EncodeAddress), escapes
  // already there are kept. The caller waits for it by
  // letting Qt events run (QCoreApplication::processEvents with
  // QEventLoop::WaitForMoreEvents in a loop until head_in() or finished()),
  // so a wait never spins a CPU core.
  std::unique_ptr<HttpTransfer> Get(const QString& address,
                                    HttpTransfer::Sink sink);
  // Asks for the head alone (a HEAD request): the transfer is finished once
  // the final head is in, and the connection stays open for the next one.
  std::unique_ptr<HttpTransfer> Head(const QString& address);

  // For transfers started afterwards.
  void set_stall_timeout_ms(int ms);
  // How the engine's users try again after a transient failure; the engine
  // itself makes one try per request.
  const RetryPolicy& retry_policy() const;
  void set_retry_policy(const RetryPolicy& policy);
  // How many requests its users keep in flight at once, and so the most
  // connections open to one host: requests beyond that wait for one.
  static constexpr int kDefaultConnections = 6;
  static constexpr int kMaxConnections = 16;
  int connections() const;
  void set_connections(int count);
  // Trusts the certificates in this file instead of the system store.
  void set_ca_file(const QString& path);

  // How often a socket or timer woke the engine; lets a test check that a
  // wait sleeps.
  qint64 wakeups() const;

 private:
  friend class HttpTransfer;
  class Impl;

  std::unique_ptr<Impl> impl_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_HTTP_ENGINE_H_
