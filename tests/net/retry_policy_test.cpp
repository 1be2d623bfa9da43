#include "net/retry_policy.h"

#include <QtTest>

#include "net/response.h"
#include "net/retry.h"

namespace trawlbox {

class RetryPolicyTest : public QObject {
  Q_OBJECT

 private slots:
  void Delays_data() {
    QTest::addColumn<int>("retry");
    QTest::addColumn<QByteArray>("retry_after");
    QTest::addColumn<int>("delay_ms");
    QTest::newRow("first") << 1 << QByteArray() << 500;
    QTest::newRow("second") << 2 << QByteArray() << 1000;
    QTest::newRow("third") << 3 << QByteArray() << 2000;
    QTest::newRow("backoff ends at 8 s") << 10 << QByteArray() << 8000;
    QTest::newRow("far beyond") << 1000 << QByteArray() << 8000;
    QTest::newRow("retry-after seconds") << 1 << QByteArray("1") << 1000;
    QTest::newRow("retry-after shorter than the backoff")
        << 3 << QByteArray(" 1 ") << 2000;
    QTest::newRow("retry-after up to 30 s") << 1 << QByteArray("120") << 30000;
    QTest::newRow("retry-after huge")
        << 1 << QByteArray("99999999999999999") << 30000;
    QTest::newRow("retry-after date")
        << 1 << QByteArray("Tue, 08 Dec 2026 10:00:05 GMT") << 5000;
    // The two older forms HTTP still allows.
    QTest::newRow("retry-after date, RFC 850")
        << 1 << QByteArray("Tuesday, 08-Dec-26 10:00:05 GMT") << 5000;
    QTest::newRow("retry-after date, asctime")
        << 1 << QByteArray("Tue Dec  8 10:00:05 2026") << 5000;
    QTest::newRow("retry-after date passed")
        << 1 << QByteArray("Tue, 08 Dec 2026 09:00:00 GMT") << 500;
    QTest::newRow("retry-after nonsense") << 2 << QByteArray("soon") << 1000;
    QTest::newRow("retry-after negative") << 1 << QByteArray("-5") << 500;
  }
  void Delays() {
    QFETCH(int, retry);
    QFETCH(QByteArray, retry_after);
    QFETCH(int, delay_ms);
    const QDateTime now(QDate(2026, 12, 8), QTime(10, 0), Qt::UTC);
    QCOMPARE(RetryPolicy().DelayMs(retry, retry_after, now), delay_ms);
  }

  // Which answers are tried again, and until when: tries that come to the
  // same answer, each leaving `kept_mib` of the body to go on from. A cut
  // try that kept a MiB more than any before it spends no retry; a restart
  // from the start makes no progress until it passes the most kept before.
  void RetryCounting_data() {
    QTest::addColumn<int>("status");  // 0: cut short, -1: a certificate
    QTest::addColumn<QByteArray>("retry_after");
    QTest::addColumn<int>("retries");
    QTest::addColumn<QList<double>>("kept_mib");  // after each try
    QTest::addColumn<QList<int>>("delays");       // -1: the answer stands
    const QList<double> none = {0, 0, 0};
    const QList<int> twice = {500, 1000, -1};
    QTest::newRow("200") << 200 << QByteArray() << 2 << none
                         << QList<int>{-1, -1, -1};
    QTest::newRow("404") << 404 << QByteArray() << 2 << none
                         << QList<int>{-1, -1, -1};
    QTest::newRow("503") << 503 << QByteArray() << 2 << none << twice;
    QTest::newRow("429 asking for 3 s")
        << 429 << QByteArray("3") << 2 << none << QList<int>{3000, 3000, -1};
    QTest::newRow("a reset") << 0 << QByteArray() << 2 << none << twice;
    QTest::newRow("a certificate")
        << -1 << QByteArray() << 2 << none << QList<int>{-1, -1, -1};
    QTest::newRow("a MiB each time")
        << 0 << QByteArray() << 1 << QList<double>{1, 2, 3, 4, 5}
        << QList<int>{500, 500, 500, 500, 500};
    QTest::newRow("less than a MiB")
        << 0 << QByteArray() << 1 << QList<double>{0.5, 0.9}
        << QList<int>{500, -1};
    QTest::newRow("a restart")
        << 0 << QByteArray() << 2 << QList<double>{3, 1, 3.5}
        << QList<int>{500, 1000, -1};
    QTest::newRow("no retries")
        << 0 << QByteArray() << 0 << QList<double>{5} << QList<int>{-1};
  }
  void RetryCounting() {
    QFETCH(int, status);
    QFETCH(QByteArray, retry_after);
    QFETCH(int, retries);
    QFETCH(QList<double>, kept_mib);
    QFETCH(QList<int>, delays);
    const Answer answer =
        Judged(status == 0    ? Answer(Status::Transient("cut"))
               : status == -1 ? Answer(Status::Failure("certificate"))
                              : Answer(Response{.status = status}));
    const Status outcome = answer.ok() ? Status() : answer.status();
    RetryPolicy policy;
    policy.retries = retries;
    RetryCounter counter(policy);
    QList<int> seen;
    for (const double mib : kept_mib) {
      seen << counter
                  .NextDelayMs(outcome, retry_after,
                               qint64(mib * RetryCounter::kProgressBytes))
                  .value_or(-1);
    }
    QCOMPARE(seen, delays);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::RetryPolicyTest)
#include "retry_policy_test.moc"
