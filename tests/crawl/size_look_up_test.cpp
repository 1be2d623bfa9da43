#include "crawl/size_look_up.h"

#include <QtTest>

#include "support/fake_file_list.h"
#include "support/fake_http.h"

namespace trawlbox {
namespace {

// Lets events run until the look-up has nothing left under way.
void WaitUntilDone(const SizeLookUp& look_up) {
  QTRY_VERIFY_WITH_TIMEOUT(!look_up.running(), 5000);
}

}  // namespace

class SizeLookUpTest : public QObject {
  Q_OBJECT

 private slots:
  // Rows by their names: "=N" exact, "~N" rounded, "!" failed while
  // listed; the server's length for each HEAD, "404" for a failure.
  void AsksOnceForEachFileWithoutAnExactSize_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QStringList>("sizes");
    QTest::newRow("unknown and rounded are asked, exact are not")
        << QStringList{"a.iso", "b.img ~1024", "c.txt =5"}
        << QStringList{"a.iso", "b.img"} << QStringList{"=10", "=10", "=5"};
    QTest::newRow("folders and failed rows are not asked")
        << QStringList{"d/", "e.bin !", "f.bin"} << QStringList{"f.bin"}
        << QStringList{"", "", "=10"};
    QTest::newRow("a failed HEAD leaves the size as it was")
        << QStringList{"404.bin ~2048", "g.bin"}
        << QStringList{"404.bin", "g.bin"} << QStringList{"~2048", "=10"};
    QTest::newRow("no length, no size")
        << QStringList{"nolength.bin"} << QStringList{"nolength.bin"}
        << QStringList{""};
  }
  void AsksOnceForEachFileWithoutAnExactSize() {
    QFETCH(QStringList, rows);
    QFETCH(QStringList, asked);
    QFETCH(QStringList, sizes);
    FakeFileList list;
    FakeHttp http;
    http.SetRoom(2);
    http.serve = [](const QString& address) {
      Response head{.status = 200, .content_length = "10"};
      if (address.contains("404")) head.status = 404;
      if (address.contains("nolength")) head.content_length.clear();
      return FakeHttp::Try{.pieces = {}, .end = head};
    };
    const QString site = "http://h/";
    for (const QString& row : rows) {
      const QStringList parts = row.split(' ');
      list.Add(site + parts[0]);
      const QString mark = parts.value(1);
      const qint64 bytes = mark.mid(1).toLongLong();
      if (mark.startsWith('='))
        list.SetSize(list.Count(), RowSize::Exact(bytes));
      if (mark.startsWith('~'))
        list.SetSize(list.Count(), RowSize::Approx(bytes));
      if (mark == "!") list.MarkFailed(list.Count(), "HTTP 404 Not Found");
    }
    SizeLookUp look_up(list, http.run());
    look_up.Start();
    WaitUntilDone(look_up);
    look_up.Start();  // nothing is asked twice
    WaitUntilDone(look_up);
    QStringList looked;
    for (const QString& address : http.looked)
      looked << address.mid(site.size());
    QCOMPARE(looked, asked);
    QVERIFY(http.peak <= 2);
    QStringList shown;
    for (qsizetype i = 1; i <= list.Count(); ++i) {
      const RowSize size = list.SizeOf(i);
      shown << (size.unknown()
                    ? QString()
                    : (size.exact() ? "=" : "~") + QString::number(size.bytes));
    }
    QCOMPARE(shown, sizes);
  }

  // Paused, its HEADs end and their rows count as asked; stopped, it asks
  // for nothing more until the list is filled anew.
  void PauseAndStopEndWhatRuns() {
    FakeFileList list;
    FakeHttp http;
    http.SetRoom(1);
    http.serve = [](const QString&) {
      return FakeHttp::Try{
          .pieces = {}, .end = Response{.status = 200, .content_length = "7"}};
    };
    for (const char* name : {"a", "b", "c", "d"})
      list.Add(QString("http://h/") + name);
    http.held = {"http://h/a", "http://h/c"};
    SizeLookUp look_up(list, http.run());
    look_up.Start();
    QTRY_COMPARE(http.Running(), QStringList{"http://h/a"});
    look_up.Pause();
    QVERIFY(http.Running().isEmpty());
    QVERIFY(!look_up.running());
    look_up.Start();
    QTRY_COMPARE(http.Running(), QStringList{"http://h/c"});
    look_up.Stop();
    look_up.Start();
    QTest::qWait(20);
    QCOMPARE(http.looked,
             QStringList({"http://h/a", "http://h/b", "http://h/c"}));
    QVERIFY(list.SizeOf(1).unknown() && list.SizeOf(2).exact());
    look_up.Reset();
    http.held.clear();
    look_up.Start();
    WaitUntilDone(look_up);
    QCOMPARE(look_up.requests(), 3);  // a, c and d: b is known
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::SizeLookUpTest)
#include "size_look_up_test.moc"
