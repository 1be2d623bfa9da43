#include "core/curl_multi_loop.h"

#include <climits>
#include <mutex>

namespace trawlbox {
namespace {

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

CurlMultiLoop::CurlMultiLoop(DoneHandler on_done)
    : on_done_(std::move(on_done)) {
  InitCurlOnce();
  multi_ = curl_multi_init();
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlMultiLoop::OnSocket);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlMultiLoop::OnTimer);
  curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] { OnTimeout(); });
}

CurlMultiLoop::~CurlMultiLoop() {
  // Closing the cached connections reports their sockets once more; the
  // notifiers go with the object right after.
  ++depth_;
  curl_multi_cleanup(multi_);
  watches_.clear();
}

CURLMcode CurlMultiLoop::Add(CURL* easy) {
  if (busy()) return CURLM_RECURSIVE_API_CALL;
  return Enter([&] { return curl_multi_add_handle(multi_, easy); });
}

void CurlMultiLoop::Remove(CURL* easy) {
  if (busy()) return;
  Enter([&] { return curl_multi_remove_handle(multi_, easy); });
}

CURLcode CurlMultiLoop::Unpause(CURL* easy) {
  if (busy()) return CURLE_RECURSIVE_API_CALL;
  // Hands the paused piece to the write callback again from in here.
  return Enter([&] { return curl_easy_pause(easy, CURLPAUSE_CONT); });
}

void CurlMultiLoop::Later(std::function<void()> work) {
  later_.push_back(std::move(work));
  if (!busy()) Settle();
}

void CurlMultiLoop::Settle() {
  // A handler below may call back into libcurl, and so into here: the
  // outermost pass does all the work.
  if (settling_) return;
  settling_ = true;
  for (;;) {
    SyncNotifiers();
    if (timeout_missed_) {
      timeout_missed_ = false;
      timer_.start(0);
    }
    int queued = 0;
    if (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
      if (message->msg == CURLMSG_DONE) {
        // The message dies with the handle's removal: copy it first.
        CURL* const easy = message->easy_handle;
        const CURLcode result = message->data.result;
        on_done_(easy, result);
      }
      continue;
    }
    if (!later_.empty()) {
      std::vector<std::function<void()>> work;
      work.swap(later_);
      for (auto& step : work) step();
      continue;
    }
    break;
  }
  settling_ = false;
}

void CurlMultiLoop::SyncNotifiers() {
  if (!notifiers_stale_) return;
  notifiers_stale_ = false;
  for (auto it = watches_.begin(); it != watches_.end();) {
    if (!wanted_.contains(it->first) || dropped_.contains(it->first)) {
      it = watches_.erase(it);
    } else {
      ++it;
    }
  }
  dropped_.clear();
  for (const auto& [socket, what] : wanted_) {
    Watch& watch = watches_[socket];
    Fit(watch.read, socket, QSocketNotifier::Read, what & CURL_POLL_IN);
    Fit(watch.write, socket, QSocketNotifier::Write, what & CURL_POLL_OUT);
  }
}

void CurlMultiLoop::Fit(std::unique_ptr<QSocketNotifier>& notifier,
                        curl_socket_t socket, QSocketNotifier::Type type,
                        bool wanted) {
  if (!wanted) {
    notifier.reset();
    return;
  }
  if (notifier) {
    // Switched off when it fired while libcurl was busy.
    notifier->setEnabled(true);
    return;
  }
  notifier = std::make_unique<QSocketNotifier>(socket, type);
  QSocketNotifier* const raw = notifier.get();
  QObject::connect(raw, &QSocketNotifier::activated,
                   [this, raw, socket] { OnActivity(raw, socket); });
}

void CurlMultiLoop::OnActivity(QSocketNotifier* notifier,
                               curl_socket_t socket) {
  ++wakeups_;
  if (busy()) {
    // Events ran from inside a callback. The notifier is level-triggered:
    // switched back on once libcurl is free, it fires again.
    notifier->setEnabled(false);
    notifiers_stale_ = true;
    return;
  }
  // A socket libcurl dropped in the same pass of the event loop.
  if (!wanted_.contains(socket)) return;
  const int events = notifier->type() == QSocketNotifier::Read
                         ? CURL_CSELECT_IN
                         : CURL_CSELECT_OUT;
  int running = 0;
  Enter([&] {
    return curl_multi_socket_action(multi_, socket, events, &running);
  });
}

void CurlMultiLoop::OnTimeout() {
  ++wakeups_;
  if (busy()) {
    timeout_missed_ = true;
    return;
  }
  int running = 0;
  Enter([&] {
    return curl_multi_socket_action(multi_, CURL_SOCKET_TIMEOUT, 0, &running);
  });
}

int CurlMultiLoop::OnSocket(CURL*, curl_socket_t socket, int what, void* loop,
                            void*) {
  auto* self = static_cast<CurlMultiLoop*>(loop);
  if (what == CURL_POLL_REMOVE) {
    self->wanted_.erase(socket);
    self->dropped_.insert(socket);
  } else {
    self->wanted_[socket] = what;
  }
  self->notifiers_stale_ = true;
  return 0;
}

int CurlMultiLoop::OnTimer(CURLM*, long timeout_ms, void* loop) {
  auto* self = static_cast<CurlMultiLoop*>(loop);
  if (timeout_ms < 0) {
    self->timer_.stop();
  } else {
    self->timer_.start(static_cast<int>(qMin<long>(timeout_ms, INT_MAX)));
  }
  return 0;
}

}  // namespace trawlbox
