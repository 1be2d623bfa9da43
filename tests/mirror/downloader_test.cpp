#include "mirror/downloader.h"

#include <QtTest>
#include <condition_variable>
#include <mutex>

#include "mirror/path_mapping.h"
#include "mirror/turn_gate.h"
#include "support/downloader_fixture.h"
#include "support/fake_http.h"
#include "support/https_server.h"
#include "support/short_body.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

std::string Body(qsizetype size) {
  std::string body(size_t(size), '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = char('a' + i % 26);
  return body;
}

using ScriptedFixture = DownloaderFixtureOn<FakeHttp>;

// The tries of one file, played by a script over a previous copy "old":
// what is stored, what the row shows, the lines of the reports and the
// requests made. Three retries are allowed.
struct TriesCase {
  const char* name;
  std::vector<FakeHttp::Try> tries;
  QByteArray stored;
  QString failure;
  QList<int> report_lines;
  int requests;
};

const std::vector<TriesCase>& TriesCases() {
  const Answer reset = Status::Transient("Connection reset");
  static const std::vector<TriesCase> cases = {
      {"whole at once", {{{"ab", "cd"}}}, "abcd", "", {}, 1},
      {"empty", {{{}}}, "", "", {}, 1},
      {"a reset, then whole", {{{}, reset}, {{"x"}}}, "x", "", {}, 2},
      {"cut after a piece, then whole",
       {{{"ab"}, reset}, {{"ab", "cd"}}},
       "abcd",
       "",
       {},
       2},
      {"503, then 200",
       {{{}, Response{.status = 503}}, {{"y"}}},
       "y",
       "",
       {},
       2},
      {"retries spent",
       {{{}, reset}, {{}, reset}, {{"a"}, reset}, {{}, reset}},
       "old",
       "Connection reset",
       {136},
       4},
      {"404",
       {{{}, Response{.status = 404, .reason = "Not Found"}}},
       "old",
       "HTTP 404 Not Found",
       {},
       1},
      {"a failure that no try changes",
       {{{}, Status::Failure("SSL certificate problem")}},
       "old",
       "SSL certificate problem",
       {136},
       1},
  };
  return cases;
}

// The real disk, whose writes wait until Go().
class StalledFileSystem : public RealFileSystem {
 public:
  void Go() {
    const std::lock_guard lock(mutex_);
    going_ = true;
    go_.notify_all();
  }
  Result<std::unique_ptr<NewFile>> CreateNew(const QString& path) override {
    Result<std::unique_ptr<NewFile>> file = RealFileSystem::CreateNew(path);
    if (!file.ok()) return file;
    return std::unique_ptr<NewFile>(
        std::make_unique<StalledFile>(*this, file.Take()));
  }

 private:
  class StalledFile : public NewFile {
   public:
    StalledFile(StalledFileSystem& disk, std::unique_ptr<NewFile> real)
        : disk_(disk), real_(std::move(real)) {}
    Status Write(const char* data, qint64 size) override {
      std::unique_lock lock(disk_.mutex_);
      disk_.go_.wait(lock, [this] { return disk_.going_; });
      return real_->Write(data, size);
    }
    qint64 Size() const override { return real_->Size(); }
    Status SetModified(const QDateTime& time) override {
      return real_->SetModified(time);
    }
    Status Close() override { return real_->Close(); }

   private:
    StalledFileSystem& disk_;
    std::unique_ptr<NewFile> real_;
  };

  std::mutex mutex_;
  std::condition_variable go_;
  bool going_ = false;
};

QList<int> ReportLines(const RecordingPrompts& prompts) {
  static const QRegularExpression line(R"(at line (\d+)\r\r)");
  QList<int> lines;
  for (const QString& text : prompts.texts()) {
    lines << line.match(text).captured(1).toInt();
  }
  return lines;
}

}  // namespace

class DownloaderTest : public QObject {
  Q_OBJECT

 private slots:
  void DeclaredLengths_data() {
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<qint64>("length");  // -1: none
    QTest::newRow("number") << QByteArray("1024") << qint64(1024);
    QTest::newRow("blanks around") << QByteArray(" 42 ") << qint64(42);
    QTest::newRow("zero") << QByteArray("0") << qint64(0);
    QTest::newRow("beyond 32 bits")
        << QByteArray("2147483648") << qint64(2147483648);
    QTest::newRow("5 GB") << QByteArray("5000000000") << qint64(5000000000);
    QTest::newRow("largest")
        << QByteArray("9223372036854775807") << qint64(9223372036854775807);
    QTest::newRow("one past the largest")
        << QByteArray("9223372036854775808") << qint64(-1);
    QTest::newRow("absent") << QByteArray() << qint64(-1);
    QTest::newRow("not a number") << QByteArray("lots") << qint64(-1);
    QTest::newRow("negative") << QByteArray("-5") << qint64(-1);
    QTest::newRow("hex") << QByteArray("0x10") << qint64(-1);
    QTest::newRow("beyond 64 bits")
        << QByteArray("99999999999999999999999") << qint64(-1);
  }
  void DeclaredLengths() {
    QFETCH(QByteArray, header);
    QFETCH(qint64, length);
    QCOMPARE(DeclaredLength(header).value_or(-1), length);
  }

  void PercentagesShownPerPiece_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<int>>("shown");
    QTest::newRow("1024") << 1024 << QList<int>{100};
    QTest::newRow("1025") << 1025 << QList<int>{100};  // 100 twice, shown once
    QTest::newRow("3000") << 3000 << QList<int>{34, 68, 100};
    QTest::newRow("1536") << 1536 << QList<int>{67, 100};
  }
  void PercentagesShownPerPiece() {
    QFETCH(int, size);
    QFETCH(QList<int>, shown);
    TestServer server;
    server.Serve("/f.bin", Body(size), 200, "application/octet-stream");
    DownloaderFixture fixture;
    const QString address = server.Url("/f.bin");
    QVERIFY(fixture.Download(address, "f.bin").ok());
    QCOMPARE(Percentages(fixture.status.captions), shown);
    QCOMPARE(fixture.status.captions.first(), "Downloading: " + address);
    QCOMPARE(fixture.status.captions[1], "Downloading " + address + "..." +
                                             QString::number(shown[0]) +
                                             " % Downloaded");
    QCOMPARE(fixture.status.captions.last(), QString("Progress Bar"));
    QCOMPARE(ReadAll(fixture.dir.filePath("f.bin")),
             QByteArray::fromStdString(Body(size)));
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  void TriesOfOneFile_data() {
    QTest::addColumn<int>("index");
    for (size_t i = 0; i < TriesCases().size(); ++i) {
      QTest::newRow(TriesCases()[i].name) << int(i);
    }
  }
  void TriesOfOneFile() {
    QFETCH(int, index);
    const TriesCase& the = TriesCases()[size_t(index)];
    ScriptedFixture fixture;
    fixture.engine.tries.assign(the.tries.begin(), the.tries.end());
    WriteFile(fixture.dir.filePath("f"), "old");
    QCOMPARE(fixture.Download("http://h/f", "f").failure(), the.failure);
    QCOMPARE(ReadAll(fixture.dir.filePath("f")), the.stored);
    QCOMPARE(ReportLines(fixture.prompts), the.report_lines);
    QCOMPARE(fixture.engine.asked.size(), the.requests);
    QCOMPARE(QDir(fixture.dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"f"}));
    QCOMPARE(fixture.status.captions.last(), QString("Progress Bar"));
  }

  // A body of a hundred pieces, cut after the first, which shows "1 %":
  // started again without a validator, it shows 1 % once more; gone on with
  // under its ETag, it counts on from the cut, also where the next KiB still
  // makes 1 %.
  void PercentagesOfACutBody_data() {
    QTest::addColumn<QByteArray>("etag");
    QTest::addColumn<int>("piece");  // a percent of the body
    QTest::addColumn<QList<int>>("shown");
    QList<int> all;
    for (int percent = 0; percent <= 100; ++percent) all << percent;
    QTest::newRow("started again")
        << QByteArray() << 1024 << QList<int>{1} + all.mid(1);
    QTest::newRow("gone on with") << QByteArray("\"v1\"") << 4096 << all;
  }
  void PercentagesOfACutBody() {
    QFETCH(QByteArray, etag);
    QFETCH(int, piece);
    QFETCH(QList<int>, shown);
    const QByteArray bytes(piece, 'p');
    const QByteArray length = QByteArray::number(100 * piece);
    const Response whole{.status = 200, .content_length = length, .etag = etag};
    const Response rest{
        .status = 206,
        .content_length = QByteArray::number(99 * piece),
        .etag = etag,
        .content_range = "bytes " + QByteArray::number(piece) + "-" +
                         QByteArray::number(100 * piece - 1) + "/" + length};
    ScriptedFixture fixture;
    fixture.engine.tries = {
        {{bytes}, Status::Transient("Connection reset"), whole},
        etag.isEmpty() ? FakeHttp::Try{QByteArrayList(100, bytes), whole}
                       : FakeHttp::Try{QByteArrayList(99, bytes), rest}};
    QVERIFY(fixture.Download("http://h/f", "f").ok());
    QCOMPARE(Percentages(fixture.status.captions), shown);
    QCOMPARE(fixture.engine.options[1].from_byte, etag.isEmpty() ? 0 : piece);
    QCOMPARE(ReadAll(fixture.dir.filePath("f")).size(), 100 * piece);
  }

  // A file that cannot be made in its turn is reported outside libcurl:
  // behind its box, a transfer ahead of its turn goes on to its end.
  void ABoxInATurnHoldsNoOtherTransferUp() {
    // Declared before the server, whose thread reads it until it stops.
    std::atomic<bool> boxed{false};
    TestServer server;
    server.Serve("/b", "b", 200, "text/plain");
    server.Handle("/a", [&](const httplib::Request&, httplib::Response& reply) {
      reply.set_content_provider(
          2048, "application/octet-stream",
          [&](size_t offset, size_t, httplib::DataSink& sink) {
            // The second half comes once the box is up.
            for (int i = 0; i < 1000 && offset > 0 && !boxed; ++i) {
              std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            return sink.write(std::string(1024, 'a').data(), 1024);
          });
    });
    DownloaderFixture fixture;
    TurnGate gate_b(fixture.status, fixture.prompts);
    TurnGate gate_a(fixture.status, fixture.prompts);
    const Downloader::FileDownloadPtr b = fixture.downloader.Start(
        server.Url("/b"), PathText(fixture.dir.filePath("missing/b")), gate_b);
    const Downloader::FileDownloadPtr a = fixture.downloader.Start(
        server.Url("/a"), PathText(fixture.dir.filePath("a")), gate_a);
    bool a_ended = false;
    fixture.prompts.on_show = [&](const RecordingPrompts::Box&) {
      boxed = true;
      a_ended = QTest::qWaitFor([&] { return Downloader::Ended(*a); });
    };
    QVERIFY(!fixture.downloader.Complete(*b).ok());
    QCOMPARE(fixture.prompts.boxes.size(), 1);
    QVERIFY(a_ended);
    QVERIFY(fixture.downloader.Complete(*a).ok());
    QCOMPARE(ReadAll(fixture.dir.filePath("a")), QByteArray(2048, 'a'));
  }

  // Ahead of its turn a body goes to its new file, hidden beside the local
  // one under a name the next download of it finds; what it shows waits
  // for the turn, which puts the file in place.
  void AheadOfItsTurnABodyGoesToItsNewFile() {
    ScriptedFixture fixture;
    fixture.engine.tries = {{{"ab", "cd"}}};
    TurnGate gate(fixture.status, fixture.prompts);
    const QString path = fixture.dir.filePath("f");
    const Downloader::FileDownloadPtr transfer =
        fixture.downloader.Start("http://h/f", PathText(path), gate);
    const auto entries = [&] {
      return QDir(fixture.dir.path()).entryList(QDir::Files | QDir::Hidden);
    };
    QVERIFY(QTest::qWaitFor([&] {
      return Downloader::Ended(*transfer) &&
             entries() == QStringList({".f.trawlbox-part"});
    }));
    QVERIFY(fixture.status.captions.isEmpty());
    QVERIFY(fixture.downloader.Complete(*transfer).ok());
    QCOMPARE(entries(), QStringList({"f"}));
    QCOMPARE(ReadAll(path), QByteArray("abcd"));
    QCOMPARE(fixture.status.captions.first(),
             QString("Downloading: http://h/f"));
  }

  // A disk that takes nothing pauses the body once the writers hold as
  // much as they may, instead of holding more in memory; it goes on when
  // the disk does.
  void ASlowDiskPausesTheBody() {
    ScriptedFixture fixture;
    const QByteArray piece(1 << 20, 'p');
    fixture.engine.tries = {
        {QByteArrayList(12, piece),
         Response{.status = 200, .content_length = "12582912"}}};
    StalledFileSystem disk;
    Downloader downloader(fixture.engine.run(), fixture.status, disk,
                          [] { return false; });
    TurnGate gate(fixture.status, fixture.prompts);
    gate.Open();
    const QString path = fixture.dir.filePath("f");
    Downloader::FileDownloadPtr transfer =
        downloader.Start("http://h/f", PathText(path), gate);
    // 4 of 12 MiB, the writers' bound, and no more.
    const auto shown = [&] { return Percentages(fixture.status.captions); };
    QVERIFY(QTest::qWaitFor([&] { return shown().value(33) == 33; }));
    QTest::qWait(200);
    QCOMPARE(shown().last(), 33);
    QVERIFY(!Downloader::Ended(*transfer));
    disk.Go();
    QVERIFY(downloader.Complete(*transfer).ok());
    QCOMPARE(ReadAll(path), QByteArrayList(12, piece).join());
    QCOMPARE(shown().last(), 100);
  }

  // A body held ahead of its turn whose file cannot be made fails in the
  // turn, with its one box there.
  void AHeldBodyWithNoPlaceFailsInItsTurn() {
    ScriptedFixture fixture;
    fixture.engine.tries = {{{"ab"}}};
    TurnGate gate(fixture.status, fixture.prompts);
    const Downloader::FileDownloadPtr transfer = fixture.downloader.Start(
        "http://h/f", PathText(fixture.dir.filePath("missing/f")), gate);
    QVERIFY(QTest::qWaitFor([&] { return Downloader::Ended(*transfer); }));
    QVERIFY(fixture.prompts.boxes.isEmpty());
    QVERIFY(!fixture.downloader.Complete(*transfer).ok());
    QCOMPARE(fixture.prompts.boxes.size(), 1);
    QVERIFY(fixture.prompts.boxes[0].text.startsWith("Path not found\r\n"));
    QVERIFY(QDir(fixture.dir.path()).isEmpty());
  }

  void HalvesGoToTheEvenPercentage() {
    QList<int> shown;
    for (qint32 received = 1024; received <= 6 * 1024; received += 1024) {
      shown << PercentDone(200 * 1024, received);
    }
    QCOMPARE(shown, QList<int>({0, 1, 2, 2, 2, 3}));
    QCOMPARE(PercentDone(1025, 1024), qint16(100));
    QCOMPARE(PercentDone(3000, 1024), qint16(34));
    // Counted in 64 bits: a 5 GB file is at 50 % after 2.5 GB.
    QCOMPARE(PercentDone(5'000'000'000, 2'500'000'000), qint16(50));
  }

  // Offsets and lengths past what 32 bits hold count whole.
  void PercentagesShownPastTwoGigabytes_data() {
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<qint16>("shown_before");  // -1: none
    QTest::addColumn<QList<qint16>>("shown");
    constexpr qint64 kGiB = qint64(1) << 30;
    QTest::newRow("3 GiB of 4 GiB") << 4 * kGiB << 3 * kGiB - 1024 << 3 * kGiB
                                    << qint16(-1) << QList<qint16>{75};
    QTest::newRow("across 64.5 % of 5 GB")
        << qint64(5'000'000'000) << qint64(3'224'999'000)
        << qint64(3'225'001'000) << qint16(-1) << QList<qint16>{64, 65};
    QTest::newRow("across 64.5 % of 5 GB, 64 shown")
        << qint64(5'000'000'000) << qint64(3'224'999'000)
        << qint64(3'225'001'000) << qint16(64) << QList<qint16>{65};
    QTest::newRow("the end of 3 GiB and a bit")
        << 3 * kGiB + 100 << 3 * kGiB - 1024 << 3 * kGiB + 100 << qint16(-1)
        << QList<qint16>{100};
    QTest::newRow("the end of 3 GiB and a bit, 100 shown")
        << 3 * kGiB + 100 << 3 * kGiB - 1024 << 3 * kGiB + 100 << qint16(100)
        << QList<qint16>{};
  }
  void PercentagesShownPastTwoGigabytes() {
    QFETCH(qint64, length);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(qint16, shown_before);
    QFETCH(QList<qint16>, shown);
    QCOMPARE(PercentagesShown(length, from, to, shown_before), shown);
  }

  void BlanksAroundTheAddressAreTrimmed() {
    TestServer server;
    server.Serve("/a.txt", "trimmed", 200, "text/plain");
    DownloaderFixture fixture;
    const QString passed = "  " + server.Url("/a.txt") + " ";
    QVERIFY(fixture.Download(passed, "a.txt").ok());
    QCOMPARE(ReadAll(fixture.dir.filePath("a.txt")), QByteArray("trimmed"));
    QCOMPARE(fixture.status.captions.first(), "Downloading: " + passed);
    QCOMPARE(fixture.status.captions[1],
             "Downloading " + passed + "...100 % Downloaded");
  }

  void SecureAddressIsStoredOverHttps() {
    const std::string certs = TRAWLBOX_TEST_CERT_DIR;
    HttpsServer server(certs + "/server.pem", certs + "/server.key");
    QVERIFY(server.valid());
    server.Handle("/a.txt",
                  [](const httplib::Request&, httplib::Response& response) {
                    response.set_content("over tls", "text/plain");
                  });
    DownloaderFixture fixture;
    // Unknown to the system's store: refused.
    QVERIFY(!fixture.Download(server.Url("/a.txt"), "a.txt").ok());
    QVERIFY(!QFile::exists(fixture.dir.filePath("a.txt")));
    fixture.engine.set_ca_file(QString::fromStdString(certs + "/ca.pem"));
    QVERIFY(fixture.Download(server.Url("/a.txt"), "a.txt").ok());
    QCOMPARE(ReadAll(fixture.dir.filePath("a.txt")), QByteArray("over tls"));
    QCOMPARE(fixture.status.captions.first(),
             "Downloading: " + server.Url("/a.txt"));
  }

  // A secure address is asked for securely: a plain server cannot answer
  // it, and nothing is stored.
  void SecureAddressStaysSecure() {
    TestServer server;
    server.Serve("/a.txt", "plain", 200, "text/plain");
    DownloaderFixture fixture;
    const QString passed = "https://" + server.Host() + "/a.txt";
    QVERIFY(!fixture.Download(passed, "a.txt").ok());
    QCOMPARE(server.Requests("/a.txt"), 0);
    QVERIFY(!QFile::exists(fixture.dir.filePath("a.txt")));
    QVERIFY(fixture.status.captions.filter("http://").isEmpty());
  }

  void BodyWithoutLengthIsReadToItsEnd() {
    TestServer server;
    const std::string body = Body(5000);
    server.Handle("/chunked", [body](const httplib::Request&,
                                     httplib::Response& response) {
      response.set_chunked_content_provider(
          "application/octet-stream",
          [body](size_t offset, httplib::DataSink& sink) {
            if (offset < body.size()) {
              sink.write(body.data() + offset,
                         std::min<size_t>(700, body.size() - offset));
            } else {
              sink.done();
            }
            return true;
          });
    });
    DownloaderFixture fixture;
    QVERIFY(fixture.Download(server.Url("/chunked"), "c.bin").ok());
    QCOMPARE(ReadAll(fixture.dir.filePath("c.bin")),
             QByteArray::fromStdString(body));
    QVERIFY(Percentages(fixture.status.captions).isEmpty());
    QCOMPARE(fixture.status.captions,
             QStringList(
                 {"Downloading: " + server.Url("/chunked"), "Progress Bar"}));
  }

  void ZeroLengthStoresAnEmptyFile() {
    TestServer server;
    server.Serve("/empty", "", 200, "text/plain");
    DownloaderFixture fixture;
    WriteFile(fixture.dir.filePath("e"), "old bytes");
    QVERIFY(fixture.Download(server.Url("/empty"), "e").ok());
    QCOMPARE(ReadAll(fixture.dir.filePath("e")), QByteArray());
  }

  void ShorterNewBodyLeavesNoOldBytes() {
    TestServer server;
    server.Serve("/s", "new", 200, "text/plain");
    DownloaderFixture fixture;
    WriteFile(fixture.dir.filePath("s"), "a much longer old content");
    QVERIFY(fixture.Download(server.Url("/s"), "s").ok());
    QCOMPARE(ReadAll(fixture.dir.filePath("s")), QByteArray("new"));
  }

  void ErrorStatusesAreNotStoredNorReported_data() {
    QTest::addColumn<int>("status");
    QTest::newRow("404") << 404;
    QTest::newRow("500") << 500;
    QTest::newRow("503") << 503;
  }
  void ErrorStatusesAreNotStoredNorReported() {
    QFETCH(int, status);
    TestServer server;
    server.Serve("/gone.gif", "<html>error page</html>", status);
    DownloaderFixture fixture;
    WriteFile(fixture.dir.filePath("gone.gif"), "GIF89a old");
    const Status result = fixture.Download(server.Url("/gone.gif"), "gone.gif");
    QVERIFY(result.failure().startsWith("HTTP " + QString::number(status)));
    QCOMPARE(ReadAll(fixture.dir.filePath("gone.gif")),
             QByteArray("GIF89a old"));
    // No part file is left beside it.
    QCOMPARE(QDir(fixture.dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"gone.gif"}));
    QVERIFY(fixture.prompts.boxes.isEmpty());
    QCOMPARE(fixture.status.captions.last(), QString("Progress Bar"));
  }

  void FailingReadsAreReportedOnceAndKeepTheOldFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("label");
    QTest::newRow("body shorter than its length") << "short" << 136;
    QTest::newRow("stall after the headers") << "stall" << 136;
    QTest::newRow("nobody listening") << "refused" << 136;
  }
  void FailingReadsAreReportedOnceAndKeepTheOldFile() {
    QFETCH(QString, kind);
    QFETCH(int, label);
    TestServer server;
    ShortBody body{.announced = 50'000, .sent = 10'000};
    if (kind == "stall") {
      body.stall = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      };
    }
    server.Handle("/f", ShortBodyHandler(body));
    DownloaderFixture fixture;
    fixture.engine.set_stall_timeout_ms(400);
    WriteFile(fixture.dir.filePath("f"), "old");
    const QString address =
        kind == "refused" ? QString("http://127.0.0.1:1/f") : server.Url("/f");
    const Status result = fixture.Download(address, "f");
    QVERIFY(!result.ok());
    if (kind == "short") {
      // What arrived, out of what was announced.
      QVERIFY2(result.failure().contains("after 10000 of 50000 bytes"),
               qPrintable(result.failure()));
    }
    QCOMPARE(ReadAll(fixture.dir.filePath("f")), QByteArray("old"));
    QCOMPARE(fixture.prompts.boxes.size(), 1);
    QVERIFY2(fixture.prompts.boxes[0].text.contains(
                 "in Quaymill2021/08/31.Download.DownloadFile at line " +
                 QString::number(label) + "\r\r"),
             qPrintable(fixture.prompts.boxes[0].text));
    QCOMPARE(QDir(fixture.dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"f"}));
  }

  void UnopenableLocalFileGivesOneReport() {
    TestServer server;
    server.Serve("/big", Body(50'000), 200, "application/octet-stream");
    DownloaderFixture fixture;
    const Status result =
        fixture.Download(server.Url("/big"), "missing-folder/big");
    QVERIFY(!result.ok());
    QCOMPARE(fixture.prompts.boxes.size(), 1);
    QVERIFY(fixture.prompts.boxes[0].text.startsWith("Path not found\r\n"));
    QVERIFY(fixture.prompts.boxes[0].text.contains("at line 124\r\r"));
    QCOMPARE(fixture.status.captions.last(), QString("Progress Bar"));
  }

  void PathNamingNoPlaceIsNotFound() {
    DownloaderFixture fixture;
    TestServer server;
    server.Serve("/a", "x", 200, "text/plain");
    const Status result =
        fixture.DownloadTo(server.Url("/a"), "C:\\Mirror\\..\\a");
    QVERIFY(!result.ok());
    QVERIFY(fixture.prompts.boxes[0].text.startsWith("Path not found\r\n"));
  }

  void CancelKeepsThePreviousFile() {
    // Declared before the server, whose thread reads it until it stops.
    std::atomic<bool> done{false};
    TestServer server;
    server.Handle(
        "/big", [&](const httplib::Request&, httplib::Response& response) {
          response.set_content_provider(
              200'000, "application/octet-stream",
              [&](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset > 0) {
                  // The rest comes slowly, until the test is over.
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
                  if (done) return false;
                }
                const std::string piece(10'000, 'x');
                return sink.write(piece.data(), piece.size());
              });
        });
    DownloaderFixture fixture;
    WriteFile(fixture.dir.filePath("big"), "previous");
    // Escape once the body has begun to arrive.
    fixture.cancel = [&] {
      return !Percentages(fixture.status.captions).isEmpty();
    };
    const Status result = fixture.Download(server.Url("/big"), "big");
    QCOMPARE(result.failure(), kStoppedCaption);
    QCOMPARE(fixture.status.captions.last(),
             QString("Download Stoped By User"));
    QCOMPARE(ReadAll(fixture.dir.filePath("big")), QByteArray("previous"));
    QCOMPARE(QDir(fixture.dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"big"}));
    QVERIFY(fixture.prompts.boxes.isEmpty());
    done = true;
  }

  void LargeBodyArrivesWhole() {
    TestServer server;
    const std::string body = Body(3'000'000);
    server.Serve("/large", body, 200, "application/octet-stream");
    DownloaderFixture fixture;
    QVERIFY(fixture.Download(server.Url("/large"), "large").ok());
    QCOMPARE(ReadAll(fixture.dir.filePath("large")),
             QByteArray::fromStdString(body));
    // Each percentage from 0 to 100 is shown once, however many pieces.
    const QList<int> shown = Percentages(fixture.status.captions);
    QCOMPARE(shown.size(), 101);
    QCOMPARE(shown.first(), 0);
    QCOMPARE(shown.last(), 100);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::DownloaderTest)
#include "downloader_test.moc"
