#ifndef TRAWLBOX_NET_SCHEDULER_H_
#define TRAWLBOX_NET_SCHEDULER_H_

#include <QTimer>
#include <functional>

namespace trawlbox {

// The loop that moves a long command's requests on. A request's end, or a
// body's first piece that waits for its file, only records what happened
// and wakes the loop; the loop then runs once, from the event loop and
// outside libcurl, and its `advance` does the rest: it judges what ended,
// makes what waits, and starts the requests wanted next while there is
// room. So nothing is ever started from inside another request's end.
class Scheduler {
 public:
  // `advance` must not let events run; what it cannot do waits for the
  // command, which reports it.
  explicit Scheduler(std::function<void()> advance);
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  // Asks for a pass of the loop as soon as events run. Safe from inside
  // libcurl's callbacks.
  void Wake();
  // What a request's end calls.
  std::function<void()> Waker() {
    return [this] { Wake(); };
  }

 private:
  void Pass();

  const std::function<void()> advance_;
  QTimer timer_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_SCHEDULER_H_
