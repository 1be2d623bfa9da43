#include "core/event_pump.h"

#include <QCoreApplication>
#include <QTimer>

#include "core/app_error.h"

namespace trawlbox {

EventPump::EventPump() { since_pass_.start(); }

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

void EventPump::WaitUntil(const std::function<bool()>& done) {
  while (!done()) {
    ThrowIfShuttingDown();
    longest_gap_ms_ = std::max(longest_gap_ms_, since_pass_.elapsed());
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    since_pass_.restart();
  }
  ThrowIfShuttingDown();
}

bool EventPump::Sleep(int ms, const std::function<bool()>& stop) {
  // The timer's event is what wakes the wait when nothing else comes.
  QTimer wake;
  wake.setSingleShot(true);
  bool woken = false;
  QObject::connect(&wake, &QTimer::timeout, [&woken] { woken = true; });
  wake.start(ms);
  WaitUntil([&] { return woken || stop(); });
  return !stop();
}

}  // namespace trawlbox
