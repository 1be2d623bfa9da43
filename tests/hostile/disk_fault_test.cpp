// Downloads onto a destination that fills up, turns read-only or cannot
// take a file under its name in the middle of a run: each failing row is
// reported, the run goes on and ends with "Done.", no file is left
// half-written and the files already there stay as they were.
//
// The faults are played in-process by a file system that wraps the real
// one, so they run everywhere. Where a small tmpfs can be mounted, the full
// and the read-only disk are also met for real once more, which the
// in-process faults stand for; elsewhere those two are skipped.
#include <QProcess>
#include <QtTest>
#include <functional>

#include "support/download_fixture.h"
#include "support/faulty_file_system.h"
#include "support/files.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

// Whether the suite runs under ThreadSanitizer, whose runtime in clang 14
// fails on a fork (the mount's process) once other threads have run.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TRAWLBOX_THREAD_SANITIZER
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(TRAWLBOX_THREAD_SANITIZER)
constexpr bool kUnderThreadSanitizer = true;
#else
constexpr bool kUnderThreadSanitizer = false;
#endif

const QString kCannotWrite = "The local file cannot be written";

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

// The download command storing a local server's files below `root`: the
// fixture's own folder with faults played on it, or a real file system.
// One transfer runs at a time, so which row meets the fault never depends
// on which transfer is quicker: the disk fills up or turns read-only
// between two rows and not in the middle of several.
struct DiskRun : DownloadFixture {
  DiskRun() : root(destination.path()) {
    disk = &faults;
    Aim();
  }
  explicit DiskRun(const QString& real_root) : root(real_root) { Aim(); }

  void Aim() {
    SetFolder(root + "/");
    SetStart(server.Url());
    engine.set_connections(1);
  }
  void Add(const QString& name) { list().Add(server.Url() + name); }
  QString File(const QString& name) const { return root + "/" + name; }
  // What each error report said was wrong: its first line.
  QStringList Reports() const {
    QStringList reports;
    for (const auto& box : prompts.boxes) {
      if (box.title == "Application Error") {
        reports << box.text.section("\r\n", 0, 0);
      }
    }
    return reports;
  }
  QStringList Entries() const {
    return QDir(root).entryList(QDir::Files | QDir::Hidden);
  }

  const QString root;
  TestServer server;
  FaultyFileSystem faults{real_disk};
};

// Three rows whose second, 2 MB, replaces a copy from an earlier run and
// does not fit on the disk.
void ServeLargeMiddleFile(DiskRun& run) {
  WriteFile(run.File("big.bin"), "the copy from last time");
  run.server.Serve("/a.txt", "small", 200, "text/plain");
  run.server.Serve("/big.bin", std::string(2 << 20, 'B'), 200,
                   "application/octet-stream");
  run.server.Serve("/c.txt", "after", 200, "text/plain");
  for (const char* name : {"/a.txt", "/big.bin", "/c.txt"}) run.Add(name);
}

// The large file's row alone fails, once reported; the rows around it and
// the earlier copy are whole.
void ExpectLargeFileRefused(const DiskRun& run) {
  QCOMPARE(ReadAll(run.File("a.txt")), QByteArray("small"));
  QCOMPARE(ReadAll(run.File("big.bin")), QByteArray("the copy from last time"));
  QCOMPARE(ReadAll(run.File("c.txt")), QByteArray("after"));
  QCOMPARE(run.Reports().size(), 1);
  QVERIFY(run.host.list_.FailureOf(1).isEmpty());
  QVERIFY(!run.host.list_.FailureOf(2).isEmpty());
  QVERIFY(run.host.list_.FailureOf(3).isEmpty());
  QCOMPARE(run.prompts.texts().last(), QString("Done."));
  QCOMPARE(run.Entries(), QStringList({"a.txt", "big.bin", "c.txt"}));
}

// Three rows, the second of which replaces a file from an earlier run.
void ServeThreeRows(DiskRun& run) {
  WriteFile(run.File("b.txt"), "kept");
  for (const char* name : {"/a.txt", "/b.txt", "/c.txt"}) {
    run.server.Serve(name, std::string("new ") + name, 200, "text/plain");
    run.Add(name);
  }
}

// The first row is stored; each later one is reported and stores nothing.
void ExpectLaterRowsRefused(const DiskRun& run) {
  QCOMPARE(ReadAll(run.File("a.txt")), QByteArray("new /a.txt"));
  QCOMPARE(ReadAll(run.File("b.txt")), QByteArray("kept"));
  QVERIFY(!QFile::exists(run.File("c.txt")));
  QCOMPARE(run.Reports().size(), 2);  // one for each row it could not write
  QVERIFY(run.host.list_.FailureOf(1).isEmpty());
  QVERIFY(!run.host.list_.FailureOf(2).isEmpty());
  QVERIFY(!run.host.list_.FailureOf(3).isEmpty());
  QCOMPARE(run.prompts.texts().last(), QString("Done."));
  QCOMPARE(run.Entries(), QStringList({"a.txt", "b.txt"}));
}

}  // namespace

class DiskFaultTest : public QObject {
  Q_OBJECT

 private slots:
  void FullDisk() {
    DiskRun run;
    ServeLargeMiddleFile(run);
    run.faults.FillAfter(64 * 1024);
    run.StartDownloading();
    ExpectLargeFileRefused(run);
    // In the system's words, like a disk that is full for real.
    QCOMPARE(run.Reports(), QStringList{FaultyFileSystem::NoSpaceText()});
    QCOMPARE(run.list().FailureOf(2), FaultyFileSystem::NoSpaceText());
  }

  void DestinationTurnsReadOnly() {
    DiskRun run;
    ServeThreeRows(run);
    // Before the second row's answer leaves the server, once the first row
    // is stored.
    run.server.Handle(
        "/b.txt", [&](const httplib::Request&, httplib::Response& response) {
          QDeadlineTimer deadline(10'000);
          while (!QFile::exists(run.File("a.txt")) && !deadline.hasExpired()) {
            QThread::msleep(5);
          }
          run.faults.SetReadOnly(true);
          response.set_content("new /b.txt", "text/plain");
        });
    run.StartDownloading();
    ExpectLaterRowsRefused(run);
    QCOMPARE(run.Reports(), QStringList({"Permission denied",  //
                                         "Permission denied"}));
    QCOMPARE(run.list().FailureOf(2), kCannotWrite);
    QCOMPARE(run.list().FailureOf(3), kCannotWrite);
  }

  void FileCannotTakeItsName() {
    DiskRun run;
    ServeThreeRows(run);
    run.faults.FailRenamesOnto(run.File("b.txt"));
    run.StartDownloading();
    QCOMPARE(ReadAll(run.File("a.txt")), QByteArray("new /a.txt"));
    QCOMPARE(ReadAll(run.File("b.txt")), QByteArray("kept"));
    QCOMPARE(ReadAll(run.File("c.txt")), QByteArray("new /c.txt"));
    const QString denied = FaultyFileSystem::PermissionDeniedText();
    QCOMPARE(run.Reports(), QStringList{denied});
    QVERIFY(run.list().FailureOf(1).isEmpty());
    QCOMPARE(run.list().FailureOf(2), denied);
    QVERIFY(run.list().FailureOf(3).isEmpty());
    QCOMPARE(run.prompts.texts().last(), QString("Done."));
    // The new file beside it is gone too.
    QCOMPARE(run.Entries(), QStringList({"a.txt", "b.txt", "c.txt"}));
  }

  void FullTmpfs() {
    if (kUnderThreadSanitizer) QSKIP("no mount under ThreadSanitizer");
    SmallDisk small_disk(512);
    if (!small_disk.mounted) QSKIP("cannot mount a small tmpfs here");
    DiskRun run(small_disk.dir.path());
    ServeLargeMiddleFile(run);
    run.StartDownloading();
    ExpectLargeFileRefused(run);
  }

  void TmpfsTurnsReadOnly() {
    if (kUnderThreadSanitizer) QSKIP("no mount under ThreadSanitizer");
    SmallDisk small_disk(4096);
    if (!small_disk.mounted) QSKIP("cannot mount a small tmpfs here");
    DiskRun run(small_disk.dir.path());
    ServeThreeRows(run);
    bool read_only = false;
    run.server.DuringRequest("/b.txt",
                             [&] { read_only = small_disk.ReadOnly(); });
    run.StartDownloading();
    if (!read_only) QSKIP("cannot remount the tmpfs read-only here");
    ExpectLaterRowsRefused(run);
  }
};

}  // namespace trawlbox

QTEST_MAIN(trawlbox::DiskFaultTest)
#include "disk_fault_test.moc"
