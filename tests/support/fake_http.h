#ifndef TRAWLBOX_TESTS_SUPPORT_FAKE_HTTP_H_
#define TRAWLBOX_TESTS_SUPPORT_FAKE_HTTP_H_

#include <QByteArrayList>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <memory>
#include <optional>

#include "net/http_engine.h"

namespace trawlbox {

// Requests answered from a script, without a network: each request plays
// the next Try in turn, from the event loop, one piece per pass, as a
// server far away would. A sink that pauses gets the same piece again after
// Resume().
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
  QStringList asked;              // the addresses, in order
  QList<RequestOptions> options;  // what each request asked beyond it
  RetryPolicy policy{.retries = 3, .first_delay_ms = 1};

  using HttpService::Get;
  std::unique_ptr<HttpTransfer> Get(const QString& address,
                                    const RequestOptions& asked_also,
                                    HttpTransfer::Sink sink) override {
    asked << address;
    options << asked_also;
    Try next = tries.empty() ? Try{} : std::move(tries.front());
    if (!tries.empty()) tries.pop_front();
    return std::make_unique<Request>(std::move(next), std::move(sink));
  }
  std::unique_ptr<HttpTransfer> Head(const QString& address) override {
    return Get(address, nullptr);
  }
  int connections() const override { return 6; }
  int capacity() const override { return 6; }
  const RetryPolicy& retry_policy() const override { return policy; }

 private:
  class Request : public HttpTransfer {
   public:
    Request(Try play, Sink sink) : play_(std::move(play)), sink_(sink) {
      head_ = play_.end.ok() ? play_.end.value()
                             : play_.head.value_or(Response{.status = 200});
      timer_.setSingleShot(true);
      QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
      timer_.start(0);
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
