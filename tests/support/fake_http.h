#ifndef TRAWLBOX_TESTS_SUPPORT_FAKE_HTTP_H_
#define TRAWLBOX_TESTS_SUPPORT_FAKE_HTTP_H_

#include <QByteArrayList>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/event_pump.h"
#include "net/http_engine.h"
#include "net/request_run.h"

namespace trawlbox {

// Requests answered from a script, without a network: each request plays
// the next Try in turn, or what `serve` answers for its address, from the
// event loop, one piece per pass, as a server far away would. A sink that
// pauses gets the same piece again after Resume(). It counts the requests
// under way, as a server would see them, and can hold some back.
class FakeHttp : public HttpService {
 public:
  // What one request comes to: the head, the body's pieces, the end.
  struct Try {
    QByteArrayList pieces;
    Answer end = Response{.status = 200};
    // The head the pieces come under when `end` is no answer (a body cut
    // off); a plain 200 unless given.
    std::optional<Response> head = std::nullopt;
  };

  std::deque<Try> tries;
  // When set, answers each request instead of `tries`.
  std::function<Try(const QString& address)> serve;
  QStringList asked;              // the addresses of the GETs, in order
  QList<RequestOptions> options;  // what each GET asked beyond it
  QStringList looked;             // the addresses of the HEADs, in order
  // Requests for these addresses wait, unanswered, until released.
  QSet<QString> held;
  // The most requests under way at once so far.
  int peak = 0;

  FakeHttp() = default;
  FakeHttp(const FakeHttp&) = delete;
  FakeHttp& operator=(const FakeHttp&) = delete;
  ~FakeHttp() override {
    for (Request* request : live_) request->owner_ = nullptr;
  }

  using HttpService::Get;
  std::unique_ptr<HttpTransfer> Get(const QString& address,
                                    const RequestOptions& asked_also,
                                    HttpTransfer::Sink sink) override {
    asked << address;
    options << asked_also;
    return Start(address, std::move(sink));
  }
  std::unique_ptr<HttpTransfer> Head(const QString& address) override {
    looked << address;
    return Start(address, nullptr);
  }
  // The run of requests over it: six connections unless set, three quick
  // retries.
  RequestRun& run() { return run_; }
  void SetRoom(int connections) {
    run_.set_settings(
        RunSettings{.connections = connections, .retries = kQuick});
  }

  // Lets the requests for `address` held so far go on, and holds no more.
  void Release(const QString& address) {
    held.remove(address);
    for (Request* request : live_) {
      if (request->address_ == address) request->Go();
    }
  }
  // The addresses of the requests under way, in the order they started.
  QStringList Running() const {
    QStringList running;
    for (const Request* request : live_) {
      if (!request->finished()) running << request->address_;
    }
    return running;
  }

 private:
  class Request;

  std::unique_ptr<HttpTransfer> Start(const QString& address,
                                      HttpTransfer::Sink sink) {
    Try next;
    if (serve) {
      next = serve(address);
    } else if (!tries.empty()) {
      next = std::move(tries.front());
      tries.pop_front();
    }
    auto request =
        std::make_unique<Request>(*this, address, std::move(next), sink);
    peak = std::max(peak, int(Running().size()));
    return request;
  }

  std::vector<Request*> live_;
  EventPump pump_;
  static constexpr RetryPolicy kQuick{.retries = 3, .first_delay_ms = 1};
  RequestRun run_{*this, pump_, RunSettings{.retries = kQuick}};

  class Request : public HttpTransfer {
   public:
    Request(FakeHttp& owner, const QString& address, Try play, Sink sink)
        : owner_(&owner),
          address_(address),
          play_(std::move(play)),
          sink_(sink) {
      head_ = play_.end.ok() ? play_.end.value()
                             : play_.head.value_or(Response{.status = 200});
      timer_.setSingleShot(true);
      QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
      owner.live_.push_back(this);
      if (!owner.held.contains(address)) Go();
    }
    ~Request() override {
      if (owner_ != nullptr) std::erase(owner_->live_, this);
    }

    // Plays the answer, unless it is paused or over.
    void Go() {
      if (!finished_ && !paused_) timer_.start(0);
    }

    bool head_in() const override { return true; }
    const Response& head() const override { return head_; }
    bool finished() const override { return finished_; }
    const Answer& answer() const override { return answer_; }
    qint64 body_bytes() const override { return taken_; }
    bool paused() const override { return paused_; }
    void set_on_finished(std::function<void()> on_finished) override {
      on_finished_ = std::move(on_finished);
    }
    void Resume() override {
      if (!paused_) return;
      paused_ = false;
      timer_.start(0);
    }
    void Cancel() override { End(Status::Failure("Cancelled"), false); }

   private:
    void Step() {
      if (finished_) return;
      const bool good = head_.status < 300;
      if (good && sink_ && next_ < play_.pieces.size()) {
        const QByteArray& piece = play_.pieces[next_];
        switch (sink_(piece.constData(), piece.size())) {
          case Take::kTaken:
            taken_ += piece.size();
            ++next_;
            timer_.start(0);
            return;
          case Take::kPause:
            paused_ = true;
            return;
          case Take::kAbort:
            End(Status::Failure("Aborted"), true);
            return;
        }
      }
      End(play_.end, true);
    }
    void End(Answer answer, bool by_itself) {
      if (finished_) return;
      finished_ = true;
      timer_.stop();
      answer_ = std::move(answer);
      if (by_itself && on_finished_) on_finished_();
    }

    friend class FakeHttp;
    FakeHttp* owner_;  // null once the service is gone
    const QString address_;
    Try play_;
    Sink sink_;
    Response head_;
    Answer answer_ = Status::Failure("Not finished");
    qsizetype next_ = 0;
    qint64 taken_ = 0;
    bool paused_ = false;
    bool finished_ = false;
    std::function<void()> on_finished_;
    QTimer timer_;
  };
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_FAKE_HTTP_H_
