#ifndef TRAWLBOX_GUI_WINDOW_SERVICES_H_
#define TRAWLBOX_GUI_WINDOW_SERVICES_H_

#include <QString>
#include <functional>

#include "auxiliary/command_line.h"
#include "core/status.h"
#include "gui/main_window.h"

namespace trawlbox {

class EventPump;
class FileSystem;
class Prompts;
class SettingsStore;

// What a window made outside the program (by a test, the benchmark driver,
// the screenshot tool) takes in place of the program's own choices, so it
// stays off the network, the browser and the user's desktop. Left as they
// are, the program's choices stand.
struct ServiceHooks {
  // No connectivity check, and no home page however the draw falls.
  bool offline = false;
  // Where the optional skin and hand pointer are looked for; the program's
  // own folder when empty.
  QString program_folder = QString();
  // The default destination folder; the user's desktop when unset.
  std::function<Result<QString>()> desktop_folder = nullptr;
  // Certificates trusted instead of the system's, for servers of a test.
  QString ca_file = QString();
};

// The window's services, wired in this one place for the program and for
// everything else that makes its window. `settings`, `prompts`, `pump` and
// `file_system` must outlive the window. The retries, the connections and
// whether downloads update are what `options` and the settings give.
MainWindowServices WindowServices(SettingsStore& settings, Prompts& prompts,
                                  EventPump& pump, FileSystem& file_system,
                                  const RunOptions& options = {},
                                  const ServiceHooks& hooks = {});

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_WINDOW_SERVICES_H_
