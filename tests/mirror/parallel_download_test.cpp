// Several transfers in flight, everything the user sees in row order: the
// captions, the marks, the boxes and the bar, and each file put in place
// only in its row's turn.
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "support/download_fixture.h"
#include "support/fake_http.h"
#include "support/files.h"
#include "support/short_body.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

using std::chrono::milliseconds;

// The most memory the process has held so far, in bytes; -1 where the
// system does not say.
qint64 PeakResidentBytes() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) {
      return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
  }
  return -1;
}

// Starts a new reading of PeakResidentBytes() from what is held now.
void ResetPeak() {
  QFile clear("/proc/self/clear_refs");
  if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

struct Download {
  explicit Download(int connections) {
    RetryPolicy none;
    none.retries = 0;
    fixture.engine.set_retry_policy(none);
    fixture.engine.set_connections(connections);
  }
  DownloadFixture fixture;
};

// Rows 1 to 6, whose bodies of `length_of(row)` bytes stream in pieces at a
// steady pace, each with `body_etag` when one is given. Escape comes once
// all six are under way, unless `escape` is false and the test sends it.
struct SixStreams {
  static constexpr size_t kPiece = 64 * 1024;

  explicit SixStreams(const std::function<size_t(int)>& length_of,
                      std::string body_etag = {}, bool escape = true)
      : etag(std::move(body_etag)), escape_once_under_way(escape), run(6) {
    for (int i = 1; i <= 6; ++i) {
      server.Handle(
          "/" + std::to_string(i) + ".bin",
          [this, length = length_of(i)](const httplib::Request&,
                                        httplib::Response& reply) {
            if (!etag.empty()) reply.set_header("ETag", etag);
            reply.set_content_provider(
                length, "application/octet-stream",
                [this](size_t offset, size_t, httplib::DataSink& sink) {
                  if (offset == 0 && ++streaming == 6 &&
                      escape_once_under_way) {
                    QMetaObject::invokeMethod(
                        QCoreApplication::instance(),
                        [this] { run.fixture.host.RequestCancel(); },
                        Qt::QueuedConnection);
                  }
                  // Held, when asked, from the third piece on until let go.
                  while (offset >= 2 * kPiece && held && !let_go) {
                    std::this_thread::sleep_for(milliseconds(5));
                  }
                  std::this_thread::sleep_for(milliseconds(5));
                  const std::string piece(kPiece, 'x');
                  return sink.write(piece.data(), piece.size());
                });
          });
      run.fixture.list().Add(server.Url(QStringLiteral("/%1.bin").arg(i)));
    }
    run.fixture.SetStart(server.Url());
  }

  const std::string etag;
  const bool escape_once_under_way;
  TestServer server;
  std::atomic<int> streaming{0};
  std::atomic<bool> held{false};
  std::atomic<bool> let_go{false};
  Download run;
};

// Rows of one byte each on hosts of their own, "http://hN.example/N.bin",
// asked of requests played without a network on `room` connections.
struct ScriptedDownload {
  ScriptedDownload(int room, int rows) {
    http.SetRoom(room);
    http.serve = [](const QString&) { return OneByte(); };
    fixture.SetStart("http://");
    for (int row = 1; row <= rows; ++row) fixture.list().Add(Address(row));
  }
  static QString Address(int row) {
    return QStringLiteral("http://h%1.example/%1.bin").arg(row);
  }
  static FakeHttp::Try OneByte() {
    return {{"x"}, Response{.status = 200, .content_length = "1"}};
  }
  void Run() { RunDownloadCommand(fixture.host, http.run(), *fixture.disk); }

  DownloadFixture fixture;
  FakeHttp http;
};

}  // namespace

class ParallelDownloadTest : public QObject {
  Q_OBJECT

 private slots:
  // Row 1 answers last; its caption, mark and box still come first, and
  // the run shows just what one transfer at a time shows.
  void RowsShowInOrderWhenTheyEndOutOfOrder() {
    TestServer server;
    server.Handle("/1.bin", ShortBodyHandler({.announced = 3000,
                                              .sent = 1000,
                                              .delay = milliseconds(400)}));
    server.Handle("/2.bin",
                  ShortBodyHandler({.announced = 3000, .sent = 2000}));
    server.Serve("/3.bin", std::string(2500, '3'), 200, "text/plain");
    QStringList shown[2];
    for (const int connections : {1, 6}) {
      Download run(connections);
      DownloadFixture& f = run.fixture;
      f.SetStart(server.Url());
      for (const char* name : {"/1.bin", "/2.bin", "/3.bin"}) {
        f.list().Add(server.Url(name));
      }
      QStringList& log = shown[connections == 6];
      const int before = server.Requests("/2.bin");
      f.prompts.on_show = [&](const RecordingPrompts::Box& box) {
        log << "box " + box.text.section('\r', 0, 0);
        log << QStringLiteral("marked %1%2")
                   .arg(!f.list().FailureOf(1).isEmpty())
                   .arg(!f.list().FailureOf(2).isEmpty());
        if (connections == 6 && log.size() == 2) {
          // Row 2 was asked for while row 1 was still on its way.
          QCOMPARE(server.Requests("/2.bin"), before + 1);
        }
      };
      f.StartDownloading();
      QCOMPARE(server.Requests("/2.bin"), before + 1);
      for (QString caption : f.captions) {
        log << caption.replace(f.destination.path(), "DEST");
      }
      QCOMPARE(ReadAll(f.Dest("3.bin")), QByteArray(2500, '3'));
      QVERIFY(!QFile::exists(f.Dest("1.bin")));
      QVERIFY(!QFile::exists(f.Dest("2.bin")));
    }
    QCOMPARE(shown[1], shown[0]);
    QVERIFY(shown[0][0].startsWith("box The connection ended after 1000 of"));
    QCOMPARE(shown[0][1], QString("marked 00"));
    QVERIFY(shown[0][2].startsWith("box The connection ended after 2000 of"));
    QCOMPARE(shown[0][3], QString("marked 10"));
  }

  // A row that fails keeps its old file; the rows after it that arrived
  // meanwhile are put in place after it, in their turn.
  void AFailureInTheMiddle() {
    TestServer server;
    server.Serve("/1.txt", "one", 200, "text/plain");
    server.Handle("/2.txt", ShortBodyHandler({.announced = 100,
                                              .sent = 10,
                                              .delay = milliseconds(300)}));
    server.Serve("/3.txt", "three", 200, "text/plain");
    server.Serve("/4.txt", "four", 200, "text/plain");
    Download run(6);
    DownloadFixture& f = run.fixture;
    f.SetStart(server.Url());
    for (const char* name : {"/1.txt", "/2.txt", "/3.txt", "/4.txt"}) {
      f.list().Add(server.Url(name));
    }
    WriteFile(f.Dest("2.txt"), "old two");
    WriteFile(f.Dest("3.txt"), "old three");
    QStringList at_the_box;
    f.prompts.on_show = [&](const RecordingPrompts::Box&) {
      if (!at_the_box.isEmpty()) return;
      at_the_box << ReadAll(f.Dest("1.txt")) << ReadAll(f.Dest("3.txt"))
                 << ReadAll(f.Dest("4.txt"));
    };
    f.StartDownloading();
    QCOMPARE(at_the_box, QStringList({"one", "old three", "<none>"}));
    QCOMPARE(ReadAll(f.Dest("2.txt")), QByteArray("old two"));
    QCOMPARE(ReadAll(f.Dest("3.txt")), QByteArray("three"));
    QCOMPARE(ReadAll(f.Dest("4.txt")), QByteArray("four"));
    QCOMPARE(QDir(f.destination.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"1.txt", "2.txt", "3.txt", "4.txt"}));
    QVERIFY(f.list().FailureOf(2).startsWith("The connection ended"));
    QCOMPARE(f.prompts.texts().size(), 2);  // the box, "Done."
    QCOMPARE(f.status().Position(), 0);
  }

  // Five large bodies arrive whole while the first row, ahead of them,
  // still trickles in: they wait for their turns in their files, not in
  // memory.
  void LargeBodiesWaitOnDisk() {
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
    QSKIP("the sanitizer keeps freed memory to catch its use");
#endif
#endif
    if (PeakResidentBytes() < 0) QSKIP("no reading of the process's memory");
    constexpr size_t kBody = 40'000'000;
    constexpr size_t kPiece = 256 * 1024;
    TestServer server;
    std::atomic<int> whole{0};
    for (int i = 1; i <= 6; ++i) {
      server.Handle(
          "/" + std::to_string(i) + ".bin",
          [&, i](const httplib::Request&, httplib::Response& reply) {
            reply.set_content_provider(
                kBody, "application/octet-stream",
                [&, i](size_t offset, size_t, httplib::DataSink& sink) {
                  // Row 1 sends its last piece once the others are whole.
                  if (i == 1 && offset + kPiece >= kBody) {
                    while (whole.load() < 5) {
                      std::this_thread::sleep_for(milliseconds(10));
                    }
                  }
                  const std::string piece(std::min(kPiece, kBody - offset),
                                          char('0' + i));
                  if (!sink.write(piece.data(), piece.size())) return false;
                  if (i != 1 && offset + piece.size() == kBody) ++whole;
                  return true;
                });
          });
    }
    Download run(6);
    DownloadFixture& f = run.fixture;
    f.SetStart(server.Url());
    for (int i = 1; i <= 6; ++i) {
      f.list().Add(server.Url(QStringLiteral("/%1.bin").arg(i)));
    }
    ResetPeak();
    const qint64 before = PeakResidentBytes();
    f.StartDownloading();
    const qint64 grown = PeakResidentBytes() - before;
    QCOMPARE(whole.load(), 5);
    for (int i = 1; i <= 6; ++i) {
      QCOMPARE(QFileInfo(f.Dest(QStringLiteral("%1.bin").arg(i))).size(),
               qint64(kBody));
    }
    QVERIFY(f.list().FailureOf(1).isEmpty());
    // Far below the 200 MB that held bodies would take.
    QVERIFY2(grown < 48'000'000, qPrintable(QString::number(grown)));
  }

  // Row 1 held open: no other row starts on one connection, whatever its
  // server; on two, one runs at a time, and the rows that have arrived wait
  // for their turns, two and eight for each connection, until row 1 ends.
  void RowsAheadOfARowHeldOpen_data() {
    QTest::addColumn<int>("connections");
    QTest::addColumn<qsizetype>("ahead");
    QTest::newRow("one connection") << 1 << qsizetype(0);
    QTest::newRow("two connections") << 2 << qsizetype(2 + 8 * 2);
  }
  void RowsAheadOfARowHeldOpen() {
    QFETCH(int, connections);
    QFETCH(qsizetype, ahead);
    ScriptedDownload run(connections, 60);
    const QString first = ScriptedDownload::Address(1);
    run.http.held = {first};
    // Once nothing but row 1 has run for a few passes, it is let go.
    qsizetype started = -1;
    qsizetype seen = 0;
    int quiet = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      const qsizetype asked = run.http.asked.size();
      const bool still = run.http.Running() == QStringList{first};
      quiet = still && asked == seen ? quiet + 1 : 0;
      seen = asked;
      if (quiet == 5 && started < 0) {
        started = asked - 1;
        run.http.Release(first);
      }
    });
    watch.start(0);
    run.Run();
    QCOMPARE(started, ahead);
    QCOMPARE(run.http.peak, connections);
    QCOMPARE(Tree(run.fixture.destination.path()).size(), size_t(60));
  }

  // Escape behind row 1's box, shown in its turn once its transfer has
  // ended, while the rows ahead end: no row is asked for after it.
  void NothingIsAskedAfterAStopBehindABox() {
    ScriptedDownload run(2, 6);
    run.http.serve = [](const QString& address) {
      if (address != ScriptedDownload::Address(1)) {
        return ScriptedDownload::OneByte();
      }
      return FakeHttp::Try{{}, Status::Failure("Could not connect")};
    };
    qsizetype at_stop = -1;
    bool ended = false;
    run.fixture.prompts.on_show = [&](const RecordingPrompts::Box&) {
      if (at_stop >= 0) return;
      run.fixture.host.RequestCancel();
      at_stop = run.http.asked.size();
      // Events run behind a box: the request loop's passes included.
      ended = QTest::qWaitFor([&] { return run.http.Running().isEmpty(); });
      QCoreApplication::processEvents();
      QCoreApplication::processEvents();
    };
    run.Run();
    QVERIFY(ended && at_stop >= 2);
    QCOMPARE(run.http.asked.size(), at_stop);
    QCOMPARE(run.fixture.Caption(), QString("Download Stoped By User"));
  }

  // Thirty rows over six connections: the server never sees a seventh.
  void ThirtyRowsOverSixConnections() {
    // Declared before the server, whose thread uses them until it stops.
    std::mutex mutex;
    std::set<int> ports;  // of the connections the requests came on
    TestServer server;
    server.server().set_keep_alive_max_count(100);
    server.server().set_pre_routing_handler(
        [&](const httplib::Request& request, httplib::Response&) {
          std::lock_guard<std::mutex> lock(mutex);
          ports.insert(request.remote_port);
          return httplib::Server::HandlerResponse::Unhandled;
        });
    Download run(6);
    DownloadFixture& f = run.fixture;
    f.SetStart(server.Url());
    for (int i = 1; i <= 30; ++i) {
      server.Serve("/" + std::to_string(i) + ".txt", "x", 200, "text/plain");
      f.list().Add(server.Url(QStringLiteral("/%1.txt").arg(i)));
    }
    f.StartDownloading();
    QCOMPARE(Tree(f.destination.path()).size(), size_t(30));
    std::lock_guard<std::mutex> lock(mutex);
    QVERIFY2(ports.size() <= 6, qPrintable(QString::number(ports.size())));
  }

  // Escape while six bodies stream, each begun in its new file: each ends at
  // once and the old file stays. The start of a long body stays beside its
  // file, hidden, with its note, for the next run to go on with, in its
  // turn or ahead of it; a short one goes.
  void EscapeWhileSixRun_data() {
    QTest::addColumn<qint64>("length");
    QTest::addColumn<bool>("kept");
    QTest::newRow("long bodies") << qint64{50'000'000} << true;
    QTest::newRow("short bodies") << qint64{15 * SixStreams::kPiece} << false;
  }
  void EscapeWhileSixRun() {
    QFETCH(qint64, length);
    QFETCH(bool, kept);
    SixStreams six([&](int) { return size_t(length); }, "\"v1\"", false);
    six.held = true;  // until Escape, so none ends before it
    DownloadFixture& f = six.run.fixture;
    WriteFile(f.Dest("1.bin"), "old one");
    QStringList parts;
    QStringList left = {"1.bin"};
    for (int i = 1; i <= 6; ++i) {
      parts << QStringLiteral(".%1.bin.trawlbox-part").arg(i);
      if (kept) {
        left << parts.last() << QStringLiteral(".%1.bin.trawlbox-note").arg(i);
      }
    }
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (std::all_of(parts.begin(), parts.end(), [&](const QString& part) {
            return QFile::exists(f.Dest(part));
          })) {
        watch.stop();
        f.host.RequestCancel();
        six.let_go = true;
      }
    });
    watch.start(0);
    f.StartDownloading();
    QCOMPARE(six.streaming.load(), 6);
    QCOMPARE(f.Caption(), QString("Download Stoped By User"));
    QCOMPARE(ReadAll(f.Dest("1.bin")), QByteArray("old one"));
    left.sort();
    QCOMPARE(QDir(f.destination.path()).entryList(QDir::Files | QDir::Hidden),
             left);
    QCOMPARE(f.prompts.texts(), QStringList({"Done."}));
  }

  // Rows started ahead that end after Escape start no further rows, also
  // while the last box is up and events run behind it.
  void NothingStartsAfterEscape() {
    // Row 1 never ends; rows 2 to 6 end a little after the stop.
    SixStreams six([](int row) {
      return row == 1 ? size_t{50'000'000} : 60 * SixStreams::kPiece;
    });
    DownloadFixture& f = six.run.fixture;
    for (int i = 7; i <= 9; ++i) {
      six.server.Serve("/sub/" + std::to_string(i) + ".txt", "late", 200,
                       "text/plain");
      f.list().Add(six.server.Url(QStringLiteral("/sub/%1.txt").arg(i)));
    }
    f.prompts.on_show = [](const RecordingPrompts::Box&) {
      QTest::qWait(800);  // a box the user reads for a while
    };
    f.StartDownloading();
    QCOMPARE(f.Caption(), QString("Download Stoped By User"));
    for (const char* path : {"/sub/7.txt", "/sub/8.txt", "/sub/9.txt"}) {
      QCOMPARE(six.server.Requests(path), 0);
    }
    QCOMPARE(
        QDir(f.destination.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList());
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::ParallelDownloadTest)
#include "parallel_download_test.moc"
