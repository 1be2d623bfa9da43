#include "net/request_run.h"

#include <QtTest>
#include <memory>
#include <vector>

#include "support/fake_http.h"

namespace trawlbox {
namespace {

// A clock whose hands the test turns: a backoff rings only when told.
struct HandClock : RunClock {
  qint64 NowMs() const override { return now; }
  void RingAt(qint64 at_ms, std::function<void()> ring_now) override {
    at = at_ms;
    ring = std::move(ring_now);
  }
  qint64 now = 0;
  qint64 at = -1;
  std::function<void()> ring;
};

// A GET of one address.
struct Get : Fetch {
  explicit Get(QString where) : address(std::move(where)) {}
  Result<Ask> NextTry() override { return Ask{.address = address}; }
  const QString address;
};

// A GET whose body pauses until `ready`: the work it waits for.
struct PausedGet : Get {
  using Get::Get;
  HttpTransfer::Take Take(const char*, qsizetype size) override {
    if (!ready) return HttpTransfer::Take::kPause;
    taken += size;
    return HttpTransfer::Take::kTaken;
  }
  Unpaused Unpause() override {
    ++asked;
    return ready ? Unpaused::kResume : Unpaused::kStayPaused;
  }
  bool ready = false;
  int asked = 0;
  qsizetype taken = 0;
};

}  // namespace

class RequestRunTest : public QObject {
  Q_OBJECT

 private slots:
  // The run keeps its requests within the connections, and within the
  // streams once the server has answered over HTTP/2; one connection is
  // one request at a time whatever the protocol.
  void RoomFollowsTheConnectionsAndTheProtocol_data() {
    QTest::addColumn<int>("connections");
    QTest::addColumn<QByteArray>("protocol");
    QTest::addColumn<int>("peak");
    QTest::newRow("HTTP/1.1, two") << 2 << QByteArray("HTTP/1.1") << 2;
    QTest::newRow("HTTP/2, two") << 2 << QByteArray("HTTP/2") << 32;
    QTest::newRow("HTTP/2, one") << 1 << QByteArray("HTTP/2") << 1;
  }
  void RoomFollowsTheConnectionsAndTheProtocol() {
    QFETCH(int, connections);
    QFETCH(QByteArray, protocol);
    QFETCH(int, peak);
    FakeHttp http;
    http.SetRoom(connections);
    http.serve = [&](const QString&) {
      return FakeHttp::Try{{"x"},
                           Response{.status = 200, .protocol = protocol}};
    };
    std::vector<std::unique_ptr<Get>> gets;
    for (int i = 0; i < 40; ++i) {
      gets.push_back(std::make_unique<Get>(QString("http://h/%1").arg(i)));
      http.run().Start(*gets.back());
    }
    QCOMPARE(http.run().in_flight(), connections);
    for (const auto& get : gets) {
      QVERIFY(http.run().Wait(*get, [] { return false; }).ok());
    }
    QCOMPARE(http.peak, peak);
    QCOMPARE(http.run().in_flight(), 0);
  }

  // What may pass is tried again after the policy's backoff, or after
  // what Retry-After asks when that is longer; an error status fails as
  // "HTTP 404 Not Found", carrying its code. No test sleeps: the clock
  // rings when told.
  void TriesAgainAfterTheBackoff_data() {
    QTest::addColumn<QList<FakeHttp::Try>>("tries");
    QTest::addColumn<QList<qint64>>("delays");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("code");
    const FakeHttp::Try cut{{}, Status::Transient("cut")};
    const FakeHttp::Try good{{"x"}, Response{.status = 200}};
    const FakeHttp::Try busy{{},
                             Response{.status = 503,
                                      .reason = "Service Unavailable",
                                      .retry_after = "3"}};
    QTest::newRow("cut twice")
        << QList{cut, cut, good} << QList<qint64>{500, 1000} << QString() << 0;
    QTest::newRow("Retry-After")
        << QList{busy, good} << QList<qint64>{3000} << QString() << 0;
    QTest::newRow("404") << QList{FakeHttp::Try{
                                {},
                                Response{.status = 404, .reason = "Not Found"}}}
                         << QList<qint64>{} << QString("HTTP 404 Not Found")
                         << 404;
    QTest::newRow("retries spent")
        << QList{cut, cut, cut, cut} << QList<qint64>{500, 1000, 2000}
        << QString("cut") << 0;
    QTest::newRow("still busy")
        << QList{busy, busy, busy, busy} << QList<qint64>{3000, 3000, 3000}
        << QString("HTTP 503 Service Unavailable") << 503;
  }
  void TriesAgainAfterTheBackoff() {
    QFETCH(QList<FakeHttp::Try>, tries);
    QFETCH(QList<qint64>, delays);
    QFETCH(QString, failure);
    QFETCH(int, code);
    FakeHttp http;
    http.tries.assign(tries.begin(), tries.end());
    EventPump pump;
    auto clock = std::make_unique<HandClock>();
    HandClock& hands = *clock;
    RequestRun run(http, pump, RunSettings{}, std::move(clock));
    Get get("http://h/f");
    run.Start(get);
    QList<qint64> seen;
    while (!get.ended()) {
      QVERIFY(QTest::qWaitFor([&] { return get.ended() || hands.ring; }));
      if (!hands.ring) break;
      seen << hands.at - hands.now;
      hands.now = hands.at;
      std::exchange(hands.ring, nullptr)();
    }
    QCOMPARE(seen, delays);
    QCOMPARE(get.answer().ok() ? QString() : get.answer().status().failure(),
             failure);
    QCOMPARE(get.answer().ok() ? 0 : get.answer().status().code(), code);
    QCOMPARE(http.asked.size(), tries.size());
  }

  // A body whose work is not ready stays paused, unasked, until the run is
  // told to ask again; it goes on from the piece it paused at.
  void APausedBodyWaitsUntilWoken() {
    FakeHttp http;
    http.tries = {{{"ab", "cd"}}};
    PausedGet get("http://h/a");
    http.run().Start(get);
    QVERIFY(QTest::qWaitFor([&] { return get.asked == 1; }));
    QTest::qWait(50);
    QCOMPARE(get.asked, 1);
    QVERIFY(!get.ended());
    get.ready = true;
    http.run().WakePaused();
    QVERIFY(http.run().Wait(get, [] { return false; }).ok());
    QCOMPARE(get.taken, 4);
  }

  // A stop ends the wait, not the fetch; a fetch dropped while it runs
  // gives its room to the next one.
  void StopAndDrop() {
    FakeHttp http;
    http.SetRoom(1);
    http.held = {"http://h/a"};
    auto a = std::make_unique<Get>("http://h/a");
    Get b("http://h/b");
    http.run().Start(*a);
    http.run().Start(b);
    QCOMPARE(http.Running(), QStringList{"http://h/a"});
    bool stop = false;
    QTimer::singleShot(0, [&] { stop = true; });
    QCOMPARE(http.run().Wait(*a, [&] { return stop; }).status().failure(),
             QString("Stopped by user"));
    QVERIFY(!a->ended());
    a.reset();
    QVERIFY(http.run().Wait(b, [] { return false; }).ok());
    QCOMPARE(http.asked, QStringList({"http://h/a", "http://h/b"}));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::RequestRunTest)
#include "request_run_test.moc"
