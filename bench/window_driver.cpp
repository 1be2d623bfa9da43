// Lists and downloads a site through the program's real main window, on the
// offscreen platform with every box answered at once, and prints what it
// measured as "key value" lines:
//   trawlbox-window-driver START_ADDRESS DESTINATION_FOLDER
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "core/file_list.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "gui/main_window.h"
#include "peak_memory.h"

namespace {

class AnsweringPrompts : public trawlbox::Prompts {
 public:
  QString BrowseForFolder(const QString&, const QString&) override {
    return {};
  }
  int reports = 0;

 protected:
  void ShowBox(const QString& title, const QString& text,
               trawlbox::MessageIcon) override {
    if (title == QLatin1String("Application Error")) {
      ++reports;
      std::fprintf(stderr, "report: %s\n",
                   qPrintable(text.section('\r', 0, 0)));
    }
  }
};

// Clicks `button` and returns the seconds its command took.
double Run(trawlbox::MainWindow& window, const char* button) {
  window.pump().ResetLongestGap();
  QElapsedTimer timer;
  timer.start();
  QTest::mouseClick(window.findChild<QPushButton*>(button), Qt::LeftButton);
  return timer.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s START_ADDRESS DESTINATION_FOLDER\n",
                 argv[0]);
    return 2;
  }
  QTemporaryDir settings_dir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     settings_dir.path());
  trawlbox::SettingsStore settings;
  AnsweringPrompts prompts;
  trawlbox::MainWindowServices services;
  services.settings = &settings;
  services.prompts = &prompts;
  services.program_folder = settings_dir.path();
  services.check_online = [] {};
  services.maybe_open_home_page = [] {};
  trawlbox::MainWindow window(std::move(services));
  window.RunStartUp();
  window.show();
  window.findChild<QLineEdit*>("txtWebsite")
      ->setText(QString::fromLocal8Bit(argv[1]));
  window.findChild<QLineEdit*>("Text1")->setText(
      QString::fromLocal8Bit(argv[2]));

  const double list_seconds = Run(window, "PushButton5");
  const qint64 list_gap = window.pump().longest_gap_ms();
  const qsizetype rows = window.file_list().Count();
  qsizetype failed = 0;
  for (qsizetype i = 1; i <= rows; ++i) {
    if (!window.file_list().FailureOf(i).isEmpty()) ++failed;
  }
  const double download_seconds = Run(window, "PushButton6");
  const qint64 download_gap = window.pump().longest_gap_ms();

  std::printf("list_seconds %.3f\n", list_seconds);
  std::printf("download_seconds %.3f\n", download_seconds);
  std::printf("rows %lld\n", static_cast<long long>(rows));
  std::printf("failed_pages %lld\n", static_cast<long long>(failed));
  std::printf("reports %d\n", prompts.reports);
  std::printf("longest_gap_ms %lld\n",
              static_cast<long long>(std::max(list_gap, download_gap)));
  std::printf("peak_rss_mb %.1f\n", PeakResidentMb());
  return 0;
}
