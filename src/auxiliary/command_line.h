#ifndef TRAWLBOX_AUXILIARY_COMMAND_LINE_H_
#define TRAWLBOX_AUXILIARY_COMMAND_LINE_H_

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

#include "net/retry_policy.h"

namespace trawlbox {

class SettingsStore;

// The name the program answers under on the command line.
inline const QString kProgramName = QStringLiteral("trawlbox-harvester");

// The program's version, as the build names it ("0.1.0").
QString ProgramVersion();

// What the command line sets for one run of the window.
struct RunOptions {
  // --retries N: how often a transient failure is tried again.
  std::optional<int> retries;
  // --connections N: how many transfers the download keeps in flight.
  std::optional<int> connections;
  // --update: the download asks for a file that is there only if it
  // changed.
  bool update = false;
  // --no-size-look-ups: no HEADs for the sizes after a listing.
  bool no_size_look_ups = false;
};

// Decides what the command line asks for before any window exists, so it
// needs neither a display nor an application object. `arguments` are the raw
// arguments, the program's own path first.
//
// --help (-h) writes the usage to `out` and --version (-v) the name and
// version; both answer 0. An unknown option or a stray argument writes one
// line to `err` and answers 1, and so does an option with a value out of
// its range. Qt's own start-up options (-style, -platform, -reverse and the
// like) are let through for the application object. With nothing to answer
// the result is empty, `options` (when given) holds what the run is to use,
// and the program starts as usual.
std::optional<int> AnswerCommandLine(const QStringList& arguments,
                                     QTextStream& out, QTextStream& err,
                                     RunOptions* options = nullptr);

// The whole number from `least` to `most` that a setting or an option
// writes (blanks around it aside), or none.
std::optional<int> ParseCount(const QString& text, int least, int most);

// The retries of this run: --retries when given, else the "Retries"
// setting when it holds a number from 0 to 10, else the default.
RetryPolicy RetryPolicyForRun(const RunOptions& options,
                              const SettingsStore& settings);

// The connections of this run: --connections when given, else the
// "Connections" setting when it holds a number from 1 to 16, else 6.
int ConnectionsForRun(const RunOptions& options, const SettingsStore& settings);

// Whether the downloads of this run update the mirror: with --update, else
// when the "Update" setting says true (true or 1; false, 0 or anything
// else is no).
bool UpdateForRun(const RunOptions& options, const SettingsStore& settings);

// Whether this run asks the server for the sizes a listing did not print:
// not with --no-size-look-ups, else unless the "LookUpSizes" setting says
// false (false or 0).
bool LookUpSizesForRun(const RunOptions& options,
                       const SettingsStore& settings);

// The same for main()'s arguments, answering on standard output and error.
std::optional<int> AnswerCommandLine(int argc, char* argv[],
                                     RunOptions* options = nullptr);

}  // namespace trawlbox

#endif  // TRAWLBOX_AUXILIARY_COMMAND_LINE_H_
