#ifndef TRAWLBOX_AUXILIARY_COMMAND_RUNNER_H_
#define TRAWLBOX_AUXILIARY_COMMAND_RUNNER_H_

#include <QString>

#include "core/status.h"

namespace trawlbox {

class EventPump;

inline const QString kProcessFailureText = QStringLiteral(
    "Failed to create process, check the path of the command line.");

// Runs `command_line` (split as the platform's shell would) without a
// console window and with its standard input closed, and returns what it
// wrote to the wanted stream(s), in order, read in pieces of at most 1024
// bytes while window events run. With `convert_oem` the bytes are taken in
// the console's code page, otherwise in the system's 8-bit one. A program
// that cannot be started fails with kProcessFailureText; wanting neither
// stream is an invalid call.
Result<QString> RunCommandCapture(const QString& command_line, bool want_output,
                                  bool want_errors, bool convert_oem,
                                  EventPump* pump = nullptr);

}  // namespace trawlbox

#endif  // TRAWLBOX_AUXILIARY_COMMAND_RUNNER_H_
