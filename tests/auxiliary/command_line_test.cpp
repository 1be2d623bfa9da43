#include "auxiliary/command_line.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QtTest>

#include "core/settings_store.h"
#include "support/temp_settings.h"

namespace trawlbox {
namespace {

// What the program does with a command line: -1 when it starts as usual.
constexpr int kStarts = -1;

const QString kHelp = QStringLiteral(
    "Usage: trawlbox-harvester \\[options\\]\n"
    "Copies a web site into a local folder\\..*\n"
    "\n"
    "Keys in the window: Ctrl\\+L .* Ctrl\\+D .* Escape .* Ctrl\\+F .*"
    "Alt\\+T .* Alt\\+U .* Shift\\+F10 .* Ctrl\\+S .*Ctrl\\+O .*"
    "Ctrl\\+Shift\\+E .*\n"
    "\n"
    "Options:\n"
    "  -h, --help +Displays this help and exits\\.\n"
    "  -v, --version +Displays the version and exits\\.\n"
    "  --retries <N> +Tries a request .*otherwise\\.\n"
    "  --connections <N> +Keeps up to N connections .*otherwise\\.\n"
    "  --update +Brings a mirror up to date: .*otherwise\\.\n"
    "  --no-size-look-ups +Asks the server for no sizes .*otherwise\\.\n");

QString VersionLine() {
  return QStringLiteral("trawlbox-harvester ") +
         QRegularExpression::escape(QStringLiteral(TRAWLBOX_PROJECT_VERSION)) +
         QStringLiteral("\n");
}

// One line naming the fault and pointing at --help.
QString ErrorLine(const QString& fault) {
  return QStringLiteral("trawlbox-harvester: ") +
         QRegularExpression::escape(fault) +
         QStringLiteral(" Try 'trawlbox-harvester --help'\\.\n");
}

void VerifyMatches(const QString& text, const QString& pattern) {
  const QRegularExpression expression(
      QRegularExpression::anchoredPattern(pattern),
      QRegularExpression::DotMatchesEverythingOption);
  QVERIFY2(expression.isValid(), qPrintable(expression.errorString()));
  QVERIFY2(
      expression.match(text).hasMatch(),
      qPrintable(
          QStringLiteral("\"%1\" does not match \"%2\"").arg(text, pattern)));
}

void AddRows() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("exit_code");
  QTest::addColumn<QString>("out");
  QTest::addColumn<QString>("err");
  QTest::newRow("none") << QStringList() << kStarts << ""
                        << "";
  QTest::newRow("--help") << QStringList{"--help"} << 0 << kHelp << "";
  QTest::newRow("-h") << QStringList{"-h"} << 0 << kHelp << "";
  QTest::newRow("--version")
      << QStringList{"--version"} << 0 << VersionLine() << "";
  QTest::newRow("-v") << QStringList{"-v"} << 0 << VersionLine() << "";
  QTest::newRow("help before version")
      << QStringList{"--version", "--help"} << 0 << kHelp << "";
  QTest::newRow("unknown option") << QStringList{"--bogus"} << 1 << ""
                                  << ErrorLine("Unknown option 'bogus'.");
  QTest::newRow("unknown letter")
      << QStringList{"-x"} << 1 << "" << ErrorLine("Unknown option 'x'.");
  QTest::newRow("unknown option beside --help")
      << QStringList{"--help", "--bogus"} << 1 << ""
      << ErrorLine("Unknown option 'bogus'.");
  QTest::newRow("stray argument")
      << QStringList{"http://example.com/"} << 1 << ""
      << ErrorLine("Unexpected argument 'http://example.com/'.");
  QTest::newRow("stray argument beside --version")
      << QStringList{"--version", "extra"} << 1 << ""
      << ErrorLine("Unexpected argument 'extra'.");
  QTest::newRow("Qt option with a value")
      << QStringList{"-style", "fusion"} << kStarts << ""
      << "";
  QTest::newRow("Qt option with an attached value")
      << QStringList{"-platform=offscreen"} << kStarts << ""
      << "";
  QTest::newRow("Qt flag") << QStringList{"-reverse"} << kStarts << ""
                           << "";
  QTest::newRow("retries") << QStringList{"--retries", "0"} << kStarts << ""
                           << "";
  QTest::newRow("retries at most")
      << QStringList{"--retries=10"} << kStarts << ""
      << "";
  QTest::newRow("retries too many")
      << QStringList{"--retries", "11"} << 1 << ""
      << ErrorLine("Invalid value for --retries: '11' (0 to 10).");
  QTest::newRow("retries no number")
      << QStringList{"--retries", "many"} << 1 << ""
      << ErrorLine("Invalid value for --retries: 'many' (0 to 10).");
  QTest::newRow("retries without a value")
      << QStringList{"--retries"} << 1 << ""
      << ErrorLine("Missing value after '--retries'.");
  QTest::newRow("connections")
      << QStringList{"--connections", "1"} << kStarts << ""
      << "";
  QTest::newRow("connections too many")
      << QStringList{"--connections=17"} << 1 << ""
      << ErrorLine("Invalid value for --connections: '17' (1 to 16).");
  QTest::newRow("connections none")
      << QStringList{"--connections", "0"} << 1 << ""
      << ErrorLine("Invalid value for --connections: '0' (1 to 16).");
  QTest::newRow("Qt option without its value")
      << QStringList{"-style"} << 1 << ""
      << ErrorLine("Missing value after '-style'.");
}

}  // namespace

class CommandLineTest : public QObject {
  Q_OBJECT

 private slots:
  void AnswersTheCommandLine_data() { AddRows(); }
  void AnswersTheCommandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exit_code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QString out_text;
    QString err_text;
    QTextStream out_stream(&out_text);
    QTextStream err_stream(&err_text);
    const std::optional<int> answer = AnswerCommandLine(
        QStringList{"/usr/bin/trawlbox-harvester"} + arguments, out_stream,
        err_stream);
    out_stream.flush();
    err_stream.flush();
    QCOMPARE(answer.value_or(kStarts), exit_code);
    VerifyMatches(out_text, out);
    VerifyMatches(err_text, err);
  }

  void OptionsForTheRun_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("retries");      // -1: none given
    QTest::addColumn<int>("connections");  // -1: none given
    QTest::newRow("none") << QStringList() << -1 << -1;
    QTest::newRow("retries") << QStringList{"--retries", "7"} << 7 << -1;
    QTest::newRow("retries beside a Qt option")
        << QStringList{"-style", "fusion", "--retries=0"} << 0 << -1;
    QTest::newRow("both") << QStringList{"--connections", "16", "--retries=2"}
                          << 2 << 16;
  }
  void OptionsForTheRun() {
    QFETCH(QStringList, arguments);
    QFETCH(int, retries);
    QFETCH(int, connections);
    QString text;
    QTextStream stream(&text);
    RunOptions options;
    options.retries = 99;
    options.connections = 99;
    QCOMPARE(AnswerCommandLine(QStringList{"trawlbox-harvester"} + arguments,
                               stream, stream, &options),
             std::nullopt);
    QCOMPARE(options.retries.value_or(-1), retries);
    QCOMPARE(options.connections.value_or(-1), connections);
  }

  // What the two numbers of a run come to: the option, else the setting
  // when it holds a number in range, else the default.
  void NumbersOfTheRun_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("setting");  // null: not stored
    QTest::addColumn<int>("option");       // -1: not given
    QTest::addColumn<int>("number");
    QTest::newRow("retries by default") << "Retries" << QString() << -1 << 3;
    QTest::newRow("retries set") << "Retries"
                                 << "5" << -1 << 5;
    QTest::newRow("retries none") << "Retries"
                                  << " 0 " << -1 << 0;
    QTest::newRow("retries out of range") << "Retries"
                                          << "11" << -1 << 3;
    QTest::newRow("retries no number") << "Retries"
                                       << "2.5" << -1 << 3;
    QTest::newRow("retries by option") << "Retries"
                                       << "5" << 1 << 1;
    QTest::newRow("connections by default")
        << "Connections" << QString() << -1 << 6;
    QTest::newRow("connections set") << "Connections"
                                     << "1" << -1 << 1;
    QTest::newRow("connections at most") << "Connections"
                                         << "16" << -1 << 16;
    QTest::newRow("connections none") << "Connections"
                                      << "0" << -1 << 6;
    QTest::newRow("connections no number") << "Connections"
                                           << "many" << -1 << 6;
    QTest::newRow("connections by option") << "Connections"
                                           << "2" << 12 << 12;
  }
  void NumbersOfTheRun() {
    QFETCH(QString, key);
    QFETCH(QString, setting);
    QFETCH(int, option);
    QFETCH(int, number);
    TempSettings temp;
    SettingsStore settings;
    if (!setting.isNull()) QVERIFY(settings.WriteSetting(key, setting).ok());
    RunOptions options;
    if (key == "Retries") {
      if (option >= 0) options.retries = option;
      QCOMPARE(RetryPolicyForRun(options, settings).retries, number);
    } else {
      if (option >= 0) options.connections = option;
      QCOMPARE(ConnectionsForRun(options, settings), number);
    }
  }

  // The two switches of a run: whether its downloads update (--update, else
  // the setting when it says true) and whether it looks up sizes (not with
  // --no-size-look-ups, else unless the setting says false).
  void SwitchesOfTheRun_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("setting");  // null: not stored
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("on");
    QTest::newRow("update by default")
        << "Update" << QString() << QStringList() << false;
    QTest::newRow("update set true") << "Update"
                                     << "true" << QStringList() << true;
    QTest::newRow("update set otherwise")
        << "Update"
        << "sometimes" << QStringList() << false;
    QTest::newRow("update by option")
        << "Update"
        << "false" << QStringList{"--update"} << true;
    QTest::newRow("sizes by default")
        << "LookUpSizes" << QString() << QStringList() << true;
    QTest::newRow("sizes set false") << "LookUpSizes"
                                     << " FALSE" << QStringList() << false;
    QTest::newRow("sizes set 0") << "LookUpSizes"
                                 << "0" << QStringList() << false;
    QTest::newRow("sizes set otherwise") << "LookUpSizes"
                                         << "never" << QStringList() << true;
    QTest::newRow("sizes by option")
        << "LookUpSizes"
        << "true" << QStringList{"--no-size-look-ups"} << false;
  }
  void SwitchesOfTheRun() {
    QFETCH(QString, key);
    QFETCH(QString, setting);
    QFETCH(QStringList, arguments);
    QFETCH(bool, on);
    TempSettings temp;
    SettingsStore settings;
    if (!setting.isNull()) QVERIFY(settings.WriteSetting(key, setting).ok());
    QString text;
    QTextStream stream(&text);
    RunOptions options;
    QCOMPARE(AnswerCommandLine(QStringList{"trawlbox-harvester"} + arguments,
                               stream, stream, &options),
             std::nullopt);
    QCOMPARE(key == "Update" ? UpdateForRun(options, settings)
                             : LookUpSizesForRun(options, settings),
             on);
  }

  void VersionIsTheProjectVersion() {
    QCOMPARE(ProgramVersion(), QStringLiteral(TRAWLBOX_PROJECT_VERSION));
    VerifyMatches(ProgramVersion(), "[0-9]+\\.[0-9]+\\.[0-9]+");
  }

  // The built program answers without a display and without Qt's platform
  // variable: no window or application object is made before it answers.
  // Rows that would start the window are left out.
  void ProgramAnswersWithoutADisplay_data() { AddRows(); }
  void ProgramAnswersWithoutADisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exit_code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    if (exit_code == kStarts) QSKIP("would open the window");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
      environment.remove(QString::fromLatin1(name));
    }
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TRAWLBOX_PROGRAM), arguments);
    QVERIFY2(program.waitForFinished(30000), "the program did not exit");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exit_code);
    VerifyMatches(QString::fromLocal8Bit(program.readAllStandardOutput()), out);
    VerifyMatches(QString::fromLocal8Bit(program.readAllStandardError()), err);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::CommandLineTest)
#include "command_line_test.moc"
