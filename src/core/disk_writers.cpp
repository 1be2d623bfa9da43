#include "core/disk_writers.h"

#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <utility>

namespace trawlbox {

class DiskWriters::Lane {
 public:
  struct Queued {
    Job job;
    qint64 bytes = 0;
  };
  std::deque<Queued> jobs;
  bool running = false;

  bool idle() const { return jobs.empty() && !running; }
};

int DiskWriters::ForMachine() {
  return std::clamp(QThread::idealThreadCount(), 2, 4);
}

DiskWriters::DiskWriters(int threads, qint64 most_queued_bytes)
    : most_queued_bytes_(most_queued_bytes) {
  const int count = threads > 0 ? threads : ForMachine();
  threads_.reserve(count);
  for (int i = 0; i < count; ++i) threads_.emplace_back([this] { Work(); });
}

DiskWriters::~DiskWriters() {
  {
    const std::lock_guard lock(mutex_);
    ending_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

DiskWriters::LanePtr DiskWriters::NewLane() { return std::make_shared<Lane>(); }

void DiskWriters::Post(const LanePtr& lane, Job job, qint64 bytes) {
  {
    const std::lock_guard lock(mutex_);
    if (lane->idle()) {
      ++busy_lanes_;
      ready_.push_back(lane);
    }
    lane->jobs.push_back({std::move(job), bytes});
    queued_bytes_ += bytes;
  }
  work_ready_.notify_one();
}

bool DiskWriters::HasRoom(qint64 bytes) const {
  const std::lock_guard lock(mutex_);
  return queued_bytes_ == 0 || queued_bytes_ + bytes <= most_queued_bytes_;
}

bool DiskWriters::Idle(const Lane& lane) const {
  const std::lock_guard lock(mutex_);
  return lane.idle();
}

bool DiskWriters::Idle() const {
  const std::lock_guard lock(mutex_);
  return busy_lanes_ == 0;
}

// Each thread takes the lane that has waited longest, runs its first job,
// and puts the lane back at the end while it has more: a long file does not
// hold up the short ones behind it.
void DiskWriters::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this] { return ending_ || !ready_.empty(); });
    if (ready_.empty()) return;  // ending, and all done
    LanePtr lane = std::move(ready_.front());
    ready_.pop_front();
    Lane::Queued queued = std::move(lane->jobs.front());
    lane->jobs.pop_front();
    lane->running = true;
    lock.unlock();
    try {
      queued.job();
    } catch (...) {
      qWarning("A disk writer's job failed");
    }
    queued.job = nullptr;  // what it held goes outside the lock
    lock.lock();
    lane->running = false;
    queued_bytes_ -= queued.bytes;
    if (lane->jobs.empty()) {
      --busy_lanes_;
    } else {
      ready_.push_back(std::move(lane));
      work_ready_.notify_one();
    }
    TellOwner();
  }
}

void DiskWriters::TellOwner() {
  if (told_.exchange(true)) return;
  QMetaObject::invokeMethod(
      &owner_side_,
      [this] {
        told_ = false;
        // Called from the event loop: nothing may unwind into it.
        try {
          if (on_progress_) on_progress_();
        } catch (...) {
          qWarning("A disk writer's progress could not be taken in");
        }
      },
      Qt::QueuedConnection);
}

}  // namespace trawlbox
