#ifndef TRAWLBOX_TESTS_SUPPORT_TEST_SERVER_H_
#define TRAWLBOX_TESTS_SUPPORT_TEST_SERVER_H_

#include <httplib.h>

#include <QCoreApplication>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace trawlbox {

// An HTTP server on 127.0.0.1 in a thread of its own, serving the pages a
// test puts into it. Requests are counted per path.
class TestServer {
 public:
  struct Page {
    int status = 200;
    std::string body;
    std::string content_type = "text/html";
  };

  TestServer() {
    server_.Get(R"(.*)", [this](const httplib::Request& request,
                                httplib::Response& response) {
      httplib::Server::Handler handler;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++requests_[request.path];
        const auto found = handlers_.find(request.path);
        if (found != handlers_.end()) handler = found->second;
      }
      if (handler) return handler(request, response);
      std::lock_guard<std::mutex> lock(mutex_);
      const auto page = pages_.find(request.path);
      if (page == pages_.end()) {
        response.status = 404;
        response.set_content("<html>Not here</html>", "text/html");
        return;
      }
      response.status = page->second.status;
      response.set_content(page->second.body, page->second.content_type);
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~TestServer() {
    server_.stop();
    thread_.join();
  }

  void Serve(const std::string& path, const std::string& body, int status = 200,
             const std::string& type = "text/html") {
    std::lock_guard<std::mutex> lock(mutex_);
    pages_[path] = Page{status, body, type};
  }
  // Answers `path` with a handler of the test's own.
  void Handle(const std::string& path, httplib::Server::Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handlers_[path] = std::move(handler);
  }
  // Runs `action` on the main thread while the server answers the first
  // request for `path`: in the middle of a listing or a download.
  void DuringRequest(const std::string& path, std::function<void()> action) {
    auto once = std::make_shared<std::atomic<bool>>(true);
    server_.set_pre_routing_handler(
        [path, action, once](const httplib::Request& request,
                             httplib::Response&) {
          if (request.path == path && once->exchange(false)) {
            QMetaObject::invokeMethod(qApp, action, Qt::QueuedConnection);
            // Lets the main thread take the action before the answer.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
          return httplib::Server::HandlerResponse::Unhandled;
        });
  }
  int Requests(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_[path];
  }
  // For hooks of a test's own; set them before the first request.
  httplib::Server& server() { return server_; }

  // "http://127.0.0.1:PORT" (no trailing slash) followed by `path`.
  QString Url(const QString& path = QString()) const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_) + path;
  }
  QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex mutex_;
  std::map<std::string, Page> pages_;
  std::map<std::string, httplib::Server::Handler> handlers_;
  std::map<std::string, int> requests_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_TEST_SERVER_H_
