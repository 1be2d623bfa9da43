#ifndef TRAWLBOX_APP_EVENT_PUMP_H_
#define TRAWLBOX_APP_EVENT_PUMP_H_

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

  // Blocks on window events until `done` answers true or `timeout_ms` has
  // gone by without a call of Touch() (negative: no limit). Returns done().
  // Never spins: the thread sleeps until an event arrives.
  bool WaitUntil(const std::function<bool()>& done, int timeout_ms = -1);
  // Restarts the stall clock of a running WaitUntil (data arrived).
  void Touch() { since_touch_.restart(); }

  // The window was closed: the next pass throws ShutdownRequested so the
  // running command unwinds and the program ends.
  void RequestShutdown() { shutdown_requested_ = true; }
  bool shutdown_requested() const { return shutdown_requested_; }

  // The longest gap between two event passes while a command ran; for
  // measuring responsiveness. Reset() starts a new measurement.
  qint64 longest_gap_ms() const { return longest_gap_ms_; }
  void ResetLongestGap();

 private:
  void ThrowIfShuttingDown() const;

  QElapsedTimer since_pass_;
  QElapsedTimer since_touch_;
  qint64 longest_gap_ms_ = 0;
  bool shutdown_requested_ = false;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_APP_EVENT_PUMP_H_
