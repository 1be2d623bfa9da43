#include "mirror/resume_rule.h"

#include <QtTest>

namespace trawlbox {
namespace {

const PartOrigin kPart{.address = "http://h/f",
                       .etag = "\"v1\"",
                       .last_modified = "Tue, 01 Dec 2026 10:00:00 GMT",
                       .length = 1000};

}  // namespace

class ResumeRuleTest : public QObject {
  Q_OBJECT

 private slots:
  // The first answer's head: what a later try goes on under, and whether
  // the part is noted beside its file for a run after a crash.
  void FirstAnswersMakeParts_data() {
    QTest::addColumn<QByteArray>("length");
    QTest::addColumn<QByteArray>("etag");
    QTest::addColumn<QByteArray>("modified");
    QTest::addColumn<QByteArray>("if_range");  // empty: no part
    QTest::addColumn<bool>("noted");
    QTest::newRow("a strong ETag")
        << QByteArray("1000") << QByteArray("\"a\"") << QByteArray("Tue")
        << QByteArray("\"a\"") << false;
    QTest::newRow("a weak ETag goes by the date")
        << QByteArray("1000") << QByteArray("W/\"a\"") << QByteArray("Tue")
        << QByteArray("Tue") << false;
    QTest::newRow("no validator") << QByteArray("2000000") << QByteArray()
                                  << QByteArray() << QByteArray() << false;
    QTest::newRow("no length") << QByteArray() << QByteArray("\"a\"")
                               << QByteArray() << QByteArray() << false;
    QTest::newRow("empty body") << QByteArray("0") << QByteArray("\"a\"")
                                << QByteArray() << QByteArray() << false;
    QTest::newRow("a MiB less a byte")
        << QByteArray("1048575") << QByteArray("\"a\"") << QByteArray()
        << QByteArray("\"a\"") << false;
    QTest::newRow("a MiB") << QByteArray("1048576") << QByteArray("\"a\"")
                           << QByteArray() << QByteArray("\"a\"") << true;
  }
  void FirstAnswersMakeParts() {
    QFETCH(QByteArray, length);
    QFETCH(QByteArray, etag);
    QFETCH(QByteArray, modified);
    QFETCH(QByteArray, if_range);
    QFETCH(bool, noted);
    const std::optional<PartOrigin> origin =
        PartOriginOf("http://h/f", Response{.status = 200,
                                            .content_length = length,
                                            .etag = etag,
                                            .last_modified = modified});
    QCOMPARE(origin ? IfRangeOf(*origin) : QByteArray(), if_range);
    QCOMPARE(origin && NotedBeside(*origin), noted);
  }

  // The answer to "Range: bytes=600-" of kPart.
  void RangesGoOnOnlyWithTheSameFile_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("range");
    QTest::addColumn<QByteArray>("etag");
    QTest::addColumn<bool>("goes_on");
    QTest::newRow("the rest") << 206 << QByteArray("bytes 600-999/1000")
                              << QByteArray("\"v1\"") << true;
    QTest::newRow("the rest, no ETag said")
        << 206 << QByteArray("bytes 600-999/1000") << QByteArray() << true;
    QTest::newRow("another ETag") << 206 << QByteArray("bytes 600-999/1000")
                                  << QByteArray("\"v2\"") << false;
    QTest::newRow("from elsewhere") << 206 << QByteArray("bytes 0-999/1000")
                                    << QByteArray("\"v1\"") << false;
    QTest::newRow("another length") << 206 << QByteArray("bytes 600-1199/1200")
                                    << QByteArray("\"v1\"") << false;
    QTest::newRow("short of the end") << 206 << QByteArray("bytes 600-899/1000")
                                      << QByteArray("\"v1\"") << false;
    QTest::newRow("unknown total") << 206 << QByteArray("bytes 600-999/*")
                                   << QByteArray("\"v1\"") << false;
    QTest::newRow("the whole file")
        << 200 << QByteArray() << QByteArray("\"v1\"") << false;
    QTest::newRow("not satisfiable")
        << 416 << QByteArray("bytes */1000") << QByteArray("\"v1\"") << false;
  }
  void RangesGoOnOnlyWithTheSameFile() {
    QFETCH(int, status);
    QFETCH(QByteArray, range);
    QFETCH(QByteArray, etag);
    QFETCH(bool, goes_on);
    QCOMPARE(
        ContinuesPart(
            kPart, 600,
            Response{.status = status, .etag = etag, .content_range = range}),
        goes_on);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::ResumeRuleTest)
#include "resume_rule_test.moc"
