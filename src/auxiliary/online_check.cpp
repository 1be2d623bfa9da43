#include "auxiliary/online_check.h"

#include "auxiliary/command_runner.h"
#include "core/prompts.h"

namespace trawlbox {
namespace {

// An address, not a name: an offline machine whose resolver waits for an
// answer would otherwise hold up the start.
const QString kPublicHost = QStringLiteral("1.1.1.1");

}  // namespace

QString OnlineCheckCommand() {
#if defined(Q_OS_WIN)
  return QStringLiteral("ping ") + kPublicHost + QStringLiteral(" -n 1");
#elif defined(Q_OS_MACOS)
  return QStringLiteral("ping -c 1 -t 3 ") + kPublicHost;
#else
  return QStringLiteral("ping -c 1 -W 3 -w 4 ") + kPublicHost;
#endif
}

QString OnlineCheckMarker() {
#ifdef Q_OS_WIN
  return QStringLiteral("bytes=");
#else
  return QStringLiteral("bytes from");
#endif
}

void CheckOnline(Prompts& prompts, EventPump* pump,
                 const std::function<QString(const QString&)>& run) {
  const QString command = OnlineCheckCommand();
  QString output;
  if (run) {
    output = run(command);
  } else if (const Result<QString> captured =
                 RunCommandCapture(command, true, false, true, pump);
             captured.ok()) {
    output = captured.value();
  }  // a ping that cannot run is no reply either
  if (output.contains(OnlineCheckMarker(), Qt::CaseInsensitive)) return;
  prompts.Message(kOfflineWarning);
}

}  // namespace trawlbox
