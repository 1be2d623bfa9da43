// Composes the program: the settings store, the boxes, the start-up
// services, and the window they are handed to.
#include <QApplication>
#include <QDesktopServices>

#include "auxiliary/command_line.h"
#include "auxiliary/desktop_folder.h"
#include "auxiliary/home_page.h"
#include "auxiliary/online_check.h"
#include "core/event_pump.h"
#include "core/real_file_system.h"
#include "core/settings_store.h"
#include "gui/dialog_prompts.h"
#include "gui/main_window.h"

int main(int argc, char* argv[]) {
  // --help and --version answer before any window or display is needed.
  trawlbox::RunOptions options;
  if (const auto exit_code =
          trawlbox::AnswerCommandLine(argc, argv, &options)) {
    return *exit_code;
  }
  QApplication app(argc, argv);
  // Lets the desktop tie the window to the installed menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("trawlbox-harvester"));

  trawlbox::SettingsStore settings;
  trawlbox::DialogPrompts prompts;
  trawlbox::EventPump pump;
  trawlbox::RealFileSystem file_system;
  trawlbox::MainWindowServices services;
  services.settings = &settings;
  services.prompts = &prompts;
  services.pump = &pump;
  services.file_system = &file_system;
  services.retry_policy = trawlbox::RetryPolicyForRun(options, settings);
  services.connections = trawlbox::ConnectionsForRun(options, settings);
  services.program_folder = QApplication::applicationDirPath();
  services.desktop_folder = trawlbox::GetDesktopFolder;
  services.maybe_open_home_page = [] {
    trawlbox::MaybeOpenHomePage(nullptr, [](const QUrl& url) {
      return QDesktopServices::openUrl(url);
    });
  };
  services.check_online = [&prompts, &pump] {
    trawlbox::CheckOnline(prompts, &pump);
  };
  trawlbox::MainWindow window(std::move(services));
  prompts.set_owner(&window);
  window.RunStartUp();
  window.show();
  return app.exec();
}
