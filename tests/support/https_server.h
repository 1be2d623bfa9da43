#ifndef TRAWLBOX_TESTS_SUPPORT_HTTPS_SERVER_H_
#define TRAWLBOX_TESTS_SUPPORT_HTTPS_SERVER_H_

// Needs CPPHTTPLIB_OPENSSL_SUPPORT and OpenSSL linked into the test.
#include <httplib.h>

#include <QString>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace trawlbox {

// An https server on 127.0.0.1 in a thread of its own, with the certificate
// and key a test gives it. Paths nobody handles answer 404.
class HttpsServer {
 public:
  HttpsServer(const std::string& certificate_file, const std::string& key_file)
      : server_(certificate_file.c_str(), key_file.c_str()) {
    server_.Get(R"(.*)", [this](const httplib::Request& request,
                                httplib::Response& response) {
      httplib::Server::Handler handler;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = handlers_.find(request.path);
        if (found != handlers_.end()) handler = found->second;
      }
      if (handler) return handler(request, response);
      response.status = 404;
      response.set_content("Not here", "text/plain");
    });
    if (!server_.is_valid()) return;
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~HttpsServer() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
  }

  // False when the certificate or key could not be loaded.
  bool valid() const { return server_.is_valid(); }

  void Handle(const std::string& path, httplib::Server::Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handlers_[path] = std::move(handler);
  }

  // "https://HOST:PORT" followed by `path`.
  QString Url(const QString& path = QString(),
              const QString& host = QStringLiteral("127.0.0.1")) const {
    return QStringLiteral("https://%1:%2").arg(host).arg(port_) + path;
  }

 private:
  httplib::SSLServer server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex mutex_;
  std::map<std::string, httplib::Server::Handler> handlers_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_HTTPS_SERVER_H_
