// Listing and downloading over a link that breaks answers off: what may
// pass is tried again before it is reported, a cut-off answer is never
// stored, and the file already in the destination survives every failure.
#include <QTimer>
#include <QtTest>

#include "support/commands_fixture.h"
#include "support/files.h"
#include "support/flaky_server.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

const QByteArray kStartPage = "<a href=\"sub/\">s</a><img src=\"a.bin\">";
const QByteArray kSubPage = "<img src=\"b.txt\">";

std::map<QByteArray, QByteArray> Site() {
  return {{"/", kStartPage},
          {"/a.bin", QByteArray(5000, 'a')},
          {"/sub/", kSubPage},
          {"/sub/b.txt", "b"}};
}

RetryPolicy Retries(int retries) {
  RetryPolicy policy;
  policy.retries = retries;
  policy.first_delay_ms = 1;
  return policy;
}

void AddCuts() {
  QTest::addColumn<Cut>("cut");
  QTest::newRow("before any byte") << Cut::kBeforeAnyByte;
  QTest::newRow("inside the head") << Cut::kInsideHead;
  QTest::newRow("inside the body") << Cut::kInsideBody;
}

}  // namespace

class FlakyLinkTest : public QObject {
  Q_OBJECT

 private slots:
  // Every other answer is cut: the listing and the download still give
  // the whole site, byte for byte, and no box.
  void RetriesGiveTheWholeMirror_data() {
    QTest::addColumn<Cut>("cut");
    QTest::addColumn<int>("connections");
    for (const int connections : {1, 6}) {
      for (const auto& [name, cut] :
           {std::pair{"before any byte", Cut::kBeforeAnyByte},
            std::pair{"inside the head", Cut::kInsideHead},
            std::pair{"inside the body", Cut::kInsideBody}}) {
        QTest::addRow("%s, %d at once", name, connections)
            << cut << connections;
      }
    }
  }
  void RetriesGiveTheWholeMirror() {
    QFETCH(Cut, cut);
    QFETCH(int, connections);
    FlakyServer server(Site(), [&](const QByteArray&, int n) {
      return n % 2 == 1 ? cut : Cut::kNone;
    });
    CommandsFixture fixture;
    fixture.engine.set_connections(connections);
    fixture.SetStart(server.Url("/"));
    fixture.StartListing();
    fixture.StartDownloading();
    const QString s = server.Url("");
    QCOMPARE(
        Rows(fixture.list()),
        QStringList({s + "/", s + "/a.bin", s + "/sub/", s + "/sub/b.txt"}));
    for (qsizetype row = 1; row <= fixture.list().Count(); ++row) {
      QCOMPARE(fixture.list().FailureOf(row), QString());
    }
    QCOMPARE(ReadAll(fixture.Dest("index.htm")), kStartPage);
    QCOMPARE(ReadAll(fixture.Dest("a.bin")), QByteArray(5000, 'a'));
    QCOMPARE(ReadAll(fixture.Dest("sub/index.htm")), kSubPage);
    QCOMPARE(ReadAll(fixture.Dest("sub/b.txt")), QByteArray("b"));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done.", "Done."}));
    QCOMPARE(server.Requests("/a.bin"), 2);  // cut once, then whole
  }

  // Without retries each cut row is reported and keeps its old file.
  void WithoutRetriesEachCutIsReported_data() { AddCuts(); }
  void WithoutRetriesEachCutIsReported() {
    QFETCH(Cut, cut);
    FlakyServer server(Site(), [&](const QByteArray&, int) { return cut; });
    CommandsFixture fixture;
    fixture.engine.set_retry_policy(Retries(0));
    fixture.SetStart(server.Url(""));
    WriteFile(fixture.Dest("a.bin"), "old a");
    WriteFile(fixture.Dest("sub/b.txt"), "old b");
    fixture.list().Add(server.Url("/a.bin"));
    fixture.list().Add(server.Url("/sub/b.txt"));
    fixture.StartDownloading();
    QCOMPARE(fixture.prompts.boxes.size(), 3);
    for (int box : {0, 1}) {
      QVERIFY(fixture.prompts.boxes[box].text.contains(
          "in Quaymill2021/08/31.Download.DownloadFile at line 136"));
    }
    QCOMPARE(fixture.prompts.boxes[2].text, QString("Done."));
    QCOMPARE(ReadAll(fixture.Dest("a.bin")), QByteArray("old a"));
    QCOMPARE(ReadAll(fixture.Dest("sub/b.txt")), QByteArray("old b"));
    QCOMPARE(QDir(fixture.destination.path()).entryList(QDir::Files),
             QStringList({"a.bin"}));  // nothing written beside
    QVERIFY(!fixture.list().FailureOf(1).isEmpty());
    QCOMPARE(server.Requests("/a.bin"), 1);
  }

  // libcurl takes a head cut short for a whole answer with no body; an
  // empty file must never replace the good one.
  void AHeadThatNeverEndsIsNeverStored() {
    FlakyServer server(Site(),
                       [](const QByteArray&, int) { return Cut::kInsideHead; });
    CommandsFixture fixture;
    fixture.SetStart(server.Url(""));
    WriteFile(fixture.Dest("a.bin"), "good copy");
    fixture.list().Add(server.Url("/a.bin"));
    for (int run = 1; run <= 2; ++run) {
      fixture.StartDownloading();
      QCOMPARE(ReadAll(fixture.Dest("a.bin")), QByteArray("good copy"));
      QCOMPARE(server.Requests("/a.bin"), run * 4);  // one try, three more
    }
    QCOMPARE(fixture.prompts.texts().size(), 4);  // a box and "Done." a run
    QVERIFY(fixture.prompts.boxes[0].text.startsWith(
        "The connection closed inside the response head\r\n"));
    QCOMPARE(fixture.list().FailureOf(1),
             QString("The connection closed inside the response head"));
  }

  // Which answers are worth another try, when listing and downloading.
  void StatusesThatAreRetried_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("retried");
    for (int status : {408, 429, 500, 502, 503, 504}) {
      QTest::addRow("%d", status) << status << true;
    }
    for (int status : {400, 401, 403, 404, 405, 410, 501, 505}) {
      QTest::addRow("%d", status) << status << false;
    }
  }
  void StatusesThatAreRetried() {
    QFETCH(int, status);
    QFETCH(bool, retried);
    TestServer server;
    server.Serve("/", "busy", status);
    server.Serve("/f.bin", "busy", status);
    CommandsFixture fixture;
    fixture.SetStart(server.Url("/"));
    fixture.StartListing();
    fixture.list().Add(server.Url("/f.bin"));
    WriteFile(fixture.Dest("f.bin"), "old");
    fixture.StartDownloading();
    const int tries = retried ? 4 : 1;
    QCOMPARE(server.Requests("/"), tries);
    QCOMPARE(server.Requests("/f.bin"), tries);
    QCOMPARE(ReadAll(fixture.Dest("f.bin")), QByteArray("old"));
    QVERIFY(fixture.list().FailureOf(2).startsWith(
        QStringLiteral("HTTP %1").arg(status)));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done.", "Done."}));
  }

  // A busy server's Retry-After is waited for, and Escape ends that wait
  // at once with nothing written.
  void RetryAfterIsWaitedForAndEscapeEndsTheWait() {
    TestServer server;
    std::atomic<int> answers{0};
    server.Handle("/later.bin",
                  [&](const httplib::Request&, httplib::Response& response) {
                    if (++answers == 1) {
                      response.status = 503;
                      response.set_header("Retry-After", "1");
                      return;
                    }
                    response.set_content("now", "application/octet-stream");
                  });
    server.Handle("/never.bin",
                  [](const httplib::Request&, httplib::Response& response) {
                    response.status = 503;
                    response.set_header("Retry-After", "30");
                  });
    CommandsFixture fixture;
    fixture.SetStart(server.Url(""));
    fixture.list().Add(server.Url("/later.bin"));
    fixture.list().Add(server.Url("/never.bin"));
    fixture.list().SetTicked(2, false);
    fixture.StartDownloading();
    QCOMPARE(ReadAll(fixture.Dest("later.bin")), QByteArray("now"));
    QCOMPARE(server.Requests("/later.bin"), 2);

    fixture.list().SetTicked(1, false);
    fixture.list().SetTicked(2, true);
    QTimer escape;
    escape.setSingleShot(true);
    QObject::connect(&escape, &QTimer::timeout,
                     [&] { fixture.host.RequestCancel(); });
    escape.start(300);
    fixture.StartDownloading();
    QCOMPARE(server.Requests("/never.bin"), 1);
    QCOMPARE(fixture.Caption(), QString("Download Stoped By User"));
    QCOMPARE(QDir(fixture.destination.path()).entryList(QDir::Files),
             QStringList({"later.bin"}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done.", "Done."}));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::FlakyLinkTest)
#include "flaky_link_test.moc"
