#ifndef TRAWLBOX_TESTS_SUPPORT_FLAKY_SERVER_H_
#define TRAWLBOX_TESTS_SUPPORT_FLAKY_SERVER_H_

#include <QByteArray>
#include <QTcpSocket>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "support/raw_server.h"

namespace trawlbox {

// Where an answer breaks off: the connection closes before its first byte,
// inside its head, or halfway through its body.
enum class Cut { kNone, kBeforeAnyByte, kInsideHead, kInsideBody };

// Serves a few files, one request a connection, and cuts the answers that
// its plan names: plan(path, n) tells how the n-th request for `path`
// (counting from 1) ends. A path it does not serve is a 404.
class FlakyServer {
 public:
  using Plan = std::function<Cut(const QByteArray& path, int n)>;

  FlakyServer(std::map<QByteArray, QByteArray> files, Plan plan)
      : files_(std::move(files)),
        plan_(std::move(plan)),
        server_([this](QTcpSocket& socket, const QByteArray& request) {
          Answer(socket, request);
        }) {}

  QString Url(const QString& path) const { return server_.Url(path); }
  int Requests(const QByteArray& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_[path];
  }

 private:
  void Answer(QTcpSocket& socket, const QByteArray& request) {
    // "GET /a/b.txt HTTP/1.1"
    const QByteArray path = request.split(' ').value(1);
    int n = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      n = ++requests_[path];
    }
    const auto file = files_.find(path);
    const QByteArray body = file == files_.end()
                                ? QByteArray("<html>Not here</html>")
                                : file->second;
    const QByteArray head =
        (file == files_.end() ? "HTTP/1.1 404 Not Found\r\n"
                              : "HTTP/1.1 200 OK\r\n") +
        QByteArray(path.endsWith('/') || file == files_.end()
                       ? "Content-Type: text/html\r\n"
                       : "Content-Type: application/octet-stream\r\n") +
        "Content-Length: " + QByteArray::number(body.size()) +
        "\r\nConnection: close\r\n\r\n";
    switch (plan_(path, n)) {
      case Cut::kNone:
        socket.write(head + body);
        break;
      case Cut::kBeforeAnyByte:
        break;
      case Cut::kInsideHead:
        socket.write(head.left(head.indexOf("Content-Length") + 9));
        break;
      case Cut::kInsideBody:
        socket.write(head + body.left(body.size() / 2));
        break;
    }
  }

  const std::map<QByteArray, QByteArray> files_;
  const Plan plan_;
  std::mutex mutex_;
  std::map<QByteArray, int> requests_;
  RawServer server_;  // last: its thread stops before the rest goes
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_FLAKY_SERVER_H_
