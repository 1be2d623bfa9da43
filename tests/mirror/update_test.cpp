// An update asks for each ticked file the folder holds only if it changed
// since it was stored, and leaves the unchanged ones as they are; without
// it every request is the plain one of old.
#include <QFile>
#include <QtTest>

#include "mirror/etag_record.h"
#include "support/download_fixture.h"
#include "support/files.h"
#include "support/range_server.h"

namespace trawlbox {
namespace {

const QByteArray kDate = "Tue, 05 Mar 2024 06:07:08 GMT";
const QByteArray kLater = "Wed, 06 Mar 2024 00:00:00 GMT";
const QDateTime kTime(QDate(2024, 3, 5), QTime(6, 7, 8), Qt::UTC);
const QDateTime kLaterTime(QDate(2024, 3, 6), QTime(0, 0), Qt::UTC);

constexpr DownloadMode kUpdate{.update = true};

QStringList Failures(FileList& list) {
  QStringList failures;
  for (qsizetype row = 1; row <= list.Count(); ++row) {
    failures << list.FailureOf(row);
  }
  return failures;
}

QDateTime TimeOf(const QString& path) {
  return QFileInfo(path).lastModified().toUTC();
}

}  // namespace

class UpdateTest : public QObject {
  Q_OBJECT

 private slots:
  void AsksOnlyForWhatChanged() {
    RangeServer server({{"/", {"<a href=a.bin>", "\"i\"", kDate}},
                        {"/a.bin", {"aaaa", "\"a1\"", kDate}},
                        {"/b.bin", {"bbbb", QByteArray(), kDate}}});
    DownloadFixture fixture;
    const QString s = server.Url("");
    fixture.SetStart(s);
    for (const char* path : {"/", "/a.bin", "/b.bin"}) {
      fixture.list().Add(s + path);
    }
    // Without an update, a second run asks for everything again, plainly.
    fixture.StartDownloading();
    fixture.StartDownloading();
    QCOMPARE(TimeOf(fixture.Dest("a.bin")), kTime);
    for (const char* header :
         {"If-Modified-Since", "If-None-Match", "Range", "If-Range"}) {
      QCOMPARE(server.Sent("/a.bin", header), QByteArrayList({"", ""}));
    }
    QVERIFY(!QFile::exists(fixture.Dest(EtagRecord::kFileName)));

    // Changed on the server without a new date or ETag: a 304 proves that
    // the stored copy stayed.
    server.Put("/a.bin", {"AAAA", "\"a1\"", kDate});
    fixture.captions.clear();
    fixture.StartDownloading(kUpdate);
    QCOMPARE(ReadAll(fixture.Dest("a.bin")), QByteArray("aaaa"));
    QCOMPARE(server.Sent("/a.bin", "If-Modified-Since").last(), kDate);
    QCOMPARE(server.Sent("/a.bin", "If-None-Match").last(), QByteArray());
    QVERIFY(fixture.captions.contains("Up to date: " + s + "/a.bin"));
    QVERIFY(fixture.captions.contains("Up to date: " + s + "/b.bin"));
    // The folder's page comes as always.
    QCOMPARE(server.Sent("/", "If-Modified-Since").last(), QByteArray());
    QCOMPARE(Failures(fixture.list()), QStringList({"", "", ""}));
    QVERIFY(QFile::exists(fixture.Dest(EtagRecord::kFileName)));

    // A file that changed comes again; the ETag recorded is asked about.
    server.Put("/b.bin", {"new b", QByteArray(), kLater});
    fixture.StartDownloading(kUpdate);
    QCOMPARE(server.Sent("/a.bin", "If-None-Match").last(),
             QByteArray("\"a1\""));
    QCOMPARE(ReadAll(fixture.Dest("b.bin")), QByteArray("new b"));
    QCOMPARE(TimeOf(fixture.Dest("b.bin")), kLaterTime);
    QCOMPARE(ReadAll(fixture.Dest("a.bin")), QByteArray("aaaa"));
    QCOMPARE(Failures(fixture.list()), QStringList({"", "", ""}));
    QCOMPARE(fixture.prompts.texts(), QStringList(4, "Done."));
  }

  // A server that ignores the conditions: a file no newer than the copy is
  // still taken for unchanged (libcurl reads no further), one with no date
  // comes whole. A damaged record is no ETag, and no box.
  void AServerThatIgnoresTheConditions_data() {
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("the same date") << kDate << QByteArray("old");
    QTest::newRow("no date") << QByteArray() << QByteArray("new");
  }
  void AServerThatIgnoresTheConditions() {
    QFETCH(QByteArray, date);
    QFETCH(QByteArray, stored);
    RangeServer server({{"/f", {"new", QByteArray(), date}}},
                       [](const QByteArray&, int) {
                         return RangeServer::Answer{.ignore_conditions = true};
                       });
    DownloadFixture fixture;
    fixture.SetStart(server.Url(""));
    fixture.list().Add(server.Url("/f"));
    WriteFile(fixture.Dest("f"), "old");
    QFile old(fixture.Dest("f"));
    QVERIFY(old.open(QIODevice::Append) &&
            old.setFileTime(kTime, QFileDevice::FileModificationTime));
    old.close();
    WriteFile(fixture.Dest(EtagRecord::kFileName), "{\"etags\": [[[");
    fixture.StartDownloading(kUpdate);
    QCOMPARE(server.Sent("/f", "If-Modified-Since"), QByteArrayList({kDate}));
    QCOMPARE(ReadAll(fixture.Dest("f")), stored);
    QCOMPARE(Failures(fixture.list()), QStringList({""}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::UpdateTest)
#include "update_test.moc"
