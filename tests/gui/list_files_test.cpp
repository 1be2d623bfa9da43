// Save List, Open List, Export for aria2 and Copy Ticked Addresses as the
// window runs them, with its file dialog preset.
#include "gui/list_files.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QtTest>

#include "support/faulty_file_system.h"
#include "support/files.h"
#include "support/form_fixture.h"

namespace trawlbox {
namespace {

const QString kStart = "http://alice:pw@h/priv/";

// The window with a protected folder's rows: the folder, a file unticked
// with its exact size, a red file with a rounded size.
struct ListFixture : FormFixture {
  explicit ListFixture(FileSystem* disk = nullptr)
      : FormFixture([disk](MainWindowServices& services) {
          if (disk != nullptr) services.file_system = disk;
        }) {
    window->RunStartUp();
    Find<QLineEdit>("txtWebsite")->setText(kStart);
    Find<QLineEdit>("Text1")->setText(folder.path() + "/");
    FileList& list = window->file_list();
    list.Add(kStart);
    list.Add(kStart + "a%09b.iso");
    list.SetTicked(2, false);
    list.SetSize(2, RowSize::Exact(100352));
    list.Add(kStart + "d/caf\u00e9.txt");
    list.SetSize(3, RowSize::Approx(1024));
    list.MarkFailed(3, "HTTP 404 Not Found");
  }
  QString File(const QString& name) const { return folder.filePath(name); }
  SavedList Rows() const { return window->list_files().Snapshot(); }

  QTemporaryDir folder;
};

}  // namespace

class ListFilesTest : public QObject {
  Q_OBJECT

 private slots:
  // Saved, then opened under the field's start address with its password,
  // or under another one.
  void OpenGivesTheSavedListBack_data() {
    QTest::addColumn<QString>("field");  // when the list is opened
    QTest::addColumn<QString>("start");  // the rows' and the field's after
    QTest::newRow("the password back") << kStart << kStart;
    QTest::newRow("another site") << "http://other/"
                                  << "http://alice@h/priv/";
  }
  void OpenGivesTheSavedListBack() {
    QFETCH(QString, field);
    QFETCH(QString, start);
    ListFixture fixture;
    const SavedList before = fixture.Rows();
    fixture.file_answers << fixture.File("list");
    fixture.window->list_files().SaveList();
    const QByteArray text = ReadAll(fixture.File("list.tsv"));
    QVERIFY(!text.contains("pw"));
    QVERIFY(text.contains("# the folder needs a password"));
    fixture.Find<QLineEdit>("txtWebsite")->setText(field);
    fixture.window->file_list().Clear();
    fixture.file_answers << fixture.File("list.tsv");
    fixture.window->list_files().OpenList();
    SavedList after = fixture.Rows();
    QCOMPARE(after.start, start);
    for (SavedRow& row : after.rows) row.address.replace(start, kStart);
    QVERIFY(after.rows == before.rows);
    QCOMPARE(fixture.prompts.texts(), QStringList());
    QCOMPARE(fixture.file_requests,
             QList<FileChoice>({FileChoice::kSaveList, FileChoice::kOpenList}));
  }

  // A file that is no list, one that cannot be read, and any file while a
  // command runs: the rows and the field stay as they were.
  void RefusedFilesChangeNothing_data() {
    QTest::addColumn<QByteArray>("text");  // empty: no such file
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QString>("box");  // after the file's name
    QTest::newRow("a bad tick")
        << QByteArray(
               "ticked\tbytes\texact\taddress\tfailure\n"
               "1\t\t\thttp://h/a\t\n2\t\t\thttp://h/b\t\n")
        << false
        << " is not a saved list: line 3: the tick is neither 0 "
           "nor 1.";
    QTest::newRow("no such file") << QByteArray() << false << " cannot be read";
    QTest::newRow("while a command runs") << QByteArray("x") << true << "";
  }
  void RefusedFilesChangeNothing() {
    QFETCH(QByteArray, text);
    QFETCH(bool, busy);
    QFETCH(QString, box);
    ListFixture fixture;
    const SavedList before = fixture.Rows();
    if (!text.isEmpty()) QVERIFY(WriteFile(fixture.File("bad.tsv"), text));
    fixture.file_answers << fixture.File("bad.tsv");
    if (busy) {
      const ScopedFlag listing = fixture.window->BeginListing();
      fixture.window->list_files().OpenList();
    } else {
      fixture.window->list_files().OpenList();
    }
    QVERIFY(fixture.Rows() == before);
    QCOMPARE(fixture.file_requests.size(), busy ? 0 : 1);
    const QStringList boxes = fixture.prompts.texts();
    QCOMPARE(boxes.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) QVERIFY2(boxes[0].contains(box), qPrintable(boxes[0]));
  }

  // A save the disk refuses says so once and leaves no file behind.
  void AFailedSaveLeavesNothing_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("full disk") << "full";
    QTest::newRow("read-only disk") << "read-only";
    QTest::newRow("no such folder") << "folder";
  }
  void AFailedSaveLeavesNothing() {
    QFETCH(QString, fault);
    RealFileSystem real;
    FaultyFileSystem disk(real);
    if (fault == "full") disk.FillAfter(10);
    if (fault == "read-only") disk.SetReadOnly(true);
    ListFixture fixture(&disk);
    fixture.file_answers << fixture.File(fault == "folder" ? "no/list.tsv"
                                                           : "list.tsv");
    fixture.window->list_files().SaveList();
    QCOMPARE(fixture.prompts.texts().size(), 1);
    QVERIFY(
        fixture.prompts.texts()[0].startsWith("The list cannot be written"));
    QCOMPARE(
        QDir(fixture.folder.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList());
  }

  // What leaves the window holds the user but not the password.
  void TickedRowsLeaveWithoutThePassword() {
    ListFixture fixture;
    fixture.window->list_files().CopyTickedAddresses();
    QCOMPARE(
        QGuiApplication::clipboard()->text(),
        QString("http://alice@h/priv/\nhttp://alice@h/priv/d/caf\u00e9.txt\n"));
    fixture.file_answers << fixture.File("get");
    fixture.window->list_files().ExportForAria2();
    const QString dir = "  dir=" + QDir(fixture.folder.path()).absolutePath();
    QCOMPARE(QString::fromUtf8(ReadAll(fixture.File("get.txt"))),
             "# For aria2c -i: the ticked rows of http://alice@h/priv/\n"
             "# The folder needs a password: give it with --http-passwd.\n"
             "http://alice@h/priv/\n" +
                 dir +
                 "\n  out=index.htm\n"
                 "http://alice@h/priv/d/caf%C3%A9.txt\n" +
                 dir + "\n  out=d/caf\u00e9.txt\n");
  }
};

}  // namespace trawlbox

QTEST_MAIN(trawlbox::ListFilesTest)
#include "list_files_test.moc"
