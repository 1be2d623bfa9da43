#include "gui/window_services.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

#include "auxiliary/desktop_folder.h"
#include "auxiliary/home_page.h"
#include "auxiliary/online_check.h"
#include "core/event_pump.h"
#include "core/prompts.h"
#include "core/settings_store.h"

namespace trawlbox {

MainWindowServices WindowServices(SettingsStore& settings, Prompts& prompts,
                                  EventPump& pump, FileSystem& file_system,
                                  const RunOptions& options,
                                  const ServiceHooks& hooks) {
  MainWindowServices services;
  services.settings = &settings;
  services.prompts = &prompts;
  services.pump = &pump;
  services.file_system = &file_system;
  services.run_settings.retries = RetryPolicyForRun(options, settings);
  services.run_settings.connections = ConnectionsForRun(options, settings);
  services.ca_file = hooks.ca_file;
  services.update = UpdateForRun(options, settings);
  services.look_up_sizes = LookUpSizesForRun(options, settings);
  services.program_folder = hooks.program_folder.isEmpty()
                                ? QCoreApplication::applicationDirPath()
                                : hooks.program_folder;
  services.desktop_folder =
      hooks.desktop_folder ? hooks.desktop_folder
                           : std::function<Result<QString>()>(GetDesktopFolder);
  if (hooks.offline) {
    services.check_online = [] {};
    services.maybe_open_home_page = [] { return Status(); };
    return services;
  }
  services.check_online = [&prompts, &pump] { CheckOnline(prompts, &pump); };
  // The browser is the desktop's business, which only this floor knows.
  services.maybe_open_home_page = [] {
    return MaybeOpenHomePage(nullptr, [](const QUrl& url) {
      return QDesktopServices::openUrl(url);
    });
  };
  return services;
}

}  // namespace trawlbox
