#ifndef TRAWLBOX_NET_HTTP_ENGINE_H_
#define TRAWLBOX_NET_HTTP_ENGINE_H_

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>

#include "net/http_transfer.h"

namespace trawlbox {

// What the request run asks of HTTP: requests, nothing else. The program's
// one is HttpEngine; tests fake it.
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
  // The streams over one HTTP/2 connection until set_connections says.
  static constexpr int kDefaultStreams = 96;

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
  // For transfers started afterwards.
  void set_stall_timeout_ms(int ms);
  // The most connections libcurl opens to one host, and the streams it runs
  // over them (RunSettings); requests beyond them wait in libcurl.
  void set_connections(int count, int streams);
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
