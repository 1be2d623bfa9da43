#ifndef TRAWLBOX_AUXILIARY_COMMAND_LINE_H_
#define TRAWLBOX_AUXILIARY_COMMAND_LINE_H_

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

namespace trawlbox {

// The name the program answers under on the command line.
inline const QString kProgramName = QStringLiteral("trawlbox-harvester");

// The program's version, as the build names it ("0.1.0").
QString ProgramVersion();

// Decides what the command line asks for before any window exists, so it
// needs neither a display nor an application object. `arguments` are the raw
// arguments, the program's own path first.
//
// --help (-h) writes the usage to `out` and --version (-v) the name and
// version; both answer 0. An unknown option or a stray argument writes one
// line to `err` and answers 1. Qt's own start-up options (-style, -platform,
// -reverse and the like) are let through for the application object. With
// nothing to answer the result is empty and the program starts as usual.
std::optional<int> AnswerCommandLine(const QStringList& arguments,
                                     QTextStream& out, QTextStream& err);

// The same for main()'s arguments, answering on standard output and error.
std::optional<int> AnswerCommandLine(int argc, char* argv[]);

}  // namespace trawlbox

#endif  // TRAWLBOX_AUXILIARY_COMMAND_LINE_H_
