#ifndef TRAWLBOX_NET_CURL_MULTI_LOOP_H_
#define TRAWLBOX_NET_CURL_MULTI_LOOP_H_

// Only the HTTP engine includes this: it is the one part of the program that
// knows libcurl.

#include <curl/curl.h>

#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/status.h"

namespace trawlbox {

// One easy handle and what its callbacks are pointed at. `owner` is what the
// callbacks report to; null once that is gone, while libcurl may still hold
// the handle. The handle is cleaned up with the object.
struct CurlRequest {
  CurlRequest() : easy(curl_easy_init()) {}
  ~CurlRequest() {
    if (easy != nullptr) curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
  }
  CurlRequest(const CurlRequest&) = delete;
  CurlRequest& operator=(const CurlRequest&) = delete;

  CURL* const easy;
  char error[CURL_ERROR_SIZE] = {};
  void* owner = nullptr;
  // The request's own header lines, when it has more than the engine's.
  curl_slist* headers = nullptr;
};

// Drives one libcurl multi handle from the Qt event loop of the calling
// thread: a QSocketNotifier per direction of each socket libcurl watches,
// and one single-shot QTimer for the timeout it asks for. Nothing runs on a
// thread of its own and nothing polls. A socket's watch is made when libcurl
// first asks for the socket and freed when it lets go of it, as curl's own
// event examples do; Qt lets a notifier go in the middle of its own signal.
//
// libcurl must not be re-entered from its own callbacks, so every call into
// it goes through Enter(). What is asked of the loop while a call is on the
// stack waits, in order, until the outermost call has returned.
//
// One pass of libcurl over a socket reads on while data is waiting, a
// hundred buffers at the most: on a fast link that is tens of MB, and the
// window's events would wait while all of it went to disk. So a pass hands
// on kMostBytesPerPass of bodies at the most; a transfer past them pauses
// and goes on at the next turn of the event loop. (The engine asks this of
// HTTP/1.1 transfers only.)
class CurlMultiLoop {
 public:
  static constexpr qint64 kMostBytesPerPass = 1024 * 1024;

  // A transfer is complete. Runs outside any libcurl call, so it may remove
  // and add handles.
  using DoneHandler = std::function<void(CURL* easy, CURLcode result)>;
  // libcurl refused what was asked for `easy`, or, with a null `easy`, can
  // no longer drive any transfer. Runs outside any libcurl call.
  using FaultHandler = std::function<void(CURL* easy, const Status& failure)>;

  CurlMultiLoop(DoneHandler on_done, FaultHandler on_fault);
  CurlMultiLoop(const CurlMultiLoop&) = delete;
  CurlMultiLoop& operator=(const CurlMultiLoop&) = delete;
  // Requests still waiting to be disposed of go first.
  ~CurlMultiLoop();

  // Each takes effect at once when no libcurl call is on the stack, else
  // once it has returned; always in the order asked.
  void Add(CURL* easy);
  void Remove(CURL* easy);
  // Lets a paused transfer go on: libcurl hands the paused piece to its
  // write callback again from in here.
  void Resume(CURL* easy);
  // Takes the request out of the multi handle and frees it.
  void Dispose(std::unique_ptr<CurlRequest> request);
  // The most connections libcurl keeps open to one host, and in all, and
  // the most streams it runs over one HTTP/2 connection.
  void SetMaxHostConnections(long count, long streams);
  // From a write callback: counts `bytes` of `easy`'s body against the
  // pass under way. False when the pass has handed on its share: the
  // callback then returns CURL_WRITEFUNC_PAUSE, and the loop lets the
  // transfer go on at the next turn of the event loop.
  bool Admit(CURL* easy, qint64 bytes);

  // A libcurl call is on the stack: its callbacks are running.
  bool busy() const { return depth_ > 0; }
  qint64 wakeups() const { return wakeups_; }

 private:
  struct Watch;
  enum class Op { kAdd, kRemove, kResume, kDispose };
  struct Deferred {
    Op op;
    CURL* easy;
    std::unique_ptr<CurlRequest> request;  // for kDispose
  };

  template <typename Call>
  auto Enter(Call call) {
    ++depth_;
    const auto result = call();
    --depth_;
    if (depth_ == 0) Settle();
    return result;
  }
  void Ask(Deferred deferred);
  void Run(Deferred& deferred);
  void Settle();
  void Drive(curl_socket_t socket, int events);
  void Arm(curl_socket_t socket, Watch& watch);
  void OnActivity(curl_socket_t socket, QSocketNotifier::Type type);
  void OnTimeout();
  void ResumeYielded();

  static int OnSocket(CURL* easy, curl_socket_t socket, int what, void* loop,
                      void* watch);
  static int OnTimer(CURLM* multi, long timeout_ms, void* loop);

  DoneHandler on_done_;
  FaultHandler on_fault_;
  CURLM* multi_ = nullptr;
  Status broken_;  // why the multi handle cannot be used, if it cannot
  QTimer timer_;
  // Body bytes handed on in the pass under way, and the transfers paused
  // past them, which the zero timer lets go on.
  qint64 pass_bytes_ = 0;
  std::vector<CURL*> yielded_;
  QTimer yield_timer_;
  // The sockets libcurl watches, each with what it asked for.
  std::unordered_map<curl_socket_t, Watch> watches_;
  std::vector<Deferred> deferred_;
  int depth_ = 0;
  bool settling_ = false;
  // A socket or the timer fired while libcurl was busy.
  bool missed_ = false;
  qint64 wakeups_ = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_CURL_MULTI_LOOP_H_
