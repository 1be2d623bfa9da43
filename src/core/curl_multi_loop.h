#ifndef TRAWLBOX_CORE_CURL_MULTI_LOOP_H_
#define TRAWLBOX_CORE_CURL_MULTI_LOOP_H_

// Only the HTTP engine includes this: it is the one part of the program that
// knows libcurl.

#include <curl/curl.h>

#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace trawlbox {

// Drives one libcurl multi handle from the Qt event loop of the calling
// thread: a QSocketNotifier per direction of each socket libcurl watches and
// one single-shot QTimer for the timeout it asks for. Nothing runs on a
// thread of its own and nothing polls.
//
// libcurl must not be re-entered from its own callbacks, so every call into
// it goes through Enter(), and whatever needs libcurl while a call is on the
// stack waits in Later() until the outermost call has returned. Notifiers
// are brought in line with what libcurl asked for only then, too: a notifier
// is never deleted while libcurl might still report on its socket.
class CurlMultiLoop {
 public:
  // A transfer is complete. Runs outside any libcurl call, so it may remove
  // and add handles.
  using DoneHandler = std::function<void(CURL* easy, CURLcode result)>;

  explicit CurlMultiLoop(DoneHandler on_done);
  CurlMultiLoop(const CurlMultiLoop&) = delete;
  CurlMultiLoop& operator=(const CurlMultiLoop&) = delete;
  // The owner removes its easy handles first.
  ~CurlMultiLoop();

  // These call into libcurl: not while busy().
  CURLMcode Add(CURL* easy);
  void Remove(CURL* easy);
  CURLcode Unpause(CURL* easy);

  // A libcurl call is on the stack: its callbacks are running.
  bool busy() const { return depth_ > 0; }
  // Runs `work` once the outermost libcurl call has returned.
  void Later(std::function<void()> work);

  qint64 wakeups() const { return wakeups_; }

 private:
  struct Watch {
    std::unique_ptr<QSocketNotifier> read;
    std::unique_ptr<QSocketNotifier> write;
  };

  template <typename Call>
  auto Enter(Call call) {
    ++depth_;
    const auto result = call();
    --depth_;
    if (depth_ == 0) Settle();
    return result;
  }
  void Settle();
  void SyncNotifiers();
  void Fit(std::unique_ptr<QSocketNotifier>& notifier, curl_socket_t socket,
           QSocketNotifier::Type type, bool wanted);
  void OnActivity(QSocketNotifier* notifier, curl_socket_t socket);
  void OnTimeout();

  static int OnSocket(CURL* easy, curl_socket_t socket, int what, void* loop,
                      void* socket_data);
  static int OnTimer(CURLM* multi, long timeout_ms, void* loop);

  DoneHandler on_done_;
  CURLM* multi_ = nullptr;
  QTimer timer_;
  // What libcurl last asked for per socket (CURL_POLL_IN/OUT/INOUT), and the
  // sockets it dropped since the notifiers were last brought in line: a
  // dropped number may already stand for a new socket.
  std::map<curl_socket_t, int> wanted_;
  std::set<curl_socket_t> dropped_;
  bool notifiers_stale_ = false;
  std::map<curl_socket_t, Watch> watches_;
  int depth_ = 0;
  bool settling_ = false;
  bool timeout_missed_ = false;
  std::vector<std::function<void()>> later_;
  qint64 wakeups_ = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_CURL_MULTI_LOOP_H_
