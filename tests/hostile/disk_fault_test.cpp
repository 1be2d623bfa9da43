// Downloads onto a destination that fills up or turns read-only in the
// middle of a run: each failing row is reported, the run goes on and ends
// with "Done.", no file is left half-written and the files already there
// stay as they were. Needs a small file system of its own (tmpfs); where
// the environment does not allow mounting one, the tests are skipped.
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include "support/files.h"
#include "support/form_fixture.h"
#include "support/path_text.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

bool Mount(const QStringList& arguments) {
  QProcess mount;
  mount.start("mount", arguments);
  return mount.waitForFinished(10000) &&
         mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
}

// A tmpfs of `kilobytes` at a temporary folder, unmounted at the end.
struct SmallDisk {
  explicit SmallDisk(int kilobytes) {
    mounted = Mount({"-t", "tmpfs", "-o", QString("size=%1k").arg(kilobytes),
                     "tmpfs", dir.path()});
  }
  ~SmallDisk() {
    if (mounted) QProcess::execute("umount", {"-l", dir.path()});
  }
  bool ReadOnly() { return Mount({"-o", "remount,ro", dir.path()}); }

  QTemporaryDir dir;
  bool mounted = false;
};

// One transfer at a time, so that the disk turns read-only between two
// rows and not in the middle of several.
struct DiskFixture : FormFixture {
  explicit DiskFixture(const QString& destination)
      : FormFixture(
            [](MainWindowServices& services) { services.connections = 1; }) {
    window->RunStartUp();
    Find<QLineEdit>("Text1")->setText(destination + "/");
    Find<QLineEdit>("txtWebsite")->setText(server.Url());
  }
  void Download() {
    QTest::mouseClick(Find<QPushButton>("PushButton6"), Qt::LeftButton);
  }
  int Reports() const {
    int reports = 0;
    for (const auto& box : prompts.boxes) {
      if (box.title == "Application Error") ++reports;
    }
    return reports;
  }

  TestServer server;
};

}  // namespace

class DiskFaultTest : public QObject {
  Q_OBJECT

 private slots:
  void FullDisk() {
    SmallDisk disk(512);
    if (!disk.mounted) QSKIP("cannot mount a small tmpfs here");
    const QString root = disk.dir.path();
    WriteFile(root + "/big.bin", "the copy from last time");
    DiskFixture fixture(root);
    fixture.server.Serve("/a.txt", "small", 200, "text/plain");
    fixture.server.Serve("/big.bin", std::string(2 << 20, 'B'), 200,
                         "application/octet-stream");
    fixture.server.Serve("/c.txt", "after", 200, "text/plain");
    for (const char* name : {"/a.txt", "/big.bin", "/c.txt"}) {
      fixture.window->file_list().Add(fixture.server.Url() + name);
    }
    fixture.Download();
    QCOMPARE(ReadAll(root + "/a.txt"), QByteArray("small"));
    QCOMPARE(ReadAll(root + "/big.bin"), QByteArray("the copy from last time"));
    QCOMPARE(ReadAll(root + "/c.txt"), QByteArray("after"));
    QCOMPARE(fixture.Reports(), 1);
    QVERIFY(!fixture.window->file_list().FailureOf(2).isEmpty());
    QCOMPARE(fixture.prompts.texts().last(), QString("Done."));
    QCOMPARE(QDir(root).entryList(QDir::Files | QDir::Hidden),
             QStringList({"a.txt", "big.bin", "c.txt"}));
  }

  void DestinationTurnsReadOnly() {
    SmallDisk disk(4096);
    if (!disk.mounted) QSKIP("cannot mount a small tmpfs here");
    const QString root = disk.dir.path();
    WriteFile(root + "/b.txt", "kept");
    DiskFixture fixture(root);
    for (const char* name : {"/a.txt", "/b.txt", "/c.txt"}) {
      fixture.server.Serve(name, std::string("new ") + name, 200, "text/plain");
      fixture.window->file_list().Add(fixture.server.Url() + name);
    }
    bool read_only = false;
    fixture.server.DuringRequest("/b.txt",
                                 [&] { read_only = disk.ReadOnly(); });
    fixture.Download();
    if (!read_only) QSKIP("cannot remount the tmpfs read-only here");
    QCOMPARE(ReadAll(root + "/a.txt"), QByteArray("new /a.txt"));
    QCOMPARE(ReadAll(root + "/b.txt"), QByteArray("kept"));
    QVERIFY(!QFile::exists(root + "/c.txt"));
    QCOMPARE(fixture.Reports(), 2);  // one for each row it could not write
    QCOMPARE(fixture.prompts.texts().last(), QString("Done."));
    QCOMPARE(QDir(root).entryList(QDir::Files | QDir::Hidden),
             QStringList({"a.txt", "b.txt"}));
  }
};

}  // namespace trawlbox

QTEST_MAIN(trawlbox::DiskFaultTest)
#include "disk_fault_test.moc"
