#include "app/event_pump.h"

#include <QCoreApplication>
#include <QTimer>

#include "app/app_error.h"

namespace trawlbox {

EventPump::EventPump() {
  since_pass_.start();
  since_touch_.start();
}

void EventPump::ThrowIfShuttingDown() const {
  if (shutdown_requested_) throw ShutdownRequested{};
}

void EventPump::PassEvents() {
  ThrowIfShuttingDown();
  longest_gap_ms_ = std::max(longest_gap_ms_, since_pass_.elapsed());
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  since_pass_.restart();
  ThrowIfShuttingDown();
}

void EventPump::ResetLongestGap() {
  longest_gap_ms_ = 0;
  since_pass_.restart();
}

bool EventPump::WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  since_touch_.restart();
  // The timer only wakes the blocked wait so the stall clock is looked at.
  QTimer wake;
  if (timeout_ms >= 0) {
    wake.setInterval(std::min(timeout_ms, 250));
    wake.start();
  }
  while (!done()) {
    ThrowIfShuttingDown();
    if (timeout_ms >= 0 && since_touch_.elapsed() >= timeout_ms) break;
    longest_gap_ms_ = std::max(longest_gap_ms_, since_pass_.elapsed());
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    since_pass_.restart();
  }
  ThrowIfShuttingDown();
  return done();
}

}  // namespace trawlbox
