#include "net/scheduler.h"

#include <QtGlobal>
#include <exception>

namespace trawlbox {

Scheduler::Scheduler(std::function<void()> advance)
    : advance_(std::move(advance)) {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Pass(); });
}

void Scheduler::Wake() {
  if (!timer_.isActive()) timer_.start(0);
}

void Scheduler::Pass() {
  // A timer's handler: nothing may unwind into Qt's dispatch. A pass is
  // built not to throw; one that runs out of memory leaves its work to the
  // command, which waits for the same requests and reports what fails.
  try {
    advance_();
  } catch (const std::exception& failure) {
    qWarning("The request loop failed: %s", failure.what());
  }
}

}  // namespace trawlbox
