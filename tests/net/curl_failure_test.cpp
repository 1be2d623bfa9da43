#include "net/curl_failure.h"

#include <QtTest>

namespace trawlbox {

class CurlFailureTest : public QObject {
  Q_OBJECT

 private slots:
  // Which of libcurl's codes another try may not meet.
  void TransientCodesAreKnown_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("transient");
    const auto row = [](const char* name, CURLcode code, bool transient) {
      QTest::newRow(name) << static_cast<int>(code) << transient;
    };
    row("couldn't connect", CURLE_COULDNT_CONNECT, true);
    row("got nothing", CURLE_GOT_NOTHING, true);
    row("partial file", CURLE_PARTIAL_FILE, true);
    row("receive error", CURLE_RECV_ERROR, true);
    row("send error", CURLE_SEND_ERROR, true);
    row("timed out", CURLE_OPERATION_TIMEDOUT, true);
    row("TLS connect error", CURLE_SSL_CONNECT_ERROR, true);
    row("HTTP/2", CURLE_HTTP2, true);
    row("HTTP/2 stream", CURLE_HTTP2_STREAM, true);
    row("certificate", CURLE_PEER_FAILED_VERIFICATION, false);
    row("malformed address", CURLE_URL_MALFORMAT, false);
    row("too many redirects", CURLE_TOO_MANY_REDIRECTS, false);
  }
  void TransientCodesAreKnown() {
    QFETCH(int, code);
    QFETCH(bool, transient);
    QCOMPARE(IsTransientCode(static_cast<CURLcode>(code)), transient);
  }

  // Lengths libcurl's 64-bit counter cannot hold.
  void LengthsBeyondAnyBody_data() {
    QTest::addColumn<QByteArray>("length");
    QTest::addColumn<bool>("beyond");
    QTest::newRow("none") << QByteArray() << false;
    QTest::newRow("small") << QByteArray("123") << false;
    QTest::newRow("18 digits") << QByteArray(18, '9') << false;
    QTest::newRow("19 digits") << QByteArray("1000000000000000000") << true;
    QTest::newRow("leading zeros")
        << QByteArray(30, '0') + QByteArray("123") << false;
    QTest::newRow("not a number")
        << QByteArray("12345678901234567890x") << false;
  }
  void LengthsBeyondAnyBody() {
    QFETCH(QByteArray, length);
    QFETCH(bool, beyond);
    QCOMPARE(BeyondAnyBody(length), beyond);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::CurlFailureTest)
#include "curl_failure_test.moc"
