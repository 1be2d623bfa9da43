// Shows the main window as a user sees it after a listing of the sample
// site and saves a picture of it, for the README.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "core/event_pump.h"
#include "core/prompts.h"
#include "core/real_file_system.h"
#include "core/settings_store.h"
#include "gui/input_fields.h"
#include "gui/main_window.h"
#include "gui/sample_site.h"
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
  if (argc != 2) {
    qCritical("usage: trawlbox-screenshot OUTPUT.png");
    return 2;
  }
  QTemporaryDir settings_dir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     settings_dir.path());
  trawlbox::SettingsStore settings;
  if (!settings
           .WriteSetting(trawlbox::kWebSiteKey, trawlbox::kSampleSiteAddress)
           .ok() ||
      !settings.WriteSetting(trawlbox::kFolderKey, "/home/user/Mirror/").ok()) {
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
  const QString site = trawlbox::kSampleSiteAddress;
  for (const char* row :
       {"", "static/oscar/favicon.ico", "static/oscar/css/styles.css",
        "static/oscar/js/bootstrap3/bootstrap.min.js", "index.html",
        "catalogue/a-light-in-the-attic_1000/index.html",
        "media/cache/2c/da/2cdad67c44b002e7ead0cc35693c0e8b.jpg"}) {
    window.file_list().Add(site + QString::fromLatin1(row));
  }
  window.file_list().SetTicked(2, false);
  window.show();
  QTimer::singleShot(500, &window, [&] {
    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
    app.exit(saved ? 0 : 1);
  });
  return app.exec();
}
