#include "net/response.h"

#include <QtTest>

namespace trawlbox {

class ResponseTest : public QObject {
  Q_OBJECT

 private slots:
  // Lines of a head read in turn from a head where a redirect led, with a
  // field of the answer before; then what the head holds.
  void HeadLinesAreRead_data() {
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QList<int>>("kinds");     // of each line
    QTest::addColumn<QByteArrayList>("head");  // protocol, status, reason,
                                               // type, length, etag
    QTest::newRow("HTTP/1.1")
        << QByteArrayList{"HTTP/1.1 404 Not Found\r\n",
                          "content-type:  text/html \r\n", "\r\n"}
        << QList<int>{0, 2, 1}
        << QByteArrayList{"HTTP/1.1", "404", "Not Found", "text/html", "", ""};
    QTest::newRow("HTTP/2 takes the usual words")
        << QByteArrayList{"HTTP/2 404 \r\n", "Content-Length: 12\r\n"}
        << QList<int>{0, 2}
        << QByteArrayList{"HTTP/2", "404", "Not Found", "", "12", ""};
    QTest::newRow("a new answer forgets the last one's fields")
        << QByteArrayList{"HTTP/1.1 100 Continue\r\n", "ETag: \"a\"\r\n",
                          "\r\n", "HTTP/1.1 200 OK\r\n", "ETag: \"b\"\r\n"}
        << QList<int>{0, 2, 1, 0, 2}
        << QByteArrayList{"HTTP/1.1", "200", "OK", "", "", "\"b\""};
    QTest::newRow("a reason of several words, no colon, an empty name")
        << QByteArrayList{"HTTP/1.0 503 Service Unavailable\r\n", "junk\r\n",
                          ": x\r\n"}
        << QList<int>{0, 2, 2}
        << QByteArrayList{"HTTP/1.0", "503", "Service Unavailable", "", "", ""};
  }
  void HeadLinesAreRead() {
    QFETCH(QByteArrayList, lines);
    QFETCH(QList<int>, kinds);
    QFETCH(QByteArrayList, head);
    Response response{.content_type = "old", .final_address = "http://h/b"};
    QList<int> read;
    for (const QByteArray& line : lines) {
      read << int(ReadHeadLine(line, response));
    }
    QCOMPARE(read, kinds);
    QCOMPARE(
        (QByteArrayList{response.protocol, QByteArray::number(response.status),
                        response.reason, response.content_type,
                        response.content_length, response.etag}),
        head);
    QCOMPARE(response.final_address, QString("http://h/b"));
  }

  void WhatFollowsAHead_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("conditional");
    QTest::addColumn<int>("after");
    QTest::newRow("100") << 100 << false << int(AfterHead::kAnotherHead);
    QTest::newRow("200") << 200 << false << int(AfterHead::kBody);
    QTest::newRow("206") << 206 << true << int(AfterHead::kBody);
    QTest::newRow("301") << 301 << false << int(AfterHead::kRedirect);
    QTest::newRow("304 asked for")
        << 304 << true << int(AfterHead::kUnreadBody);
    QTest::newRow("304 unasked") << 304 << false << int(AfterHead::kRedirect);
    QTest::newRow("404") << 404 << false << int(AfterHead::kUnreadBody);
  }
  void WhatFollowsAHead() {
    QFETCH(int, status);
    QFETCH(bool, conditional);
    QFETCH(int, after);
    QCOMPARE(int(AfterHeadOf(status, conditional)), after);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::ResponseTest)
#include "response_test.moc"
