// The pump's passes, waits and sleeps end with the window: a close that
// arrives as an event ends the very call that let it run.
#include "core/event_pump.h"

#include <QtTest>

#include "core/app_error.h"

namespace trawlbox {

class EventPumpTest : public QObject {
  Q_OBJECT

 private slots:
  // The event also ends the wait it is in, so only the pump can tell the
  // command that the program is closing.
  void ShutdownEndsTheCallItArrivesIn_data() {
    QTest::addColumn<QString>("call");
    QTest::newRow("a pass") << "pass";
    QTest::newRow("a wait the same event completes") << "wait";
    QTest::newRow("a sleep the same event stops") << "sleep";
  }
  void ShutdownEndsTheCallItArrivesIn() {
    QFETCH(QString, call);
    EventPump pump;
    bool closed = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&] {
          closed = true;
          pump.RequestShutdown();
        },
        Qt::QueuedConnection);
    const auto run = [&] {
      if (call == "pass") {
        pump.PassEvents();
      } else if (call == "wait") {
        pump.WaitUntil([&] { return closed; });
      } else {
        pump.Sleep(60'000, [&] { return closed; });
      }
    };
    QVERIFY_THROWS_EXCEPTION(ShutdownRequested, run());
    QVERIFY(closed);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::EventPumpTest)
#include "event_pump_test.moc"
