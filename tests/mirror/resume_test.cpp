// A body cut off is gone on with from where it ended, when its first
// answer said what file it was; anything else starts the file again, and
// what a run leaves beside a file is gone on with or removed by the next.
#include <QFile>
#include <QtTest>
#include <algorithm>
#include <atomic>

#include "mirror/replacing_file.h"
#include "net/retry.h"
#include "support/downloader_fixture.h"
#include "support/files.h"
#include "support/range_server.h"

Q_DECLARE_METATYPE(trawlbox::RangeServer::Answer)

namespace trawlbox {
namespace {

const QByteArray kDate = "Tue, 05 Mar 2024 06:07:08 GMT";
const QDateTime kTime(QDate(2024, 3, 5), QTime(6, 7, 8), Qt::UTC);
constexpr qint64 kMiB = RetryCounter::kProgressBytes;

QStringList Entries(const QTemporaryDir& dir) {
  return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

RetryPolicy Retries(int retries) {
  return RetryPolicy{.retries = retries, .first_delay_ms = 1};
}

// The first answer for /f is cut after `bytes` of its body.
RangeServer::Plan CutFirstAfter(qint64 bytes) {
  return [bytes](const QByteArray&, int n) {
    return n == 1 ? RangeServer::Answer{.cut_after = bytes}
                  : RangeServer::Answer();
  };
}

}  // namespace

class ResumeTest : public QObject {
  Q_OBJECT

 private slots:
  // The second try asks for the rest under the first answer's validator,
  // the file is whole and each byte came once; the captions go on from
  // where the cut left them, and the file takes the server's time.
  void GoesOnAfterACut_data() {
    QTest::addColumn<QByteArray>("etag");
    QTest::addColumn<QByteArray>("if_range");
    QTest::newRow("an ETag") << QByteArray("\"v1\"") << QByteArray("\"v1\"");
    QTest::newRow("only a Last-Modified") << QByteArray() << kDate;
    QTest::newRow("a weak ETag") << QByteArray("W/\"v1\"") << kDate;
  }
  void GoesOnAfterACut() {
    QFETCH(QByteArray, etag);
    QFETCH(QByteArray, if_range);
    const QByteArray body = Pattern(300'000);
    RangeServer server({{"/f", {body, etag, kDate}}}, CutFirstAfter(200'000));
    DownloaderFixture fixture;
    QCOMPARE(fixture.Download(server.Url("/f"), "f").failure(), QString());
    QCOMPARE(ReadAll(fixture.dir.filePath("f")), body);
    QCOMPARE(server.Sent("/f", "Range"), QByteArrayList({"", "bytes=200000-"}));
    QCOMPARE(server.Sent("/f", "If-Range"), QByteArrayList({"", if_range}));
    QCOMPARE(server.BodyBytes(), body.size());
    const QList<int> shown = Percentages(fixture.status.captions);
    QVERIFY(std::is_sorted(shown.begin(), shown.end()));
    QCOMPARE(shown.last(), 100);
    QCOMPARE(QFileInfo(fixture.dir.filePath("f")).lastModified(), kTime);
    QCOMPARE(Entries(fixture.dir), QStringList({"f"}));
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  // What does not go on with the file starts it again from its first byte.
  void StartsAgainWhenTheRestDoesNotCome_data() {
    QTest::addColumn<RangeServer::Answer>("second");
    QTest::addColumn<bool>("changes");     // after the first answer
    QTest::addColumn<bool>("validators");  // the file has them
    QTest::addColumn<QByteArrayList>("ranges");
    const QByteArrayList restarted = {"", "bytes=200000-", ""};
    QTest::newRow("a 200 to the range")
        << RangeServer::Answer{.ignore_range = true} << false << true
        << QByteArrayList{"", "bytes=200000-"};
    QTest::newRow("a file that changed")
        << RangeServer::Answer() << true << true
        << QByteArrayList{"", "bytes=200000-"};
    QTest::newRow("another range")
        << RangeServer::Answer{.range_shift = 10} << false << true << restarted;
    QTest::newRow("another length")
        << RangeServer::Answer{.total_shift = 10} << false << true << restarted;
    QTest::newRow("no validator")
        << RangeServer::Answer() << false << false << QByteArrayList{"", ""};
  }
  void StartsAgainWhenTheRestDoesNotCome() {
    QFETCH(RangeServer::Answer, second);
    QFETCH(bool, changes);
    QFETCH(bool, validators);
    QFETCH(QByteArrayList, ranges);
    const QByteArray body = Pattern(300'000);
    const QByteArray changed = Pattern(280'000, 7);
    RangeServer* serving = nullptr;
    RangeServer server(
        {{"/f", validators ? RangeServer::File{body, "\"v1\"", kDate}
                           : RangeServer::File{body}}},
        [&](const QByteArray&, int n) {
          if (n == 1 && changes) serving->Put("/f", {changed, "\"v2\"", kDate});
          return n == 1   ? RangeServer::Answer{.cut_after = 200'000}
                 : n == 2 ? second
                          : RangeServer::Answer();
        });
    serving = &server;
    DownloaderFixture fixture;
    QCOMPARE(fixture.Download(server.Url("/f"), "f").failure(), QString());
    QCOMPARE(ReadAll(fixture.dir.filePath("f")), changes ? changed : body);
    QCOMPARE(server.Sent("/f", "Range"), ranges);
    QCOMPARE(Entries(fixture.dir), QStringList({"f"}));
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  // Each answer brings 1.5 MiB and is cut: with one retry the file still
  // comes whole, in four tries.
  void ProgressSpendsNoRetry() {
    const QByteArray body = Pattern(5 * kMiB);
    RangeServer server({{"/f", {body, "\"v1\""}}}, [](const QByteArray&, int) {
      return RangeServer::Answer{.cut_after = 3 * kMiB / 2};
    });
    DownloaderFixture fixture;
    fixture.engine.set_retry_policy(Retries(1));
    QCOMPARE(fixture.Download(server.Url("/f"), "f").failure(), QString());
    QCOMPARE(ReadAll(fixture.dir.filePath("f")), body);
    QCOMPARE(server.Requests("/f"), 4);
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  // A server that sends a little and cuts spends the retries; what came is
  // left beside the file, hidden, and the next download goes on with it.
  void ALittleAndACutSpendTheRetriesAndTheNextRunGoesOn() {
    const QByteArray body = Pattern(2 * kMiB);
    std::atomic<bool> cutting = true;
    RangeServer server({{"/f", {body, "\"v1\""}}}, [&](const QByteArray&, int) {
      return RangeServer::Answer{.cut_after = cutting ? 100'000 : -1};
    });
    DownloaderFixture fixture;
    fixture.engine.set_retry_policy(Retries(1));
    WriteFile(fixture.dir.filePath("f"), "old");
    QVERIFY(fixture.Download(server.Url("/f"), "f").transient());
    QCOMPARE(server.Requests("/f"), 2);
    QCOMPARE(fixture.prompts.boxes.size(), 1);
    QCOMPARE(ReadAll(fixture.dir.filePath("f")), QByteArray("old"));
    QCOMPARE(Entries(fixture.dir),
             QStringList({".f.trawlbox-note", ".f.trawlbox-part", "f"}));

    cutting = false;
    DownloaderFixture next;
    const QString path = fixture.dir.filePath("f");
    QVERIFY(next.DownloadTo(server.Url("/f"), PathText(path)).ok());
    QCOMPARE(ReadAll(path), body);
    QCOMPARE(server.Sent("/f", "Range").last(), QByteArray("bytes=200000-"));
    QCOMPARE(Entries(fixture.dir), QStringList({"f"}));
    // The captions count the whole file from where it was left.
    QCOMPARE(Percentages(next.status.captions).first(), 10);
  }

  // Escape in the middle of a long body leaves its start beside the file,
  // hidden, and the next download asks only for the rest. The first answer
  // breaks off at half the file, so that the server counts no more than it
  // sent before the stop; Escape comes once 45 % of the file is in.
  void TheNextRunGoesOnAfterEscape() {
    const QByteArray body = Pattern(4 * kMiB);
    RangeServer server({{"/f", {body, "\"v1\""}}}, CutFirstAfter(2 * kMiB));
    DownloaderFixture fixture;
    const QString path = fixture.dir.filePath("f");
    WriteFile(path, "old");
    bool stopped = false;
    fixture.cancel = [&] {
      const QList<int> shown = Percentages(fixture.status.captions);
      stopped = stopped || (!shown.isEmpty() && shown.last() >= 45);
      return stopped;
    };
    QCOMPARE(fixture.Download(server.Url("/f"), "f").failure(),
             kStoppedCaption);
    QCOMPARE(ReadAll(path), QByteArray("old"));
    QCOMPARE(Entries(fixture.dir),
             QStringList({".f.trawlbox-note", ".f.trawlbox-part", "f"}));
    const qint64 kept =
        QFileInfo(fixture.dir.filePath(".f.trawlbox-part")).size();
    QVERIFY(kept > 0 && kept < body.size());

    DownloaderFixture next;
    QVERIFY(next.DownloadTo(server.Url("/f"), PathText(path)).ok());
    QCOMPARE(ReadAll(path), body);
    QCOMPARE(server.Sent("/f", "Range"),
             QByteArrayList({"", "bytes=" + QByteArray::number(kept) + "-"}));
    QCOMPARE(server.Sent("/f", "If-Range"), QByteArrayList({"", "\"v1\""}));
    QVERIFY2(server.BodyBytes() <= body.size() * 11 / 10,
             qPrintable(QString::number(server.BodyBytes())));
    QCOMPARE(Entries(fixture.dir), QStringList({"f"}));
  }

  // What was left beside a file that nothing can go on with is removed,
  // and the file comes whole; nothing planted there is written through.
  void LeftoversThatCannotBeGoneOnWithGo_data() {
    QTest::addColumn<QString>("leftover");
    QTest::newRow("a part without a note") << "part";
    QTest::newRow("a note for another address") << "other";
    QTest::newRow("a damaged note") << "damaged";
#ifndef Q_OS_WIN
    QTest::newRow("a link in place of the part") << "link";
#endif
  }
  void LeftoversThatCannotBeGoneOnWithGo() {
    QFETCH(QString, leftover);
    const QByteArray body = Pattern(2 * kMiB);
    std::atomic<bool> cutting = true;
    RangeServer server(
        {{"/f", {body, "\"v1\""}}, {"/g", {body, "\"v1\""}}},
        [&](const QByteArray&, int) {
          return RangeServer::Answer{.cut_after = cutting ? 300'000 : -1};
        });
    DownloaderFixture fixture;
    fixture.engine.set_retry_policy(Retries(0));
    const QString part = fixture.dir.filePath(".f.trawlbox-part");
    const QString note = fixture.dir.filePath(".f.trawlbox-note");
    const QString victim = fixture.dir.filePath("victim");
    QVERIFY(!fixture.Download(server.Url("/f"), "f").ok());
    QVERIFY(QFile::exists(part) && QFile::exists(note));
    if (leftover == "part") QVERIFY(QFile::remove(note));
    if (leftover == "damaged") QVERIFY(WriteFile(note, "{\"address\": "));
    if (leftover == "link") {
      QVERIFY(WriteFile(victim, "victim"));
      QVERIFY(QFile::remove(part));
      QVERIFY(QFile::link(victim, part));
    }
    cutting = false;
    const QString address = server.Url(leftover == "other" ? "/g" : "/f");
    QVERIFY(fixture.Download(address, "f").ok());
    QCOMPARE(ReadAll(fixture.dir.filePath("f")), body);
    QCOMPARE(
        server.Sent("/f", "Range").size() + server.Sent("/g", "Range").size(),
        2);
    QVERIFY(!server.Sent(leftover == "other" ? "/g" : "/f", "Range")
                 .last()
                 .startsWith("bytes"));
    QStringList left = Entries(fixture.dir);
    left.removeOne("victim");
    QCOMPARE(left, QStringList({"f"}));
    if (leftover == "link") QCOMPARE(ReadAll(victim), QByteArray("victim"));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::ResumeTest)
#include "resume_test.moc"
