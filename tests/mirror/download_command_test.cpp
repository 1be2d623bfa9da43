#include <QtTest>
#include <optional>

#include "support/download_fixture.h"
#include "support/files.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

const QString kMissingFolder =
    "Folder does not exist. Please select another folder.";

}  // namespace

class DownloadCommandTest : public QObject {
  Q_OBJECT

 private slots:
  void MissingFolderStopsBeforeAnyRow() {
    DownloadFixture fixture;
    fixture.list().Add("http://s.example/a.gif");
    fixture.SetFolder("/no/such/folder/");
    fixture.StartDownloading();
    QCOMPARE(fixture.prompts.texts(), QStringList({kMissingFolder}));
    QCOMPARE(fixture.Caption(), QString("Progress Bar"));
    QVERIFY(!fixture.host.busy());
    // The flag is cleared: the next click is accepted.
    fixture.SetFolder(fixture.destination.path());
    fixture.list().SetTicked(1, false);
    fixture.StartDownloading();
    QCOMPARE(fixture.prompts.texts(), QStringList({kMissingFolder, "Done."}));
  }

  void EmptyListSaysDone() {
    DownloadFixture fixture;
    fixture.StartDownloading();
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
    // A plain message: the application title, no icon.
    QCOMPARE(fixture.prompts.boxes[0].title, fixture.prompts.app_title());
    QCOMPARE(fixture.prompts.boxes[0].icon, MessageIcon::kNone);
    QCOMPARE(fixture.status().Maximum(), 0);
    QCOMPARE(fixture.Caption(), QString("Progress Bar"));
    QCOMPARE(fixture.host.pointer_mode(), PointerMode::kDefault);
  }

  void OnlyTickedRowsAreTransferred() {
    TestServer server;
    for (const char* name : {"/1.txt", "/2.txt", "/3.txt"}) {
      server.Serve(name, std::string("body of ") + name, 200, "text/plain");
    }
    DownloadFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s);
    for (const char* name : {"/1.txt", "/2.txt", "/3.txt"}) {
      fixture.list().Add(s + name);
    }
    fixture.list().SetTicked(1, false);
    fixture.list().SetTicked(3, false);
    std::optional<PointerMode> pointer_at_done;
    fixture.prompts.on_show = [&](const RecordingPrompts::Box&) {
      pointer_at_done = fixture.host.pointer_mode();
    };
    fixture.StartDownloading();
    QCOMPARE(server.Requests("/1.txt") + server.Requests("/3.txt"), 0);
    QCOMPARE(server.Requests("/2.txt"), 1);
    QCOMPARE(fixture.status().Maximum(), 3);
    QCOMPARE(fixture.status().positions, QList<qint64>({2, 0}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
    QVERIFY(pointer_at_done == PointerMode::kDefault);
    QCOMPARE(Tree(fixture.destination.path()).size(), size_t(1));
  }

  void FolderAddressBecomesIndexHtm() {
    TestServer server;
    server.Serve("/docs/", "<html>docs</html>");
    DownloadFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s);
    fixture.list().Add(s + "/docs/");
    fixture.StartDownloading();
    QCOMPARE(ReadAll(fixture.Dest("docs/index.htm")),
             QByteArray("<html>docs</html>"));
    // The caption names the folder path, in the system's form, before the
    // file name is added.
    QCOMPARE(fixture.captions.first(),
             "Processing: " + QDir::toNativeSeparators(
                                  fixture.destination.path() + "/docs/"));
    QCOMPARE(fixture.captions[1], "Downloading: " + s + "/docs/");
    QCOMPARE(fixture.captions.last(), QString("Progress Bar"));
  }

  // A row whose request fails leaves no folder behind.
  void FailedRowsMakeNoFolders() {
    TestServer server;
    server.Serve("/doc/a/copyright/", "gone", 404);
    DownloadFixture fixture;
    fixture.SetStart(server.Url());
    fixture.list().Add(server.Url("/doc/a/copyright/"));
    fixture.StartDownloading();
    QVERIFY(QDir(fixture.destination.path()).isEmpty());
    QVERIFY(fixture.list().FailureOf(1).startsWith("HTTP 404"));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
  }

  void UnreachableServerMarksTheRowAndMakesNoFolder() {
    DownloadFixture fixture;
    fixture.SetStart("http://127.0.0.1:1");
    fixture.list().Add("http://127.0.0.1:1/docs/");
    fixture.StartDownloading();
    QVERIFY(!QFileInfo::exists(fixture.Dest("docs")));
    QVERIFY(!QFile::exists(fixture.Dest("docs/index.htm")));
    QVERIFY(!fixture.list().FailureOf(1).isEmpty());
    QCOMPARE(fixture.prompts.boxes.size(), 2);  // the failing read, "Done."
    QVERIFY(fixture.prompts.boxes[0].text.contains(
        "in Quaymill2021/08/31.Download.DownloadFile at line 136"));
  }

  void BadRowsAreReportedAndTheRunGoesOn() {
    TestServer server;
    server.Serve("/ok.txt", "fine", 200, "text/plain");
    server.Serve("/missing.txt", "nope", 404, "text/plain");
    DownloadFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s);
    FileList& list = fixture.list();
    list.Add(s + "/missing.txt");                // 404: marked, no box
    list.Add(s + "/x/../../escape.txt");         // climbs: never written
    list.Add("http://elsewhere.example/a.txt");  // outside the folder
    const std::string long_name = "/" + std::string(300, 'n') + ".txt";
    server.Serve(long_name, "too long a name", 200, "text/plain");
    list.Add(s + QString::fromStdString(long_name));  // refused by the disk
    list.Add(s + "/ok.txt");
    fixture.StartDownloading();
    QCOMPARE(ReadAll(fixture.Dest("ok.txt")), QByteArray("fine"));
    QVERIFY(list.FailureOf(1).startsWith("HTTP 404"));
    QVERIFY(!list.FailureOf(2).isEmpty());
    QVERIFY(!list.FailureOf(3).isEmpty());
    QVERIFY(!list.FailureOf(4).isEmpty());
    QVERIFY(list.FailureOf(5).isEmpty());
    QVERIFY(!QFile::exists(
        QFileInfo(fixture.destination.path()).dir().filePath("escape.txt")));
    QCOMPARE(fixture.prompts.texts().last(), QString("Done."));
    // The rows that could not be written are reported, then "Done.".
    QStringList reports;
    for (const auto& box : fixture.prompts.boxes) {
      if (box.title == "Application Error") {
        reports << box.text.section("\r\n", 0, 0) + " " +
                       box.text.section("at line ", 1).section("\r", 0, 0);
      }
    }
    // The climbing row and the foreign row name no place in the folder and
    // are refused before any request; the long name is refused when the
    // finished file takes its name.
    QVERIFY2(reports == QStringList({"Path not found 122", "Path not found 122",
                                     "File name too long 152"}),
             qPrintable(reports.join(" | ")));
    QCOMPARE(server.Requests("/x/../../escape.txt"), 0);
  }

  // A folder typed without its final separator holds the mirror all the
  // same, and nothing beside it is touched.
  void FolderTypedWithoutSeparator() {
    TestServer server;
    server.Serve("/", "root page");
    server.Serve("/a.txt", "inside", 200, "text/plain");
    DownloadFixture fixture;
    const QString folder = fixture.destination.filePath("m");
    QVERIFY(QDir().mkdir(folder));
    for (const QString& beside : {folder + "1", folder + "a.txt"}) {
      QFile file(beside);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("precious");
    }
    fixture.SetFolder(folder);
    const QString s = server.Url();
    fixture.SetStart(s + "/");
    fixture.list().Add(s + "/");
    fixture.list().Add(s + "/a.txt");
    fixture.StartDownloading();
    QCOMPARE(ReadAll(folder + "/index.htm"), QByteArray("root page"));
    QCOMPARE(ReadAll(folder + "/a.txt"), QByteArray("inside"));
    QCOMPARE(ReadAll(folder + "1"), QByteArray("precious"));
    QCOMPARE(ReadAll(folder + "a.txt"), QByteArray("precious"));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
  }

  // A row whose name hangs on the folders rows before it make gets the
  // name it gets when the rows run one after another, though they run side
  // by side. Each file holds its address.
  void NamesHangOnTheRowsBefore_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("stored");  // "path address"
    QTest::addColumn<QList<int>>("failed");
    QTest::newRow("a file named like a folder made before: numbered")
        << QStringList{"/p/q/r.txt", "/p/q"}
        << QStringList{"p/q/r.txt /p/q/r.txt", "p/q1 /p/q"} << QList<int>{};
    QTest::newRow("a folder where a file was stored: refused")
        << QStringList{"/a/b", "/a/b/c.txt"} << QStringList{"a/b /a/b"}
        << QList<int>{2};
  }
  void NamesHangOnTheRowsBefore() {
    QFETCH(QStringList, rows);
    QFETCH(QStringList, stored);
    QFETCH(QList<int>, failed);
    TestServer server;
    DownloadFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s);
    for (const QString& row : rows) {
      server.Serve(row.toStdString(), row.toStdString(), 200, "text/plain");
      fixture.list().Add(s + row);
    }
    fixture.StartDownloading();
    std::map<QString, QByteArray> expected;
    for (const QString& file : stored) {
      expected[file.section(' ', 0, 0)] = file.section(' ', 1).toUtf8();
    }
    QCOMPARE(Tree(fixture.destination.path()), expected);
    QList<int> refused;
    for (int row = 1; row <= rows.size(); ++row) {
      if (!fixture.list().FailureOf(row).isEmpty()) refused << row;
    }
    QCOMPARE(refused, failed);
  }

  // The free-name rule can move a path out of the folder (its number goes
  // before the last dot of the whole path): such a row is refused before
  // its request, and nothing is made outside.
  void RowsThatWouldLandOutsideAreRefused() {
    TestServer server;
    server.Serve("/docs", "a file named like a folder", 200, "text/plain");
    DownloadFixture fixture;
    const QString folder = fixture.destination.filePath("my.site");
    QVERIFY(QDir().mkpath(folder + "/docs"));
    fixture.SetFolder(folder);
    const QString s = server.Url();
    fixture.SetStart(s);
    fixture.list().Add(s + "/docs");
    fixture.StartDownloading();
    QCOMPARE(server.Requests("/docs"), 0);
    QVERIFY(!QFileInfo::exists(fixture.destination.filePath("my1.site")));
    QCOMPARE(fixture.list().FailureOf(1), QString("Path not found"));
    QCOMPARE(fixture.prompts.boxes.size(), 2);
    QVERIFY(fixture.prompts.boxes[0].text.startsWith("Path not found\r\n"));
    QVERIFY(fixture.prompts.boxes[0].text.contains("at line 122\r\r"));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::DownloadCommandTest)
#include "download_command_test.moc"
