#ifndef TRAWLBOX_CORE_DISK_WRITERS_H_
#define TRAWLBOX_CORE_DISK_WRITERS_H_

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace trawlbox {

// A few threads that do disk work for the window's thread, so that making,
// writing and renaming files never holds the window up. Work is posted in
// lanes: the jobs of one lane run one after another in the order posted,
// different lanes side by side. A job touches only what its lane was given;
// the window's thread reads a lane's results once the lane is idle. The
// lanes of one place (a folder) run on one thread: threads making files in
// the same folder only wait on its lock, spinning.
//
// The bytes posted and not yet written are bounded: HasRoom() says when
// more may be posted. An owner that was told no (no room, or not idle)
// hears from its own event loop once jobs have finished since; an owner
// that waits for nothing is not woken.
class DiskWriters {
 public:
  using Job = std::function<void()>;
  class Lane;
  using LanePtr = std::shared_ptr<Lane>;

  // A few MB: what a fast network outruns the disk by, at the most.
  static constexpr qint64 kDefaultMostQueuedBytes = 4 * 1024 * 1024;

  // The writers a machine gets: its cores, at least 2 and at most 4 (the
  // disk, not the CPU, bounds them).
  static int ForMachine();

  // `threads` of 0 or less: ForMachine(). Must be made on the thread whose
  // event loop hears of progress.
  explicit DiskWriters(int threads = 0,
                       qint64 most_queued_bytes = kDefaultMostQueuedBytes);
  // Runs every job posted, then ends the threads: nothing posted is lost.
  ~DiskWriters();
  DiskWriters(const DiskWriters&) = delete;
  DiskWriters& operator=(const DiskWriters&) = delete;

  // A lane for work in `place`.
  LanePtr NewLane(const QString& place = {});
  // Queues `job` at the end of `lane`; `bytes` counts against the bound
  // until the job has run. A job must not throw.
  void Post(const LanePtr& lane, Job job, qint64 bytes = 0);
  // Runs `lane`'s jobs before those of every other lane from now on: the
  // lane the window's thread waits for.
  void Hurry(const LanePtr& lane);
  // Whether `bytes` more may be posted now: always when nothing waits.
  bool HasRoom(qint64 bytes) const;
  // Whether nothing of `lane` is queued or running.
  bool Idle(const Lane& lane) const;
  // Whether nothing of any lane is queued or running.
  bool Idle() const;
  // Blocks for bytes on their way to the disk, used again once written, so
  // a download of many files neither allocates nor faults in a fresh block
  // for each piece. Safe from any thread.
  QByteArray TakeBlock(qsizetype capacity);
  void GiveBack(QByteArray block);
  // Called from the owner's event loop after jobs have finished, when one
  // of the three above said no since the last call; several finishes may
  // make one call.
  void set_on_progress(std::function<void()> on_progress) {
    on_progress_ = std::move(on_progress);
  }

 private:
  // A thread's lanes with jobs and none running, and its wake-up.
  struct Queue {
    std::deque<LanePtr> ready;
    std::condition_variable work_ready;
  };

  void Work(Queue& queue);
  // Under the lock: the owner hears of the next finish.
  bool Refused() const {
    awaited_ = true;
    return false;
  }
  void TellOwner();
  // Queues a lane with jobs to be taken: at the back, or the front when
  // hurried. Under the lock.
  void Ready(LanePtr lane);

  const qint64 most_queued_bytes_;
  mutable std::mutex mutex_;
  std::vector<Queue> queues_;  // one for each thread
  qint64 queued_bytes_ = 0;
  int busy_lanes_ = 0;            // lanes with jobs queued or running
  mutable bool awaited_ = false;  // the owner was told no since it heard
  // Emptied blocks, for TakeBlock(); the bytes bound's worth at most.
  std::vector<QByteArray> spare_blocks_;
  bool ending_ = false;
  std::vector<std::thread> threads_;
  // Lives on the owner's thread: progress is told there.
  QObject owner_side_;
  std::atomic<bool> told_ = false;
  std::function<void()> on_progress_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_DISK_WRITERS_H_
