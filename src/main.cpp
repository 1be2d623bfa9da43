// Composes the program: the settings store, the boxes, the start-up
// services, and the window they are handed to.
#include <QApplication>

#include "auxiliary/command_line.h"
#include "core/event_pump.h"
#include "core/real_file_system.h"
#include "core/settings_store.h"
#include "gui/dialog_prompts.h"
#include "gui/main_window.h"
#include "gui/window_services.h"

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
  trawlbox::MainWindow window(
      trawlbox::WindowServices(settings, prompts, pump, file_system, options));
  prompts.set_owner(&window);
  window.RunStartUp();
  window.show();
  return app.exec();
}
