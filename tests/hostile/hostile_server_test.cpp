// Listing and downloading against servers that misbehave: nothing crashes
// or hangs, the reports are the ones the program makes for such failures,
// the walk ends, and no file already in the destination is damaged.
#include <QtTest>

#include "core/error_trap.h"
#include "crawl/crawler.h"
#include "mirror/path_mapping.h"
#include "support/downloader_fixture.h"
#include "support/fake_file_list.h"
#include "support/raw_server.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

// A destination that holds a previous copy of "file".
struct Mirror : DownloaderFixture {
  Mirror() {
    QFile old(dir.filePath("file"));
    old.open(QIODevice::WriteOnly);
    old.write("the previous copy");
  }
  Status Download(const QString& address) {
    return DownloaderFixture::Download(address, "file");
  }
  QStringList Entries() const {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
  }
};

}  // namespace

class HostileServerTest : public QObject {
  Q_OBJECT

 private slots:
  void LyingLengths_data() {
    QTest::addColumn<QByteArray>("length");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("stored");  // empty: the old copy stays
    QTest::addColumn<int>("reports");
    const QByteArray body(3000, 'b');
    QTest::newRow("larger than the body")
        << QByteArray("5000") << body << QByteArray() << 1;
    QTest::newRow("smaller than the body")
        << QByteArray("1000") << body << body.left(1000) << 0;
    // A length that is no length breaks the framing of the response: it is
    // refused as the protocol asks, and the old copy stays.
    QTest::newRow("negative") << QByteArray("-12") << body << QByteArray() << 1;
    QTest::newRow("not a number")
        << QByteArray("many") << body << QByteArray() << 1;
    QTest::newRow("none") << QByteArray() << body << body << 0;
  }
  void LyingLengths() {
    QFETCH(QByteArray, length);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, stored);
    QFETCH(int, reports);
    RawServer server([&](QTcpSocket& socket) {
      socket.write(Head(length));
      socket.write(body);
    });
    Mirror mirror;
    const Status result = mirror.Download(server.Url("/f"));
    QCOMPARE(result.ok(), !stored.isEmpty());
    QCOMPARE(ReadAll(mirror.dir.filePath("file")),
             stored.isEmpty() ? QByteArray("the previous copy") : stored);
    QCOMPARE(mirror.prompts.boxes.size(), reports);
    QCOMPARE(mirror.Entries(), QStringList({"file"}));
  }

  // The length does not fit 32 bits: it is counted in 64, and a body that
  // ends before it breaks off. The file is whole or untouched, never cut.
  void LengthBeyond32Bits() {
    const QByteArray body(3000, 'b');
    RawServer server([&](QTcpSocket& socket) {
      socket.write(Head("4294967296"));
      socket.write(body);
    });
    Mirror mirror;
    const Status result = mirror.Download(server.Url("/f"));
    for (const auto& box : mirror.prompts.boxes) {
      QVERIFY2(!box.text.startsWith("Overflow"), qPrintable(box.text));
    }
    QCOMPARE(ReadAll(mirror.dir.filePath("file")),
             result.ok() ? body : QByteArray("the previous copy"));
    QCOMPARE(mirror.Entries(), QStringList({"file"}));
  }

  void ResetMidBody() {
    RawServer server([](QTcpSocket& socket) {
      socket.write(Head("100000"));
      socket.write(QByteArray(20000, 'r'));
      socket.flush();
      socket.abort();  // a reset, not a clean end
    });
    Mirror mirror;
    QVERIFY(!mirror.Download(server.Url("/f")).ok());
    QCOMPARE(ReadAll(mirror.dir.filePath("file")),
             QByteArray("the previous copy"));
    QCOMPARE(mirror.prompts.boxes.size(), 1);
    QCOMPARE(mirror.Entries(), QStringList({"file"}));
  }

  void StallAfterTheHeaders() {
    RawServer server([&](QTcpSocket& socket) {
      socket.write(Head("100000"));
      socket.flush();
      socket.waitForBytesWritten(1000);
      QThread::msleep(1500);
    });
    Mirror mirror;
    mirror.engine.set_stall_timeout_ms(300);
    const Status result = mirror.Download(server.Url("/f"));
    QVERIFY(!result.ok());
    QCOMPARE(ReadAll(mirror.dir.filePath("file")),
             QByteArray("the previous copy"));
    QCOMPARE(mirror.prompts.boxes.size(), 1);
  }

  void SlowEndlessBodyIsCancelled() {
    RawServer server([&](QTcpSocket& socket) {
      socket.write(Head("2000000000"));
      const QByteArray piece(4096, 'z');
      for (int i = 0; i < 2000 && !server.stopping() &&
                      socket.state() == QAbstractSocket::ConnectedState;
           ++i) {
        socket.write(piece);
        socket.waitForBytesWritten(100);
        QThread::msleep(5);
      }
    });
    Mirror mirror;
    QElapsedTimer clock;
    clock.start();
    mirror.cancel = [&] { return clock.elapsed() > 300; };
    const Status result = mirror.Download(server.Url("/f"));
    QCOMPARE(result.failure(), kStoppedCaption);
    QCOMPARE(mirror.status.captions.last(), QString("Download Stoped By User"));
    QCOMPARE(ReadAll(mirror.dir.filePath("file")),
             QByteArray("the previous copy"));
    QCOMPARE(mirror.Entries(), QStringList({"file"}));
  }

  void RedirectsElsewhere_data() {
    QTest::addColumn<QByteArray>("location");
    QTest::newRow("a file address") << QByteArray("file:///etc/passwd");
    QTest::newRow("another host") << QByteArray("http://127.0.0.1:1/x");
    QTest::newRow("a loop") << QByteArray("/f");
  }
  void RedirectsElsewhere() {
    QFETCH(QByteArray, location);
    TestServer server;
    server.Handle("/f",
                  [&](const httplib::Request&, httplib::Response& response) {
                    response.set_redirect(location.toStdString());
                  });
    Mirror mirror;
    QVERIFY(!mirror.Download(server.Url("/f")).ok());
    QCOMPARE(ReadAll(mirror.dir.filePath("file")),
             QByteArray("the previous copy"));
  }

  // A server that ignores letter case in paths, whose page links to itself
  // in a thousand letter-case variants and to a folder with a 5 MB name.
  void HugeAddressAndSelfLinksInManyCases() {
    const std::string word = "selfreference";
    std::string page = "<a href=\"" + std::string(5 << 20, 'a') + "/\">x</a>";
    for (int i = 1; i <= 1000; ++i) {
      std::string variant = word;
      for (size_t bit = 0; bit < word.size(); ++bit) {
        if (i & (1 << bit)) variant[bit] = char(std::toupper(variant[bit]));
      }
      page += "<a href=\"/" + variant + "/\">s</a>";
    }
    TestServer server;
    server.server().set_pre_routing_handler(
        [&](const httplib::Request& request, httplib::Response& response) {
          if (QString::fromStdString(request.path).toLower() !=
              QString::fromStdString("/" + word + "/")) {
            return httplib::Server::HandlerResponse::Unhandled;
          }
          response.set_content(page, "text/html");
          return httplib::Server::HandlerResponse::Handled;
        });
    QTemporaryDir temp;
    qputenv("TEMP", temp.path().toLocal8Bit());
    FakeFileList list;
    RecordingPrompts prompts;
    EventPump pump;
    TestEngine engine;
    HttpPageSource site(engine.run());
    const QString start = server.Url();
    RealFileSystem disk;
    Crawler crawler(list, prompts, pump, site, disk, [&] { return start; });
    crawler.WalkSite(start + "/" + QString::fromStdString(word) + "/");
    qunsetenv("TEMP");
    // A variant is refused while another one waits in the queue, and the
    // long folder is never asked for: the walk visits the start and one
    // variant, and ends.
    QCOMPARE(list.Count(), 2);
    QVERIFY(list.FailureOf(1).isEmpty());
    QVERIFY(list.FailureOf(2).isEmpty());
    QVERIFY(!list.Text(2).contains("aaaa"));
    QVERIFY(prompts.boxes.isEmpty());
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::HostileServerTest)
#include "hostile_server_test.moc"
