#ifndef TRAWLBOX_NET_REQUEST_RUN_H_
#define TRAWLBOX_NET_REQUEST_RUN_H_

#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "net/http_transfer.h"
#include "net/response.h"
#include "net/retry.h"
#include "net/retry_policy.h"

namespace trawlbox {

class EventPump;
class HttpService;

// What a run of requests is allowed: handed down by whoever composes it.
struct RunSettings {
  static constexpr int kDefaultConnections = 6;
  static constexpr int kMaxConnections = 16;
  // The requests that share an HTTP/2 connection, for each connection the
  // setting allows. Six connections make 96, under the 100 streams Apache
  // lets run on one connection (nginx: 128), so they stay on one.
  static constexpr int kStreamsPerConnection = 16;

  int connections = kDefaultConnections;
  RetryPolicy retries = {};

  // The HTTP/2 streams libcurl may run over one connection.
  int streams() const { return connections * kStreamsPerConnection; }
  // The requests in flight at once: the connections, or, once the server
  // has answered over HTTP/2, the streams. One connection is one request
  // at a time, whatever the protocol.
  int Capacity(bool multiplexed) const {
    return multiplexed && connections > 1 ? streams() : connections;
  }
};

// The time a run's waits between tries are measured in. The program's is
// the steady clock and a Qt timer; tests turn the hands themselves.
class RunClock {
 public:
  virtual ~RunClock() = default;
  virtual qint64 NowMs() const = 0;
  // Calls `ring` from the event loop once NowMs() has reached `at_ms`; a
  // later call replaces the one before.
  virtual void RingAt(qint64 at_ms, std::function<void()> ring) = 0;
};

class RequestRun;

// One request a command wants made, with all its tries. The command
// derives from it to say what each try asks and where its body goes; the
// run starts the tries, and the command hears what the request came to.
// Its owner holds it; dropping it ends it.
class Fetch {
 public:
  // What one try asks for.
  struct Ask {
    QString address;
    RequestOptions options = {};
    bool head_only = false;
  };

  Fetch() = default;
  Fetch(const Fetch&) = delete;
  Fetch& operator=(const Fetch&) = delete;
  // A try under way ends; the run forgets the fetch.
  virtual ~Fetch();

  // Its tries are over and answer() stands.
  bool ended() const { return state_ == State::kEnded; }
  // It waits for room to start its first try.
  bool queued() const { return state_ == State::kQueued; }
  // What it came to: the answer asked for, or why none came. An answer
  // of 400 or more is a failure carrying its status code; so is one that
  // Judge() found wanting.
  const Answer& answer() const { return answer_; }
  // Ends it now as "Cancelled": the try under way, if any, is dropped, and
  // the run forgets it. It may be started again.
  void Cancel();

 protected:
  // The final head of the try under way, once it is in; null before.
  const Response* head() const;

  // What the next try asks for, called by the run before each try,
  // outside libcurl. A failure ends the fetch with it.
  virtual Result<Ask> NextTry() = 0;
  // A piece of the body, from inside libcurl: it may only hand the bytes
  // on. kPause: the piece waits, and the run calls Unpause() outside
  // libcurl.
  virtual HttpTransfer::Take Take(const char* data, qsizetype size);
  // What a paused body's try does next.
  enum class Unpaused {
    kResume,      // its piece is taken again now
    kStayPaused,  // until RequestRun::WakePaused()
    kEnd,         // the try ends
  };
  // The work a paused body waits for, done outside libcurl.
  virtual Unpaused Unpause() { return Unpaused::kResume; }
  // What a try came to for the command: `answer`, or a failure of the
  // command's own (the disk's, a body it refused). A failure marked
  // transient is tried again.
  virtual Answer Judge(Answer answer) { return answer; }
  // The bytes of the body the next try goes on from.
  virtual qint64 kept_bytes() const { return 0; }

 private:
  friend class RequestRun;
  enum class State { kIdle, kQueued, kRunning, kBackingOff, kEnded };

  RequestRun* run_ = nullptr;  // while the run knows it
  State state_ = State::kIdle;
  std::unique_ptr<HttpTransfer> transfer_;  // of the try under way
  std::optional<RetryCounter> retries_;
  qint64 due_ms_ = 0;    // when a backing-off fetch tries again
  bool paused_ = false;  // Take() answered kPause
  bool held_ = false;    // Unpause() answered kStayPaused
  bool waited_ = false;  // a Wait() is on the stack for it
  Answer answer_ = Status::Failure(QStringLiteral("Not asked"));
};

// The one place requests start. Commands hand it the fetches they want,
// in the order they want them; each pass of the run, from the event loop
// and outside libcurl, takes in the tries that ended or paused, lets the
// commands' planners queue more, and starts what is queued while there is
// room: as many as the settings allow, counted by the run alone. A try
// that fails on something that may pass is tried again after the backoff
// the policy and the server's Retry-After ask for. A command waits only
// through Wait(), while window events go on running.
class RequestRun {
 public:
  // Plans a command's fetches: each pass asks it, after the run has taken
  // in what ended, to Start() the fetches it wants next. It must not let
  // events run.
  class Planner {
   public:
    virtual ~Planner() = default;
    virtual void Plan() = 0;
  };

  // Without a clock, the steady one.
  RequestRun(HttpService& http, EventPump& pump, RunSettings settings,
             std::unique_ptr<RunClock> clock = nullptr);
  RequestRun(const RequestRun&) = delete;
  RequestRun& operator=(const RequestRun&) = delete;
  // Fetches still known end as "Cancelled".
  ~RequestRun();

  const RunSettings& settings() const { return settings_; }
  // For the fetches started afterwards; the room changes at once.
  void set_settings(const RunSettings& settings) {
    settings_ = settings;
    Wake();
  }

  // Queues `fetch` behind those queued before it, afresh unless it runs
  // already. One queued already goes to the back: a planner that starts
  // its fetches in the order it wants them has them in that order.
  void Start(Fetch& fetch);
  // Waits, letting window events run, until `fetch` has ended, or `stop`
  // answers true ("Stopped by user"; the fetch goes on). A fetch not
  // running yet goes to the head of the queue. The body's paused work and
  // its tries' ends are taken in here, outside any pass, so a box it shows
  // comes from the command.
  Answer Wait(Fetch& fetch, const std::function<bool()>& stop);
  // Waits, letting window events and the run's passes go on, until `done`
  // or `stop` answers true; false when it was `stop`. For what a command's
  // fetches leave to finish, such as their disk work.
  bool WaitUntil(const std::function<bool()>& done,
                 const std::function<bool()>& stop);

  // Planners are asked in the order added, while added.
  void AddPlanner(Planner& planner);
  void RemovePlanner(Planner& planner);
  // Asks for a pass as soon as events run. Safe from inside libcurl.
  void Wake();
  // Asks every paused body whose work was not ready again, in the next
  // pass: what it waited for may be.
  void WakePaused();

  // How many tries run now, and how many may.
  int in_flight() const { return in_flight_; }
  int capacity() const { return settings_.Capacity(multiplexed_); }

 private:
  void Pass();
  // Takes in what changed for `fetch`: its paused body's work, its try's
  // end, its backoff's end.
  void Settle(Fetch& fetch);
  // Settles every fetch but the one a wait settles itself.
  void Reap();
  void EndTry(Fetch& fetch);
  void StartTry(Fetch& fetch);
  void StartQueued();
  void ArmClock();
  void Forget(Fetch& fetch);
  void Unqueue(Fetch& fetch);

  friend class Fetch;
  HttpService& http_;
  EventPump& pump_;
  RunSettings settings_;
  std::unique_ptr<RunClock> clock_;
  std::vector<Fetch*> live_;   // queued, running or backing off
  std::deque<Fetch*> queued_;  // in the order they start
  std::vector<Planner*> planners_;
  int in_flight_ = 0;
  // The latest answer came over HTTP/2: requests share the connections.
  bool multiplexed_ = false;
  bool passing_ = false;
  // Something may have ended or paused since the last Reap().
  bool unsettled_ = false;
  QTimer pass_timer_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_REQUEST_RUN_H_
