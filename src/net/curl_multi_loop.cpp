#include "net/curl_multi_loop.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <utility>

namespace trawlbox {
namespace {

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

Status FailureOf(CURLMcode code) {
  return Status::Failure(QString::fromUtf8(curl_multi_strerror(code)));
}

}  // namespace

// What libcurl asked for one socket, and the notifiers that wait for it.
struct CurlMultiLoop::Watch {
  int wanted = 0;  // CURL_POLL_IN, CURL_POLL_OUT or CURL_POLL_INOUT
  std::unique_ptr<QSocketNotifier> read;
  std::unique_ptr<QSocketNotifier> write;
};

CurlMultiLoop::CurlMultiLoop(DoneHandler on_done, FaultHandler on_fault)
    : on_done_(std::move(on_done)), on_fault_(std::move(on_fault)) {
  InitCurlOnce();
  multi_ = curl_multi_init();
  if (multi_ == nullptr) {
    broken_ = Status::Failure(QStringLiteral("Cannot start the HTTP client"));
    return;
  }
  const CURLMcode codes[] = {
      curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION,
                        &CurlMultiLoop::OnSocket),
      curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this),
      curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION,
                        &CurlMultiLoop::OnTimer),
      curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this),
  };
  for (const CURLMcode code : codes) {
    if (code != CURLM_OK && broken_.ok()) broken_ = FailureOf(code);
  }
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] { OnTimeout(); });
  yield_timer_.setSingleShot(true);
  QObject::connect(&yield_timer_, &QTimer::timeout,
                   [this] { ResumeYielded(); });
}

CurlMultiLoop::~CurlMultiLoop() {
  // Nothing reports back from here on.
  ++depth_;
  for (Deferred& deferred : deferred_) {
    if (deferred.op == Op::kDispose && multi_ != nullptr) {
      curl_multi_remove_handle(multi_, deferred.easy);
    }
  }
  deferred_.clear();
  // Closing the cached connections reports their sockets once more; the
  // notifiers go with the object right after.
  if (multi_ != nullptr) curl_multi_cleanup(multi_);
}

void CurlMultiLoop::Add(CURL* easy) { Ask({Op::kAdd, easy, nullptr}); }
void CurlMultiLoop::Remove(CURL* easy) { Ask({Op::kRemove, easy, nullptr}); }
void CurlMultiLoop::Resume(CURL* easy) { Ask({Op::kResume, easy, nullptr}); }

void CurlMultiLoop::Dispose(std::unique_ptr<CurlRequest> request) {
  CURL* const easy = request->easy;
  Ask({Op::kDispose, easy, std::move(request)});
}

void CurlMultiLoop::SetMaxHostConnections(long count, long streams) {
  if (multi_ == nullptr) return;
  // The cache keeps as many open: by default it shrinks to four a
  // transfer, and closes connections that the next requests would reuse.
  const CURLMcode codes[] = {
      curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, count),
      curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, count),
      curl_multi_setopt(multi_, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX),
      curl_multi_setopt(multi_, CURLMOPT_MAX_CONCURRENT_STREAMS, streams),
  };
  for (const CURLMcode code : codes) {
    if (code != CURLM_OK && broken_.ok()) broken_ = FailureOf(code);
  }
}

// Runs at once, unless libcurl is on the stack or earlier requests wait:
// then it waits its turn.
void CurlMultiLoop::Ask(Deferred deferred) {
  if (busy() || !deferred_.empty()) {
    deferred_.push_back(std::move(deferred));
    if (!busy()) Settle();
    return;
  }
  Run(deferred);
}

void CurlMultiLoop::Run(Deferred& deferred) {
  if (!broken_.ok() && deferred.op != Op::kDispose) {
    on_fault_(deferred.easy, broken_);
    return;
  }
  switch (deferred.op) {
    case Op::kAdd: {
      const CURLMcode code =
          Enter([&] { return curl_multi_add_handle(multi_, deferred.easy); });
      if (code != CURLM_OK) on_fault_(deferred.easy, FailureOf(code));
      return;
    }
    case Op::kRemove:
    case Op::kDispose: {
      std::erase(yielded_, deferred.easy);
      // A handle that is not in the multi handle is removed already.
      const CURLMcode code = Enter(
          [&] { return curl_multi_remove_handle(multi_, deferred.easy); });
      deferred.request.reset();
      if (code != CURLM_OK) on_fault_(deferred.easy, FailureOf(code));
      return;
    }
    case Op::kResume: {
      const CURLcode code =
          Enter([&] { return curl_easy_pause(deferred.easy, CURLPAUSE_CONT); });
      if (code != CURLE_OK) {
        on_fault_(deferred.easy,
                  Status::Failure(QString::fromUtf8(curl_easy_strerror(code))));
      }
      return;
    }
  }
}

void CurlMultiLoop::Settle() {
  // A handler below may call back into libcurl, and so into here: the
  // outermost pass does all the work.
  if (settling_) return;
  settling_ = true;
  for (;;) {
    if (missed_) {
      missed_ = false;
      for (auto& [socket, watch] : watches_) Arm(socket, watch);
      timer_.start(0);
    }
    if (!deferred_.empty()) {
      Deferred next = std::move(deferred_.front());
      deferred_.erase(deferred_.begin());
      Run(next);
      continue;
    }
    int queued = 0;
    CURLMsg* message =
        multi_ == nullptr ? nullptr : curl_multi_info_read(multi_, &queued);
    if (message == nullptr) break;
    if (message->msg == CURLMSG_DONE) {
      // The message dies with the handle's removal: copy it first.
      CURL* const easy = message->easy_handle;
      const CURLcode result = message->data.result;
      on_done_(easy, result);
    }
  }
  settling_ = false;
}

bool CurlMultiLoop::Admit(CURL* easy, qint64 bytes) {
  if (pass_bytes_ < kMostBytesPerPass) {
    pass_bytes_ += bytes;
    return true;
  }
  yielded_.push_back(easy);
  yield_timer_.start(0);
  return false;
}

void CurlMultiLoop::ResumeYielded() {
  pass_bytes_ = 0;
  for (CURL* const easy : std::exchange(yielded_, {})) Resume(easy);
}

void CurlMultiLoop::Drive(curl_socket_t socket, int events) {
  pass_bytes_ = 0;
  int running = 0;
  const CURLMcode code = Enter([&] {
    return curl_multi_socket_action(multi_, socket, events, &running);
  });
  // A socket libcurl closed in the same pass of the event loop is no fault.
  if (code != CURLM_OK && code != CURLM_BAD_SOCKET) {
    broken_ = FailureOf(code);
    on_fault_(nullptr, broken_);
  }
}

void CurlMultiLoop::Arm(curl_socket_t socket, Watch& watch) {
  const auto fit = [&](std::unique_ptr<QSocketNotifier>& notifier,
                       QSocketNotifier::Type type, bool wanted) {
    if (!wanted) {
      if (notifier) notifier->setEnabled(false);
      return;
    }
    if (notifier) {
      notifier->setEnabled(true);
      return;
    }
    notifier = std::make_unique<QSocketNotifier>(socket, type);
    QObject::connect(notifier.get(), &QSocketNotifier::activated,
                     [this, socket, type] { OnActivity(socket, type); });
  };
  fit(watch.read, QSocketNotifier::Read, watch.wanted & CURL_POLL_IN);
  fit(watch.write, QSocketNotifier::Write, watch.wanted & CURL_POLL_OUT);
}

void CurlMultiLoop::OnActivity(curl_socket_t socket,
                               QSocketNotifier::Type type) {
  ++wakeups_;
  if (busy()) {
    // Events ran from inside a callback. The notifiers are level-triggered:
    // switched back on once libcurl is free, they fire again.
    const auto found = watches_.find(socket);
    if (found != watches_.end()) {
      Watch& watch = found->second;
      (type == QSocketNotifier::Read ? watch.read : watch.write)
          ->setEnabled(false);
    }
    missed_ = true;
    return;
  }
  Drive(socket,
        type == QSocketNotifier::Read ? CURL_CSELECT_IN : CURL_CSELECT_OUT);
}

void CurlMultiLoop::OnTimeout() {
  ++wakeups_;
  if (busy()) {
    missed_ = true;
    return;
  }
  if (multi_ != nullptr) Drive(CURL_SOCKET_TIMEOUT, 0);
}

int CurlMultiLoop::OnSocket(CURL*, curl_socket_t socket, int what,
                            void* loop_data, void*) {
  auto* loop = static_cast<CurlMultiLoop*>(loop_data);
  if (what == CURL_POLL_REMOVE) {
    // The socket's notifiers go with it, also the one whose signal may be
    // running: Qt allows that.
    loop->watches_.erase(socket);
    return 0;
  }
  Watch& watch = loop->watches_[socket];
  watch.wanted = what;
  loop->Arm(socket, watch);
  return 0;
}

int CurlMultiLoop::OnTimer(CURLM*, long timeout_ms, void* loop_data) {
  auto* loop = static_cast<CurlMultiLoop*>(loop_data);
  if (timeout_ms < 0) {
    loop->timer_.stop();
  } else {
    loop->timer_.start(static_cast<int>(qMin<long>(timeout_ms, INT_MAX)));
  }
  return 0;
}

}  // namespace trawlbox
