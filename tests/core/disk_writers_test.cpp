#include "core/disk_writers.h"

#include <QThread>
#include <QtTest>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace trawlbox {
namespace {

// A job that waits until Let() is called: the writers hold its bytes.
struct Gate {
  void Wait() {
    std::unique_lock lock(mutex);
    open.wait(lock, [this] { return let; });
  }
  void Let() {
    const std::lock_guard lock(mutex);
    let = true;
    open.notify_all();
  }
  std::mutex mutex;
  std::condition_variable open;
  bool let = false;
};

}  // namespace

class DiskWritersTest : public QObject {
  Q_OBJECT

 private slots:
  // Each lane's jobs run in the order posted, lanes side by side, and the
  // owner hears of it on its own thread.
  void LanesKeepTheirOrder() {
    DiskWriters writers(4);
    constexpr int kLanes = 16;
    constexpr int kJobs = 50;
    std::vector<std::vector<int>> done(kLanes);
    std::vector<DiskWriters::LanePtr> lanes;
    for (int lane = 0; lane < kLanes; ++lane)
      lanes.push_back(writers.NewLane());
    bool heard_here = false;
    writers.set_on_progress(
        [&] { heard_here = QThread::currentThread() == thread(); });
    for (int job = 0; job < kJobs; ++job) {
      for (int lane = 0; lane < kLanes; ++lane) {
        writers.Post(lanes[lane],
                     [&, lane, job] { done[lane].push_back(job); });
      }
    }
    QVERIFY(QTest::qWaitFor([&] { return writers.Idle() && heard_here; }));
    std::vector<int> in_order(kJobs);
    for (int job = 0; job < kJobs; ++job) in_order[job] = job;
    for (int lane = 0; lane < kLanes; ++lane) {
      QCOMPARE(done[lane], in_order);
      QVERIFY(writers.Idle(*lanes[lane]));
    }
  }

  // The bytes of jobs not yet done are bounded; a lone piece always goes.
  void RoomIsBounded_data() {
    QTest::addColumn<qint64>("held");  // by a job that has not finished
    QTest::addColumn<qint64>("asked");
    QTest::addColumn<bool>("room");
    QTest::newRow("nothing held, more than the bound") << 0LL << 9LL << true;
    QTest::newRow("up to the bound") << 3LL << 1LL << true;
    QTest::newRow("past the bound") << 3LL << 2LL << false;
    QTest::newRow("the bound held") << 4LL << 1LL << false;
  }
  void RoomIsBounded() {
    QFETCH(qint64, held);
    QFETCH(qint64, asked);
    QFETCH(bool, room);
    DiskWriters writers(2, 4);
    const DiskWriters::LanePtr lane = writers.NewLane();
    Gate gate;
    if (held > 0)
      writers.Post(
          lane, [&] { gate.Wait(); }, held);
    QCOMPARE(writers.HasRoom(asked), room);
    QVERIFY(held == 0 || !writers.Idle(*lane));
    gate.Let();
    QVERIFY(QTest::qWaitFor([&] { return writers.Idle(); }));
    QVERIFY(writers.HasRoom(asked));
  }

  // Dropping the writers runs what was posted first: nothing is lost.
  void EndingRunsEverythingPosted() {
    int ran = 0;
    {
      DiskWriters writers(2);
      const DiskWriters::LanePtr lane = writers.NewLane();
      for (int job = 0; job < 100; ++job) writers.Post(lane, [&] { ++ran; });
    }
    QCOMPARE(ran, 100);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::DiskWritersTest)
#include "disk_writers_test.moc"
