#include "net/request_run.h"

#include <QElapsedTimer>
#include <algorithm>
#include <exception>

#include "core/event_pump.h"
#include "core/scoped_flag.h"
#include "net/http_engine.h"

namespace trawlbox {
namespace {

// The steady clock, and one timer for the earliest backoff's end.
class SteadyClock : public RunClock {
 public:
  SteadyClock() {
    started_.start();
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (ring_) ring_();
    });
  }
  qint64 NowMs() const override { return started_.elapsed(); }
  void RingAt(qint64 at_ms, std::function<void()> ring) override {
    ring_ = std::move(ring);
    timer_.start(int(std::clamp<qint64>(at_ms - NowMs(), 0, 1 << 30)));
  }

 private:
  QElapsedTimer started_;
  QTimer timer_;
  std::function<void()> ring_;
};

}  // namespace

Fetch::~Fetch() {
  if (run_ != nullptr) run_->Forget(*this);
}

void Fetch::Cancel() {
  if (ended()) return;
  if (run_ != nullptr) run_->Forget(*this);
  state_ = State::kIdle;
  answer_ = Status::Failure(QStringLiteral("Cancelled"));
}

const Response* Fetch::head() const {
  return transfer_ && transfer_->head_in() ? &transfer_->head() : nullptr;
}

HttpTransfer::Take Fetch::Take(const char*, qsizetype) {
  return HttpTransfer::Take::kTaken;
}

RequestRun::RequestRun(HttpService& http, EventPump& pump, RunSettings settings,
                       std::unique_ptr<RunClock> clock)
    : http_(http),
      pump_(pump),
      settings_(std::move(settings)),
      clock_(clock ? std::move(clock) : std::make_unique<SteadyClock>()) {
  pass_timer_.setSingleShot(true);
  QObject::connect(&pass_timer_, &QTimer::timeout, [this] {
    // A timer's handler: nothing may unwind into Qt's dispatch. A pass
    // that runs out of memory leaves its work to the next one.
    try {
      Pass();
    } catch (const std::exception& failure) {
      qWarning("The request run failed: %s", failure.what());
    }
  });
}

RequestRun::~RequestRun() {
  while (!live_.empty()) {
    Fetch& fetch = *live_.back();
    Forget(fetch);
    fetch.state_ = Fetch::State::kEnded;
    fetch.answer_ = Status::Failure(QStringLiteral("Cancelled"));
  }
}

void RequestRun::Start(Fetch& fetch) {
  if (fetch.state_ == Fetch::State::kRunning) return;
  if (fetch.state_ == Fetch::State::kQueued) {
    Unqueue(fetch);
  } else {
    Forget(fetch);  // a backoff under way starts over
    fetch.run_ = this;
    fetch.state_ = Fetch::State::kQueued;
    fetch.retries_.emplace(settings_.retries);
    live_.push_back(&fetch);
  }
  queued_.push_back(&fetch);
  // A pass starts what its planners queue before it ends.
  if (!passing_) StartQueued();
}

Answer RequestRun::Wait(Fetch& fetch, const std::function<bool()>& stop) {
  if (fetch.state_ == Fetch::State::kIdle) Start(fetch);
  if (fetch.state_ == Fetch::State::kQueued) {
    Unqueue(fetch);
    queued_.push_front(&fetch);
  }
  const ScopedFlag waited(fetch.waited_);
  StartQueued();
  for (;;) {
    pump_.WaitUntil([&] {
      return stop() || fetch.ended() ||
             (fetch.state_ == Fetch::State::kRunning &&
              (fetch.paused_ || fetch.transfer_->finished()));
    });
    if (fetch.ended()) return fetch.answer_;
    if (stop()) return Status::Failure(kStoppedByUser);
    Settle(fetch);
    // An end goes back to the command, which asks for what it wants next
    // before anything starts; a try that goes on frees no room.
    if (!fetch.ended()) StartQueued();
    Wake();  // a backoff wants the clock
  }
}

bool RequestRun::WaitUntil(const std::function<bool()>& done,
                           const std::function<bool()>& stop) {
  pump_.WaitUntil([&] { return stop() || done(); });
  return !stop();
}

void RequestRun::AddPlanner(Planner& planner) {
  planners_.push_back(&planner);
  Wake();
}

void RequestRun::RemovePlanner(Planner& planner) {
  std::erase(planners_, &planner);
}

void RequestRun::Wake() {
  unsettled_ = true;
  if (!pass_timer_.isActive()) pass_timer_.start(0);
}

void RequestRun::WakePaused() {
  bool held = false;
  for (Fetch* fetch : live_) {
    if (!fetch->held_) continue;
    fetch->held_ = false;
    fetch->paused_ = true;
    held = true;
  }
  if (held) Wake();
}

void RequestRun::Pass() {
  if (passing_) return Wake();
  const ScopedFlag passing(passing_);
  Reap();
  for (Planner* planner : std::vector<Planner*>(planners_)) planner->Plan();
  StartQueued();
  ArmClock();
}

void RequestRun::Reap() {
  if (!unsettled_) return;
  unsettled_ = false;
  // Settling drops ended fetches from the list, so a copy.
  for (Fetch* fetch : std::vector<Fetch*>(live_)) {
    if (fetch->run_ != this) continue;
    // The fetch a command waits for settles in its wait.
    if (fetch->waited_ && fetch->state_ == Fetch::State::kRunning) continue;
    Settle(*fetch);
  }
}

void RequestRun::Settle(Fetch& fetch) {
  if (fetch.state_ == Fetch::State::kBackingOff) {
    if (fetch.due_ms_ > clock_->NowMs()) return;
    // Tries again ahead of what waits for its first.
    fetch.state_ = Fetch::State::kQueued;
    queued_.push_front(&fetch);
    return;
  }
  if (fetch.state_ != Fetch::State::kRunning) return;
  HttpTransfer& transfer = *fetch.transfer_;
  if (fetch.paused_ && !transfer.finished()) {
    fetch.paused_ = false;
    switch (fetch.Unpause()) {
      case Fetch::Unpaused::kResume:
        transfer.Resume();
        break;
      case Fetch::Unpaused::kStayPaused:
        fetch.held_ = true;
        break;
      case Fetch::Unpaused::kEnd:
        transfer.Cancel();
        break;
    }
  }
  if (transfer.finished()) EndTry(fetch);
}

void RequestRun::EndTry(Fetch& fetch) {
  HttpTransfer& transfer = *fetch.transfer_;
  QByteArray retry_after;
  if (transfer.head_in()) {
    const Response& head = transfer.head();
    if (!head.protocol.isEmpty()) {
      multiplexed_ = !head.protocol.startsWith("HTTP/1");
    }
    retry_after = head.retry_after;
  }
  const Answer tried = fetch.Judge(Judged(transfer.answer()));
  --in_flight_;
  fetch.state_ = Fetch::State::kEnded;
  fetch.paused_ = false;
  fetch.held_ = false;
  fetch.transfer_.reset();
  const std::optional<int> delay = fetch.retries_->NextDelayMs(
      tried.ok() ? Status() : tried.status(), retry_after, fetch.kept_bytes());
  if (delay) {
    fetch.state_ = Fetch::State::kBackingOff;
    fetch.due_ms_ = clock_->NowMs() + *delay;
    return;
  }
  Forget(fetch);
  fetch.answer_ = tried;
}

void RequestRun::StartQueued() {
  // Tries that ended since the last pass make room now, not a pass later.
  if (in_flight_ >= capacity()) Reap();
  while (in_flight_ < capacity() && !queued_.empty()) {
    Fetch& fetch = *queued_.front();
    queued_.pop_front();
    StartTry(fetch);
  }
}

void RequestRun::StartTry(Fetch& fetch) {
  Result<Fetch::Ask> ask = fetch.NextTry();
  if (!ask.ok()) {
    Forget(fetch);
    fetch.state_ = Fetch::State::kEnded;
    fetch.answer_ = ask.status();
    return;
  }
  const Fetch::Ask& what = ask.value();
  fetch.state_ = Fetch::State::kRunning;
  fetch.paused_ = false;
  fetch.held_ = false;
  ++in_flight_;
  if (what.head_only) {
    fetch.transfer_ = http_.Head(what.address);
  } else {
    // The fetch owns the transfer, so it outlives every call of the sink.
    fetch.transfer_ =
        http_.Get(what.address, what.options,
                  [this, &fetch](const char* data, qsizetype size) {
                    const HttpTransfer::Take take = fetch.Take(data, size);
                    if (take == HttpTransfer::Take::kPause) {
                      fetch.paused_ = true;
                      Wake();
                    }
                    return take;
                  });
  }
  if (fetch.transfer_->finished()) return Wake();
  fetch.transfer_->set_on_finished([this] { Wake(); });
}

void RequestRun::ArmClock() {
  std::optional<qint64> earliest;
  for (const Fetch* fetch : live_) {
    if (fetch->state_ != Fetch::State::kBackingOff) continue;
    earliest = std::min(earliest.value_or(fetch->due_ms_), fetch->due_ms_);
  }
  if (earliest) clock_->RingAt(*earliest, [this] { Wake(); });
}

// The run lets go of `fetch`: out of the queue, its try dropped.
void RequestRun::Forget(Fetch& fetch) {
  if (fetch.run_ != this) return;
  Unqueue(fetch);
  std::erase(live_, &fetch);
  if (fetch.state_ == Fetch::State::kRunning) {
    --in_flight_;
    Wake();  // room for the next
  }
  fetch.transfer_.reset();
  fetch.paused_ = false;
  fetch.held_ = false;
  fetch.run_ = nullptr;
}

void RequestRun::Unqueue(Fetch& fetch) {
  const auto queued = std::find(queued_.begin(), queued_.end(), &fetch);
  if (queued != queued_.end()) queued_.erase(queued);
}

}  // namespace trawlbox
