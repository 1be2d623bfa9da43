#include "core/disk_writers.h"

#include <QThread>
#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
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
    Gate gate;  // the owner is told no before anything ends
    writers.Post(lanes[0], [&] { gate.Wait(); });
    for (int job = 0; job < kJobs; ++job) {
      for (int lane = 0; lane < kLanes; ++lane) {
        writers.Post(lanes[lane],
                     [&, lane, job] { done[lane].push_back(job); });
      }
    }
    QVERIFY(!writers.Idle());
    gate.Let();
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

  // The owner hears of finished jobs only when it was told no since.
  void ProgressIsToldToAnOwnerThatWaits_data() {
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("heard");
    QTest::newRow("nothing asked") << "" << false;
    QTest::newRow("room given") << "room for none" << false;
    QTest::newRow("room refused") << "room for one" << true;
    QTest::newRow("its lane busy") << "lane idle" << true;
    QTest::newRow("the writers busy") << "all idle" << true;
  }
  void ProgressIsToldToAnOwnerThatWaits() {
    QFETCH(QString, asked);
    QFETCH(bool, heard);
    DiskWriters writers(2, 4);
    const DiskWriters::LanePtr lane = writers.NewLane();
    int heard_times = 0;
    writers.set_on_progress([&] { ++heard_times; });
    Gate gate;
    std::atomic<bool> after = false;
    writers.Post(
        lane, [&] { gate.Wait(); }, 4);
    // Runs once the first job's end is told, if it is.
    writers.Post(lane, [&] { after = true; });
    const std::map<QString, std::function<bool()>> questions = {
        {"", [] { return false; }},
        {"room for none", [&] { return writers.HasRoom(0); }},
        {"room for one", [&] { return writers.HasRoom(1); }},
        {"lane idle", [&] { return writers.Idle(*lane); }},
        {"all idle", [&] { return writers.Idle(); }}};
    QCOMPARE(questions.at(asked)(), asked == "room for none");
    gate.Let();
    QVERIFY(QTest::qWaitFor([&] { return after.load(); }));
    QCoreApplication::processEvents();
    QCOMPARE(heard_times, heard ? 1 : 0);
  }

  // A block given back is taken again, emptied, while the spare blocks
  // stay within the bytes bound.
  void BlocksAreUsedAgain() {
    QByteArray probe;
    probe.reserve(4);
    DiskWriters writers(2, 2 * probe.capacity());  // room for two spares
    QByteArray blocks[3];
    for (QByteArray& block : blocks) {
      block = writers.TakeBlock(4);
      block.append("full");
    }
    const char* const first = blocks[0].constData();
    for (QByteArray& block : blocks) writers.GiveBack(std::move(block));
    const QByteArray again = writers.TakeBlock(4);
    QVERIFY(again.isEmpty() && again.capacity() >= 4);
    QVERIFY(again.constData() != first);  // the third went: no room for it
    QVERIFY(writers.TakeBlock(4).constData() == first);
    QVERIFY(writers.TakeBlock(16).capacity() >= 16);
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
