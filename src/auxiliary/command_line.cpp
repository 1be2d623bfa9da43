#include "auxiliary/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <cstdio>

#include "core/settings_store.h"
#include "core/status.h"
#include "net/request_run.h"
#include "net/retry_policy.h"

namespace trawlbox {
namespace {

// Qt's documented start-up options, which QGuiApplication and QApplication
// take from the command line themselves. They pass here unanswered and stay
// out of the help.
const char* const kQtOptionsWithValue[] = {
    "platform",    "platformpluginpath", "platformtheme",
    "plugin",      "qmljsdebugger",      "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",
    "display",     "geometry",           "style",
    "stylesheet",
};
const char* const kQtFlags[] = {"reverse", "widgetcount"};

QString HelpText(const QCommandLineParser& parser) {
  // Qt names the program in the usage line by the application object's first
  // argument, which does not exist yet; the rest of its text stands.
  const QString text = parser.helpText();
  return QStringLiteral("Usage: %1 [options]").arg(kProgramName) +
         text.mid(text.indexOf(QLatin1Char('\n')));
}

// What a yes-or-no setting says: true or 1, false or 0 (letter case
// disregarded, blanks around it aside); none for anything else or a store
// that cannot be read, which is no reason to stop the program here.
std::optional<bool> ReadSwitch(const SettingsStore& settings,
                               const QString& key) {
  const Result<QString> text = settings.ReadSetting(key, QString());
  if (!text.ok()) return std::nullopt;
  const QString value = text.value().trimmed();
  if (value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
      value == QLatin1String("1")) {
    return true;
  }
  if (value.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
      value == QLatin1String("0")) {
    return false;
  }
  return std::nullopt;
}

// The window's keys, for the help.
const char kKeys[] =
    "\n\nKeys in the window: Ctrl+L lists the web files, Ctrl+D downloads "
    "the\nticked ones, Escape stops either (and the size look-ups); Ctrl+F "
    "goes to\nthe pattern field, Alt+T ticks and Alt+U unticks the rows it "
    "matches;\nthe Menu key or Shift+F10 opens a row's menu; Ctrl+S saves "
    "the list,\nCtrl+O opens a saved one, Ctrl+Shift+E exports the ticked "
    "rows for aria2.";

void WriteError(const QString& error, QTextStream& err) {
  err << kProgramName << ": " << error << " Try '" << kProgramName
      << " --help'.\n";
}

}  // namespace

QString ProgramVersion() { return QStringLiteral(TRAWLBOX_VERSION); }

std::optional<int> ParseCount(const QString& text, int least, int most) {
  bool number = false;
  const int count = text.trimmed().toInt(&number);
  if (!number || count < least || count > most) return std::nullopt;
  return count;
}

std::optional<int> AnswerCommandLine(const QStringList& arguments,
                                     QTextStream& out, QTextStream& err,
                                     RunOptions* options) {
  QCommandLineParser parser;
  // Qt's options are words behind one dash ("-style"), so single-dash words
  // are option names rather than bundles of letters.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(
      QStringLiteral("Copies a web site into a local folder. Without options "
                     "it opens its window;\nsee trawlbox-harvester(1).") +
      QLatin1String(kKeys));
  const QCommandLineOption help(
      {QStringLiteral("h"), QStringLiteral("help")},
      QStringLiteral("Displays this help and exits."));
  const QCommandLineOption version(
      {QStringLiteral("v"), QStringLiteral("version")},
      QStringLiteral("Displays the version and exits."));
  const QCommandLineOption retries(
      QStringLiteral("retries"),
      QStringLiteral(
          "Tries a request that failed on something passing (a dropped "
          "connection, a busy server) again up to N "
          "times, 0 to %1; the \"Retries\" setting, 3 unless "
          "set, otherwise.")
          .arg(RetryPolicy::kMaxRetries),
      QStringLiteral("N"));
  const QCommandLineOption connections(
      QStringLiteral("connections"),
      QStringLiteral("Keeps up to N connections to the site, 1 to %1, with "
                     "one request at a time on each over HTTP/1.1 and up "
                     "to 16 over HTTP/2 (1 asks for one file after "
                     "another, as small servers may prefer); the "
                     "\"Connections\" setting, 6 unless set, otherwise.")
          .arg(RunSettings::kMaxConnections),
      QStringLiteral("N"));
  const QCommandLineOption update(
      QStringLiteral("update"),
      QStringLiteral("Brings a mirror up to date: the download asks for each "
                     "file the folder holds only if it changed since it was "
                     "stored; the \"Update\" setting, off unless set, "
                     "otherwise."));
  const QCommandLineOption no_size_look_ups(
      QStringLiteral("no-size-look-ups"),
      QStringLiteral("Asks the server for no sizes after a listing (one "
                     "HEAD request for each file whose listing printed no "
                     "exact size); the \"LookUpSizes\" setting, on unless "
                     "set to false, otherwise."));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(retries);
  parser.addOption(connections);
  parser.addOption(update);
  parser.addOption(no_size_look_ups);
  for (const char* name : kQtOptionsWithValue) {
    QCommandLineOption option(QString::fromLatin1(name), QString(),
                              QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : kQtFlags) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }

  if (!parser.parse(arguments)) {
    WriteError(parser.errorText(), err);
    return 1;
  }
  const QStringList stray = parser.positionalArguments();
  if (!stray.isEmpty()) {
    WriteError(QStringLiteral("Unexpected argument '%1'.").arg(stray.first()),
               err);
    return 1;
  }
  if (parser.isSet(help)) {
    out << HelpText(parser);
    return 0;
  }
  if (parser.isSet(version)) {
    out << kProgramName << ' ' << ProgramVersion() << '\n';
    return 0;
  }
  RunOptions run;
  if (parser.isSet(retries)) {
    run.retries =
        ParseCount(parser.value(retries), 0, RetryPolicy::kMaxRetries);
    if (!run.retries) {
      WriteError(QStringLiteral("Invalid value for --retries: '%1' (0 to %2).")
                     .arg(parser.value(retries))
                     .arg(RetryPolicy::kMaxRetries),
                 err);
      return 1;
    }
  }
  if (parser.isSet(connections)) {
    run.connections =
        ParseCount(parser.value(connections), 1, RunSettings::kMaxConnections);
    if (!run.connections) {
      WriteError(
          QStringLiteral("Invalid value for --connections: '%1' (1 to %2).")
              .arg(parser.value(connections))
              .arg(RunSettings::kMaxConnections),
          err);
      return 1;
    }
  }
  run.update = parser.isSet(update);
  run.no_size_look_ups = parser.isSet(no_size_look_ups);
  if (options != nullptr) *options = run;
  return std::nullopt;
}

RetryPolicy RetryPolicyForRun(const RunOptions& options,
                              const SettingsStore& settings) {
  RetryPolicy policy;
  if (options.retries) {
    policy.retries = *options.retries;
    return policy;
  }
  // A store that cannot be read says so when the window reads its fields;
  // the number of retries is no reason to stop the program here.
  const Result<QString> text =
      settings.ReadSetting(QStringLiteral("Retries"), QString());
  if (text.ok()) {
    policy.retries = ParseCount(text.value(), 0, RetryPolicy::kMaxRetries)
                         .value_or(policy.retries);
  }
  return policy;
}

int ConnectionsForRun(const RunOptions& options,
                      const SettingsStore& settings) {
  if (options.connections) return *options.connections;
  // As for the retries: no reason to stop the program here.
  const Result<QString> text =
      settings.ReadSetting(QStringLiteral("Connections"), QString());
  if (!text.ok()) return RunSettings::kDefaultConnections;
  return ParseCount(text.value(), 1, RunSettings::kMaxConnections)
      .value_or(RunSettings::kDefaultConnections);
}

bool UpdateForRun(const RunOptions& options, const SettingsStore& settings) {
  if (options.update) return true;
  return ReadSwitch(settings, QStringLiteral("Update")).value_or(false);
}

bool LookUpSizesForRun(const RunOptions& options,
                       const SettingsStore& settings) {
  if (options.no_size_look_ups) return false;
  return ReadSwitch(settings, QStringLiteral("LookUpSizes")).value_or(true);
}

std::optional<int> AnswerCommandLine(int argc, char* argv[],
                                     RunOptions* options) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QTextStream out(stdout);
  QTextStream err(stderr);
  return AnswerCommandLine(arguments, out, err, options);
}

}  // namespace trawlbox
