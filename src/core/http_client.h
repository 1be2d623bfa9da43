#ifndef TRAWLBOX_CORE_HTTP_CLIENT_H_
#define TRAWLBOX_CORE_HTTP_CLIENT_H_

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QString>
#include <functional>
#include <memory>

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
  bool ok() const { return failure.isEmpty(); }
};

// Deleting a reply ourselves (never deleteLater) keeps a long command that
// lets events run from inside a handler from piling up finished replies.
struct ReplyDeleter {
  void operator()(QNetworkReply* reply) const;
};
using ReplyPtr = std::unique_ptr<QNetworkReply, ReplyDeleter>;

// The program's one HTTP client. Redirects are followed (at most 10, never
// from https to http), certificates are verified, connections are kept
// alive, and a transfer that receives nothing for the stall time fails.
class HttpClient {
 public:
  static constexpr int kStallTimeoutMs = 30'000;

  explicit HttpClient(EventPump& pump);

  // Starts a GET for `address`.
  ReplyPtr Get(const QString& address);

  // Blocks on window events until the reply has data to read or is
  // finished. Returns false when it finished without data.
  bool WaitForData(QNetworkReply& reply);
  // Whether the headers of the final response are in: a redirect that is
  // being followed does not count.
  static bool FinalHeadersIn(const QNetworkReply& reply);

  // The failure a reply stands for so far: an HTTP status of 400 or more
  // once the headers are in, or the network error once it has finished.
  static FetchResult FailureOf(const QNetworkReply& reply);

  // GETs `address` into `file` (open for writing, emptied first), streaming
  // the body as it arrives. Ends at once when `stop` answers true.
  FetchResult FetchToFile(const QString& address, QFile& file,
                          const std::function<bool()>& stop);
  // GETs `address` only as far as the final response's headers: its status
  // and type.
  FetchResult FetchHead(const QString& address,
                        const std::function<bool()>& stop);

  void set_stall_timeout_ms(int ms) { stall_timeout_ms_ = ms; }
  EventPump& pump() { return pump_; }

 private:
  EventPump& pump_;
  QNetworkAccessManager manager_;
  int stall_timeout_ms_ = kStallTimeoutMs;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_HTTP_CLIENT_H_
