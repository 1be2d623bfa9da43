#ifndef TRAWLBOX_TESTS_SUPPORT_FORM_FIXTURE_H_
#define TRAWLBOX_TESTS_SUPPORT_FORM_FIXTURE_H_

#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "core/event_pump.h"
#include "core/real_file_system.h"
#include "core/settings_store.h"
#include "gui/main_window.h"
#include "gui/window_services.h"
#include "support/recording_prompts.h"
#include "support/temp_settings.h"

namespace trawlbox {

// A main window on a temporary settings store and program folder, whose
// boxes are recorded and whose outside start-up steps do nothing unless a
// test says otherwise.
struct FormFixture {
  explicit FormFixture(
      const std::function<void(MainWindowServices&)>& adjust = nullptr) {
    MainWindowServices services = WindowServices(
        settings, prompts, pump, disk, {},
        {.offline = true,
         .program_folder = program_folder.path(),
         .desktop_folder = [] { return QString("/home/u/Desktop/"); }});
    services.browse_for_folder = [this](const QString& title,
                                        const QString& start) {
      browse_requests.append({title, start});
      return browse_answers.isEmpty() ? QString() : browse_answers.takeFirst();
    };
    services.choose_file = [this](FileChoice choice, const QString&) {
      file_requests.append(choice);
      return file_answers.isEmpty() ? QString() : file_answers.takeFirst();
    };
    if (adjust) adjust(services);
    window = std::make_unique<MainWindow>(std::move(services));
  }

  template <typename T>
  T* Find(const QString& name) const {
    return window->findChild<T*>(name);
  }

  TempSettings temp_settings;
  QTemporaryDir program_folder;
  SettingsStore settings;
  RecordingPrompts prompts;
  EventPump pump;
  RealFileSystem disk;
  // The folder browser's answers, in turn, and what it was asked.
  QStringList browse_answers;
  QList<QStringList> browse_requests;
  // The file dialog's answers, in turn, and what it was asked for.
  QStringList file_answers;
  QList<FileChoice> file_requests;
  std::unique_ptr<MainWindow> window;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_FORM_FIXTURE_H_
