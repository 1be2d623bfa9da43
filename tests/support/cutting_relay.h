#ifndef TRAWLBOX_TESTS_SUPPORT_CUTTING_RELAY_H_
#define TRAWLBOX_TESTS_SUPPORT_CUTTING_RELAY_H_

#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

namespace trawlbox {

// Passes connections on 127.0.0.1 through to a server's port, byte for byte
// both ways, and loses each of the first `cut_connections` connections, the
// way a broken link does, once the server has sent `cut_after` bytes down
// it: whatever the connection carried then (a TLS session, many HTTP/2
// streams) breaks off. Later connections pass whole. It runs on its own
// thread with its own event loop.
class CuttingRelay {
 public:
  CuttingRelay(int server_port, qint64 cut_after, int cut_connections) {
    std::atomic<int> port{0};
    thread_ = std::thread([&, server_port, cut_after, cut_connections] {
      QEventLoop loop;
      QTcpServer listener;
      listener.listen(QHostAddress::LocalHost);
      int connections = 0;
      QObject::connect(&listener, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* down = listener.nextPendingConnection()) {
          const bool doomed = ++connections <= cut_connections;
          auto* up = new QTcpSocket(down);
          auto sent = std::make_shared<qint64>(0);
          QObject::connect(down, &QTcpSocket::readyRead, up,
                           [down, up] { up->write(down->readAll()); });
          QObject::connect(up, &QTcpSocket::readyRead, down, [=, this] {
            QByteArray bytes = up->readAll();
            if (down->state() != QAbstractSocket::ConnectedState) return;
            if (doomed && *sent + bytes.size() >= cut_after) {
              down->write(bytes.left(cut_after - *sent));
              down->flush();
              down->abort();
              ++cuts_;
              return;
            }
            *sent += bytes.size();
            down->write(bytes);
          });
          QObject::connect(up, &QTcpSocket::disconnected, down,
                           [down] { down->disconnectFromHost(); });
          QObject::connect(down, &QTcpSocket::disconnected, down,
                           &QObject::deleteLater);
          up->connectToHost(QHostAddress::LocalHost, server_port);
        }
      });
      QTimer stop_check;
      QObject::connect(&stop_check, &QTimer::timeout, [&] {
        if (stop_) loop.quit();
      });
      stop_check.start(20);
      port = listener.serverPort();
      loop.exec();
      // Sockets still open go with the listener, their parent.
      for (QTcpSocket* open : listener.findChildren<QTcpSocket*>()) {
        open->abort();
      }
    });
    while (port == 0) std::this_thread::yield();
    port_ = port;
  }
  ~CuttingRelay() {
    stop_ = true;
    thread_.join();
  }

  int port() const { return port_; }
  // How many connections it has lost so far.
  int cuts() const { return cuts_; }

 private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> cuts_{0};
  int port_ = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_CUTTING_RELAY_H_
