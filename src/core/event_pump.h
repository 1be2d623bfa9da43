#ifndef TRAWLBOX_CORE_EVENT_PUMP_H_
#define TRAWLBOX_CORE_EVENT_PUMP_H_

#include <QElapsedTimer>
#include <functional>

namespace trawlbox {

// Lets window events run from inside a long command on the one
// user-interface thread. Yield() is cheap enough to call per byte: it passes
// events only when a few milliseconds have gone by since the last pass.
class EventPump {
 public:
  static constexpr qint64 kPassIntervalMs = 4;

  EventPump();

  // Lets pending events run when the last pass is older than the interval.
  void Yield() {
    if (since_pass_.elapsed() >= kPassIntervalMs) PassEvents();
  }
  // Lets pending events run now.
  void PassEvents();

  // Blocks on window events until `done` answers true. Never spins: the
  // thread sleeps until an event arrives. Stalls are the caller's to bound
  // (network requests carry their own transfer timeout).
  void WaitUntil(const std::function<bool()>& done);
  // Blocks on window events for `ms` milliseconds, or until `stop` answers
  // true; false when it was `stop`.
  bool Sleep(int ms, const std::function<bool()>& stop);

  // The window was closed: the next pass throws ShutdownRequested so the
  // running command unwinds and the program ends.
  void RequestShutdown() { shutdown_requested_ = true; }

  // The longest gap between two event passes while a command ran; for
  // measuring responsiveness. ResetLongestGap() starts a new measurement.
  qint64 longest_gap_ms() const { return longest_gap_ms_; }
  void ResetLongestGap();

 private:
  void ThrowIfShuttingDown() const;

  QElapsedTimer since_pass_;
  qint64 longest_gap_ms_ = 0;
  bool shutdown_requested_ = false;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_EVENT_PUMP_H_
