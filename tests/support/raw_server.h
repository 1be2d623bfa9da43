#ifndef TRAWLBOX_TESTS_SUPPORT_RAW_SERVER_H_
#define TRAWLBOX_TESTS_SUPPORT_RAW_SERVER_H_

#include <QTcpServer>
#include <QTcpSocket>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace trawlbox {

// A server on 127.0.0.1 that answers every request with bytes a test writes
// itself, headers included, so it can lie about its body. It runs on its own
// thread with its own event loop.
class RawServer {
 public:
  // Writes the answer to one request; the connection closes afterwards.
  using Answer = std::function<void(QTcpSocket& socket)>;
  // The same, knowing the request's head.
  using RequestAnswer =
      std::function<void(QTcpSocket& socket, const QByteArray& request)>;

  explicit RawServer(Answer answer)
      : RawServer(
            [answer = std::move(answer)](
                QTcpSocket& socket, const QByteArray&) { answer(socket); }) {}
  explicit RawServer(RequestAnswer answer) : answer_(std::move(answer)) {
    std::atomic<int> port{0};
    thread_ = std::thread([this, &port] {
      QTcpServer server;
      server.listen(QHostAddress::LocalHost);
      port = server.serverPort();
      while (!stop_) {
        // Several may have come at once: each waits its turn in the list.
        if (!server.hasPendingConnections() &&
            !server.waitForNewConnection(50)) {
          continue;
        }
        std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
        // The request's headers end with an empty line.
        QByteArray request;
        while (!request.contains("\r\n\r\n") && !stop_ &&
               socket->waitForReadyRead(1000)) {
          request += socket->readAll();
        }
        answer_(*socket, request);
        socket->flush();
        while (socket->bytesToWrite() > 0 &&
               socket->waitForBytesWritten(1000)) {
        }
        socket->disconnectFromHost();
      }
    });
    while (port == 0) std::this_thread::yield();
    port_ = port;
  }
  ~RawServer() {
    stop_ = true;
    thread_.join();
  }

  QString Url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_) + path;
  }
  bool stopping() const { return stop_; }

 private:
  RequestAnswer answer_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  int port_ = 0;
};

// A response head with the given Content-Length text (none when empty).
inline QByteArray Head(const QByteArray& length) {
  QByteArray head =
      "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
      "Connection: close\r\n";
  if (!length.isEmpty()) head += "Content-Length: " + length + "\r\n";
  return head + "\r\n";
}

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_RAW_SERVER_H_
