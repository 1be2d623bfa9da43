#include "net/scheduler.h"

#include <QtTest>
#include <stdexcept>

namespace trawlbox {

class SchedulerTest : public QObject {
  Q_OBJECT

 private slots:
  // Wakes before the loop runs make one pass; a wake from inside a pass
  // makes another; a pass that throws leaves the loop working.
  void PassesOncePerWakeAndSurvivesAFailure() {
    int passes = 0;
    Scheduler* loop = nullptr;
    Scheduler scheduler([&] {
      ++passes;
      if (passes == 1) loop->Wake();
      if (passes == 2) throw std::runtime_error("out of memory");
    });
    loop = &scheduler;
    QTest::ignoreMessage(QtWarningMsg,
                         "The request loop failed: out of memory");
    const std::function<void()> wake = scheduler.Waker();
    wake();
    wake();
    QCOMPARE(passes, 0);  // nothing runs before events do
    QVERIFY(QTest::qWaitFor([&] { return passes == 2; }));
    wake();
    QVERIFY(QTest::qWaitFor([&] { return passes == 3; }));
    QTest::qWait(20);
    QCOMPARE(passes, 3);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::SchedulerTest)
#include "scheduler_test.moc"
