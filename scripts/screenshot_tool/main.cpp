// Shows the main window as a user sees it after listing a site, its sizes
// looked up and a pattern's rows unticked, and saves a picture of it, for
// the README.
#include <QApplication>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "core/event_pump.h"
#include "core/prompts.h"
#include "core/real_file_system.h"
#include "core/settings_store.h"
#include "gui/input_fields.h"
#include "gui/list_tools.h"
#include "gui/main_window.h"
#include "gui/window_services.h"

namespace {

class SilentPrompts : public trawlbox::Prompts {
 public:
 protected:
  void ShowBox(const QString&, const QString&, trawlbox::MessageIcon) override {
  }
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 4) {
    qCritical("usage: trawlbox-screenshot OUTPUT.png START-ADDRESS PATTERN");
    return 2;
  }
  QTemporaryDir settings_dir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     settings_dir.path());
  trawlbox::SettingsStore settings;
  if (!settings
           .WriteSetting(trawlbox::kWebSiteKey, QString::fromLocal8Bit(argv[2]))
           .ok() ||
      !settings.WriteSetting(trawlbox::kFolderKey, settings_dir.path() + "/")
           .ok() ||
      !settings
           .WriteSetting(trawlbox::kPatternKey, QString::fromLocal8Bit(argv[3]))
           .ok()) {
    qCritical("the settings cannot be written");
    return 1;
  }
  SilentPrompts prompts;
  trawlbox::EventPump pump;
  trawlbox::RealFileSystem file_system;
  trawlbox::MainWindow window(trawlbox::WindowServices(
      settings, prompts, pump, file_system, {},
      {.offline = true,
       .program_folder = settings_dir.path(),
       .desktop_folder = [] { return QStringLiteral("/home/user/"); }}));
  window.RunStartUp();
  window.show();
  window.OnStartListing();
  QTimer poll;
  poll.start(50);
  QObject::connect(&poll, &QTimer::timeout, &window, [&] {
    if (window.size_look_up().running()) return;
    poll.stop();
    window.list_tools().TickMatching(false);
    // The field shows its count once typing has paused.
    QTimer::singleShot(500, &window, [&] {
      const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
      app.exit(saved ? 0 : 1);
    });
  });
  return app.exec();
}
