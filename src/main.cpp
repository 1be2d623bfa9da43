#include <QApplication>

#include "app/main_window.h"
#include "app/prompts.h"
#include "app/settings_store.h"
#include "auxiliary/command_line.h"

int main(int argc, char* argv[]) {
  // --help and --version answer before any window or display is needed.
  if (const auto exit_code = trawlbox::AnswerCommandLine(argc, argv)) {
    return *exit_code;
  }
  QApplication app(argc, argv);
  // Lets the desktop tie the window to the installed menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("trawlbox-harvester"));
  trawlbox::SettingsStore settings;
  trawlbox::DialogPrompts prompts;
  trawlbox::Form1Services services;
  services.settings = &settings;
  services.prompts = &prompts;
  services.program_folder = QApplication::applicationDirPath();
  trawlbox::Form1 window(std::move(services));
  prompts.set_owner(&window);
  window.Form_Load();
  window.show();
  return app.exec();
}
