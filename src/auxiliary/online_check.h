#ifndef TRAWLBOX_AUXILIARY_ONLINE_CHECK_H_
#define TRAWLBOX_AUXILIARY_ONLINE_CHECK_H_

#include <QString>
#include <functional>

namespace trawlbox {

class EventPump;
class Prompts;

inline const QString kOfflineWarning =
    QStringLiteral("You must be online to use this software accurately.");

// The ping of a well-known public host, one request with a short wait for
// the reply, in the platform's own form.
QString OnlineCheckCommand();
// What a reply looks like in the ping's output (any letter case).
QString OnlineCheckMarker();

// The start-up connectivity check: runs the ping (through `run`, given the
// command line; RunCommandCapture by default) and warns once when no reply
// came. The warning carries the application title of the moment.
void CheckOnline(Prompts& prompts, EventPump* pump = nullptr,
                 const std::function<QString(const QString&)>& run = nullptr);

}  // namespace trawlbox

#endif  // TRAWLBOX_AUXILIARY_ONLINE_CHECK_H_
