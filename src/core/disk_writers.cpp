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
  explicit Lane(int on) : thread(on) {}

  const int thread;  // the writer that runs its jobs
  std::deque<Queued> jobs;
  bool running = false;
  bool urgent = false;  // goes before the other lanes

  bool idle() const { return jobs.empty() && !running; }
};

int DiskWriters::ForMachine() {
  return std::clamp(QThread::idealThreadCount(), 2, 4);
}

DiskWriters::DiskWriters(int threads, qint64 most_queued_bytes)
    : most_queued_bytes_(most_queued_bytes) {
  const int count = threads > 0 ? threads : ForMachine();
  queues_ = std::vector<Queue>(size_t(count));
  threads_.reserve(count);
  for (int i = 0; i < count; ++i) {
    threads_.emplace_back([this, i] { Work(queues_[size_t(i)]); });
  }
}

DiskWriters::~DiskWriters() {
  {
    const std::lock_guard lock(mutex_);
    ending_ = true;
  }
  for (Queue& queue : queues_) queue.work_ready.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

DiskWriters::LanePtr DiskWriters::NewLane(const QString& place) {
  return std::make_shared<Lane>(int(qHash(place) % queues_.size()));
}

void DiskWriters::Post(const LanePtr& lane, Job job, qint64 bytes) {
  bool readied = false;
  {
    const std::lock_guard lock(mutex_);
    readied = lane->idle();
    if (readied) {
      ++busy_lanes_;
      Ready(lane);
    }
    lane->jobs.push_back({std::move(job), bytes});
    queued_bytes_ += bytes;
  }
  // A busy lane is taken up again by its thread when its job ends.
  if (readied) queues_[size_t(lane->thread)].work_ready.notify_one();
}

void DiskWriters::Hurry(const LanePtr& lane) {
  const std::lock_guard lock(mutex_);
  lane->urgent = true;
  std::deque<LanePtr>& ready = queues_[size_t(lane->thread)].ready;
  const auto waiting = std::find(ready.begin(), ready.end(), lane);
  if (waiting == ready.end()) return;
  ready.erase(waiting);
  ready.push_front(lane);
}

void DiskWriters::Ready(LanePtr lane) {
  std::deque<LanePtr>& ready = queues_[size_t(lane->thread)].ready;
  if (lane->urgent) {
    ready.push_front(std::move(lane));
  } else {
    ready.push_back(std::move(lane));
  }
}

QByteArray DiskWriters::TakeBlock(qsizetype capacity) {
  QByteArray block;
  {
    const std::lock_guard lock(mutex_);
    if (!spare_blocks_.empty()) {
      block = std::move(spare_blocks_.back());
      spare_blocks_.pop_back();
    }
  }
  block.reserve(capacity);
  return block;
}

void DiskWriters::GiveBack(QByteArray block) {
  if (block.capacity() == 0) return;
  block.resize(0);  // the capacity stays
  const std::lock_guard lock(mutex_);
  if (qint64(spare_blocks_.size() + 1) * block.capacity() <=
      most_queued_bytes_) {
    spare_blocks_.push_back(std::move(block));
  }
}

bool DiskWriters::HasRoom(qint64 bytes) const {
  const std::lock_guard lock(mutex_);
  return queued_bytes_ == 0 || queued_bytes_ + bytes <= most_queued_bytes_ ||
         Refused();
}

bool DiskWriters::Idle(const Lane& lane) const {
  const std::lock_guard lock(mutex_);
  return lane.idle() || Refused();
}

bool DiskWriters::Idle() const {
  const std::lock_guard lock(mutex_);
  return busy_lanes_ == 0 || Refused();
}

// Each thread takes the first of its ready lanes, runs that lane's first
// job, and puts the lane back while it has more: at the end, so a long file
// does not hold up the short ones behind it, or at the front when the
// window's thread waits for it (Hurry).
void DiskWriters::Work(Queue& queue) {
  std::unique_lock lock(mutex_);
  for (;;) {
    queue.work_ready.wait(lock,
                          [&] { return ending_ || !queue.ready.empty(); });
    if (queue.ready.empty()) return;  // ending, and all done
    LanePtr lane = std::move(queue.ready.front());
    queue.ready.pop_front();
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
      Ready(std::move(lane));
    }
    if (std::exchange(awaited_, false)) TellOwner();
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
