#ifndef TRAWLBOX_NET_HTTP_ENGINE_H_
#define TRAWLBOX_NET_HTTP_ENGINE_H_

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>

#include "net/response.h"
#include "net/retry_policy.h"

namespace trawlbox {

// One request under way. Its owner holds it; dropping it ends the request.
class HttpTransfer {
 public:
  enum class Take { kTaken, kPause, kAbort };
  // Gets each body piece as it arrives. Called from inside the event loop's
  // socket handling: it must not let events run, show boxes, touch the
  // engine or end its own transfer (answer kAbort instead).
  // kPause: the piece was NOT taken; the transfer pauses and the same bytes
  // come again after Resume(). kAbort: the transfer fails as "Aborted"; the
  // sink knows why.
  using Sink = std::function<Take(const char* data, qsizetype size)>;

  // The most a sink is handed at once.
  static constexpr qsizetype kMaxPieceBytes = 256 * 1024;

  virtual ~HttpTransfer() = default;

  // The final answer's head has arrived (or the transfer finished).
  virtual bool head_in() const = 0;
  // The final answer's head so far; whole once head_in().
  virtual const Response& head() const = 0;
  virtual bool finished() const = 0;
  // What the request came to; only once finished().
  virtual const Answer& answer() const = 0;
  // Bytes the sink has taken.
  virtual qint64 body_bytes() const = 0;
  // The sink answered kPause and Resume() has not been called since.
  virtual bool paused() const = 0;

  // Runs once when the transfer ends by itself, not when its owner cancels
  // it or the engine goes; outside any libcurl call. It must not let events
  // run or end this transfer.
  virtual void set_on_finished(std::function<void()> on_finished) = 0;
  // After the sink answered kPause.
  virtual void Resume() = 0;
  // Ends at once as "Cancelled"; finished() is true afterwards.
  virtual void Cancel() = 0;
};

// What a GET asks beyond its address. Left as it is, nothing: the request
// is the plain one.
struct RequestOptions {
  // The body from this byte on ("Range: bytes=N-"); 0 asks for all of it.
  qint64 from_byte = 0;
  // With a range, "If-Range": the validator of the copy the range goes on
  // with (a strong ETag, or a Last-Modified as the server wrote it), so that
  // a file that changed meanwhile comes whole instead.
  QByteArray if_range = {};
  // "If-Modified-Since": the time of the copy at hand; a 304 then says it
  // is still the file.
  std::optional<QDateTime> if_modified_since = std::nullopt;
  // "If-None-Match": the ETag of the copy at hand.
  QByteArray if_none_match = {};

  // Whether a 304 may answer the request.
  bool conditional() const {
    return if_modified_since.has_value() || !if_none_match.isEmpty();
  }
};

// What the floors above ask of HTTP: requests, and how many may run at once
// and how often they are tried. The program's one is HttpEngine; tests fake
// it.
class HttpService {
 public:
  virtual ~HttpService() = default;

  // Starts a GET for an absolute address as a link gave it: what a URL may
  // not hold is percent-encoded on the way out (EncodeAddress), escapes
  // already there are kept. The caller waits for it by letting events run.
  std::unique_ptr<HttpTransfer> Get(const QString& address,
                                    HttpTransfer::Sink sink) {
    return Get(address, RequestOptions(), std::move(sink));
  }
  // The same, asking also what `options` say. An answer to a conditional
  // request may be a 304, which has no body.
  virtual std::unique_ptr<HttpTransfer> Get(const QString& address,
                                            const RequestOptions& options,
                                            HttpTransfer::Sink sink) = 0;
  // Asks for the head alone (a HEAD request): the transfer is finished once
  // the final head is in, and the connection stays open for the next one.
  virtual std::unique_ptr<HttpTransfer> Head(const QString& address) = 0;
  // How many connections its users may keep open to one host.
  virtual int connections() const = 0;
  // How many requests its users keep in flight at once: the connections,
  // or once a server has answered over HTTP/2, as many streams over them as
  // it lets run at once. One connection is always one request at a time.
  virtual int capacity() const = 0;
  // How its users try again after a transient failure; each request is one
  // try.
  virtual const RetryPolicy& retry_policy() const = 0;
};

// The program's one HTTP client: every transfer runs on the calling thread,
// driven by its Qt event loop. Redirects are followed (at most 10, http and
// https only, never from https to http), certificates are verified, bodies
// arrive as the server sent them, connections are kept alive and a transfer
// that receives nothing for the stall time fails. A conditional request may
// end in a 304, also when the server ignored If-Modified-Since and sent a
// file no newer than the time asked about (its body is then left unread).
class HttpEngine : public HttpService {
 public:
  static constexpr int kStallTimeoutMs = 30'000;
  static constexpr int kMaxRedirects = 10;
  static constexpr int kDefaultConnections = 6;
  static constexpr int kMaxConnections = 16;
  // The streams a request may share an HTTP/2 connection with, for each
  // of the connections the setting allows. Six connections make 96, under
  // the 100 streams Apache lets run on one connection (nginx: 128), so the
  // requests stay on one connection.
  static constexpr int kStreamsPerConnection = 16;

  HttpEngine();
  HttpEngine(const HttpEngine&) = delete;
  HttpEngine& operator=(const HttpEngine&) = delete;
  // Transfers still running end as cancelled; they stay readable.
  ~HttpEngine() override;

  using HttpService::Get;
  std::unique_ptr<HttpTransfer> Get(const QString& address,
                                    const RequestOptions& options,
                                    HttpTransfer::Sink sink) override;
  std::unique_ptr<HttpTransfer> Head(const QString& address) override;
  // Requests beyond the connections to one host wait for one.
  int connections() const override;
  int capacity() const override;
  const RetryPolicy& retry_policy() const override;

  // For transfers started afterwards.
  void set_stall_timeout_ms(int ms);
  void set_retry_policy(const RetryPolicy& policy);
  void set_connections(int count);
  // Trusts the certificates in this file instead of the system store.
  void set_ca_file(const QString& path);

  // How often a socket or timer woke the engine; lets a test check that a
  // wait sleeps.
  qint64 wakeups() const;

 private:
  class Impl;
  class Transfer;

  std::unique_ptr<Impl> impl_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_HTTP_ENGINE_H_
