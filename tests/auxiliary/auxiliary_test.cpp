#include <QtTest>

#include "auxiliary/command_runner.h"
#include "auxiliary/desktop_folder.h"
#include "auxiliary/help.h"
#include "auxiliary/home_page.h"
#include "auxiliary/online_check.h"
#include "core/event_pump.h"
#include "support/recording_prompts.h"

namespace trawlbox {
namespace {

// What a command wrote, or its failure marked as one.
QString Captured(const QString& command_line, bool want_output,
                 bool want_errors, bool convert_oem,
                 EventPump* pump = nullptr) {
  const Result<QString> captured = RunCommandCapture(
      command_line, want_output, want_errors, convert_oem, pump);
  return captured.ok() ? captured.value()
                       : "failed: " + captured.status().failure();
}

}  // namespace

class AuxiliaryTest : public QObject {
  Q_OBJECT

 private slots:
#ifndef Q_OS_WIN
  // The command line is split as the platform's shell would: double quotes
  // group words.
  void LongOutputArrivesWholeAndInOrder() {
    EventPump pump;
    const QString output =
        Captured("sh -c \"seq 1 3000\"", true, false, true, &pump);
    QStringList expected;
    for (int i = 1; i <= 3000; ++i) expected << QString::number(i);
    QVERIFY(output.size() > 1024);
    QCOMPARE(output, expected.join('\n') + '\n');
  }

  void StreamsAreTakenAsAsked_data() {
    QTest::addColumn<bool>("output");
    QTest::addColumn<bool>("errors");
    QTest::addColumn<QString>("captured");
    QTest::newRow("output only") << true << false << "out\n";
    QTest::newRow("errors only") << false << true << "err\n";
    QTest::newRow("both, in order") << true << true << "out\nerr\n";
  }
  void StreamsAreTakenAsAsked() {
    QFETCH(bool, output);
    QFETCH(bool, errors);
    QFETCH(QString, captured);
    QCOMPARE(Captured("sh -c \"echo out; sleep 0.1; echo err >&2\"", output,
                      errors, false),
             captured);
  }

  void StandardInputIsClosed() {
    QCOMPARE(Captured("sh -c \"cat; echo done\"", true, false, false),
             QString("done\n"));
  }

  void CharactersSplitBetweenPiecesSurvive() {
    // 1023 ASCII bytes, then a two-byte character across the boundary.
    const QString output = Captured(
        "sh -c \"yes x | head -c 2046 | tr -d '\\n'; printf '\\303\\251\\n'\"",
        true, false, true);
    QCOMPARE(output, QString(1023, 'x') + QString::fromUtf8("é\n"));
  }
#endif

  void FailuresSayWhy_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("output");
    QTest::addColumn<QString>("failure");
    QTest::newRow("missing program")
        << "no-such-program-anywhere --flag" << true << kProcessFailureText;
    QTest::newRow("empty line") << "" << true << kProcessFailureText;
    QTest::newRow("neither stream")
        << "ping" << false << "Invalid procedure call or argument";
  }
  void FailuresSayWhy() {
    QFETCH(QString, command);
    QFETCH(bool, output);
    QFETCH(QString, failure);
    const Result<QString> captured =
        RunCommandCapture(command, output, false, true);
    QVERIFY(!captured.ok());
    QCOMPARE(captured.status().failure(), failure);
  }

  void CheckWarnsOnlyWithoutAReply_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("warned");
    const QString marker = OnlineCheckMarker();
    QTest::newRow("reply") << "64 " + marker + " 1.1.1.1: icmp_seq=1" << false;
    QTest::newRow("reply in capitals")
        << "64 " + marker.toUpper() + " x" << false;
    QTest::newRow("time-out") << "1 packets transmitted, 0 received" << true;
    QTest::newRow("unknown host") << "ping: unknown host" << true;
    QTest::newRow("another language")
        << "Zeitüberschreitung der Anforderung" << true;
    QTest::newRow("no output") << "" << true;
    QTest::newRow("no ping") << kProcessFailureText << true;
  }
  void CheckWarnsOnlyWithoutAReply() {
    QFETCH(QString, output);
    QFETCH(bool, warned);
    RecordingPrompts prompts;
    QString ran;
    CheckOnline(prompts, nullptr, [&](const QString& command) {
      ran = command;
      return output;
    });
    QCOMPARE(ran, OnlineCheckCommand());
    QCOMPARE(prompts.boxes.size(), warned ? 1 : 0);
    if (warned) {
      QCOMPARE(prompts.boxes[0].text, kOfflineWarning);
      QCOMPARE(prompts.boxes[0].title, QString("Trawlbox Harvester"));
      QCOMPARE(prompts.boxes[0].icon, MessageIcon::kNone);
    }
  }

  void CheckCommandAsksForOneRequest() {
#ifdef Q_OS_WIN
    QVERIFY(OnlineCheckCommand().endsWith(" -n 1"));
#else
    QVERIFY(OnlineCheckCommand().startsWith("ping -c 1 "));
#endif
  }

  void HomePageOpensOnlyOnSeven_data() {
    QTest::addColumn<double>("r");
    QTest::addColumn<int>("n");
    QTest::newRow("lowest") << 0.0 << 1;
    QTest::newRow("just below 7") << 0.0599 << 6;
    QTest::newRow("seven") << 0.06 << 7;
    QTest::newRow("top of seven") << 0.0699 << 7;
    QTest::newRow("eight") << 0.07 << 8;
    QTest::newRow("highest") << 0.9999 << 100;
  }
  void HomePageOpensOnlyOnSeven() {
    QFETCH(double, r);
    QFETCH(int, n);
    QCOMPARE(HomePageDraw(r), n);
    QList<QUrl> opened;
    QVERIFY(MaybeOpenHomePage([r] { return r; },
                              [&](const QUrl& url) {
                                opened << url;
                                return true;
                              })
                .ok());
    QCOMPARE(opened.size(), n == 7 ? 1 : 0);
    if (n == 7) QCOMPARE(opened[0], QUrl("http://www.marlwick.example/"));
  }

  void BrowserThatCannotStartIsAFailure() {
    QCOMPARE(MaybeOpenHomePage([] { return 0.065; },
                               [](const QUrl&) { return false; })
                 .failure(),
             QString("File not found"));
  }

  void DesktopFolderEndsInOneSeparator() {
    const QString sep = QDir::separator();
    QCOMPARE(DesktopFolderText("/home/u/Desktop").value(),
             QDir::toNativeSeparators("/home/u/Desktop") + sep);
    QCOMPARE(DesktopFolderText("/home/u/Desktop/").value(),
             QDir::toNativeSeparators("/home/u/Desktop/"));
    QCOMPARE(DesktopFolderText("").status().failure(),
             QString("Invalid procedure call or argument"));
  }

  void HelpNamesTheContactPage() {
    RecordingPrompts prompts;
    prompts.set_app_title("Trawlbox");
    ShowHelp(prompts);
    ShowHelp(prompts);
    QCOMPARE(prompts.boxes.size(), 2);
    for (const auto& box : prompts.boxes) {
      QCOMPARE(box.text, QString("Questions? Please contact Team Marlwick at "
                                 "http://www.marlwick.example/contact/"));
      QCOMPARE(box.title, QString("Trawlbox"));
      QCOMPARE(box.icon, MessageIcon::kNone);
    }
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::AuxiliaryTest)
#include "auxiliary_test.moc"
