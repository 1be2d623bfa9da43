#include "auxiliary/command_runner.h"

#include <QProcess>
#include <QStringDecoder>

#include "core/event_pump.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace trawlbox {
namespace {

constexpr qint64 kPieceBytes = 1024;

// Turns the pieces into text; a character split between two pieces is
// decoded whole.
class ConsoleDecoder {
 public:
  explicit ConsoleDecoder(bool console_code_page)
      : console_code_page_(console_code_page) {}

  QString Decode(const QByteArray& bytes) {
#ifdef Q_OS_WIN
    if (console_code_page_) {
      const int size = MultiByteToWideChar(CP_OEMCP, 0, bytes.constData(),
                                           int(bytes.size()), nullptr, 0);
      QString text(size, Qt::Uninitialized);
      MultiByteToWideChar(CP_OEMCP, 0, bytes.constData(), int(bytes.size()),
                          reinterpret_cast<wchar_t*>(text.data()), size);
      return text;
    }
#endif
    return system_(bytes);
  }

 private:
  bool console_code_page_;
  QStringDecoder system_{QStringDecoder::System};
};

}  // namespace

Result<QString> RunCommandCapture(const QString& command_line, bool want_output,
                                  bool want_errors, bool convert_oem,
                                  EventPump* pump) {
  if (!want_output && !want_errors) {
    return Status::Failure(ErrorKind::kInvalidCall);
  }
  QStringList arguments = QProcess::splitCommand(command_line);
  if (arguments.isEmpty()) return Status::Failure(kProcessFailureText);
  const QString program = arguments.takeFirst();

  QProcess process;
  process.setStandardInputFile(QProcess::nullDevice());
  if (want_output && want_errors) {
    process.setProcessChannelMode(QProcess::MergedChannels);
  } else if (want_output) {
    process.setStandardErrorFile(QProcess::nullDevice());
  } else {
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setReadChannel(QProcess::StandardError);
  }
#ifdef Q_OS_WIN
  process.setCreateProcessArgumentsModifier(
      [](QProcess::CreateProcessArguments* args) {
        args->flags |= CREATE_NO_WINDOW;
      });
#endif
  process.start(program, arguments, QIODevice::ReadOnly);
  if (!process.waitForStarted()) {
    return Status::Failure(kProcessFailureText);
  }

  EventPump own_pump;
  EventPump& events = pump != nullptr ? *pump : own_pump;
  ConsoleDecoder decoder(convert_oem);
  QString result;
  for (;;) {
    // Sleeps on window events until the child writes or ends.
    events.WaitUntil([&] {
      return process.bytesAvailable() > 0 ||
             process.state() == QProcess::NotRunning;
    });
    if (process.bytesAvailable() == 0) break;
    result += decoder.Decode(process.read(kPieceBytes));
  }
  return result;
}

}  // namespace trawlbox
