// Lists and downloads a site through the program's real main window, with
// every box answered at once, and prints what it measured as "key value"
// lines:
//   trawlbox-window-driver [--update] [--ca-file FILE] [--request-list FILE]
//                          START_ADDRESS DESTINATION
// The window shows on whatever platform Qt picks (QT_QPA_PLATFORM, DISPLAY),
// so painting costs what it costs the user; scripts/bench runs it on Xvfb.
// --request-list writes the text of every row after the listing, one a line:
// the addresses the download will request. --update makes the download an
// update, as the program's own option does. --ca-file trusts the
// certificate authority in FILE instead of the system's.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/event_pump.h"
#include "core/file_list.h"
#include "core/prompts.h"
#include "core/real_file_system.h"
#include "core/settings_store.h"
#include "gui/main_window.h"
#include "gui/window_services.h"
#include "peak_memory.h"
#include "support/recording_prompts.h"

namespace {

// The longest the window went without handling its events: a timer due
// every few milliseconds fires late by as much as any handler held the
// thread, whether the command's own code or a socket's between its passes.
class StallProbe {
 public:
  StallProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      longest_ms_ = std::max(longest_ms_, since_.elapsed() - qint64(kPeriodMs));
      since_.restart();
    });
  }
  void Start() {
    longest_ms_ = 0;
    since_.start();
    timer_.start(kPeriodMs);
  }
  qint64 Stop() {
    timer_.stop();
    return longest_ms_;
  }

 private:
  static constexpr int kPeriodMs = 5;
  QTimer timer_;
  QElapsedTimer since_;
  qint64 longest_ms_ = 0;
};

// Clicks `button` and returns the seconds its command took; `gap_ms`
// becomes the longest the window's events waited meanwhile.
double Run(trawlbox::MainWindow& window, const char* button, qint64& gap_ms) {
  window.pump().ResetLongestGap();
  StallProbe probe;
  probe.Start();
  QElapsedTimer timer;
  timer.start();
  QTest::mouseClick(window.findChild<QPushButton*>(button), Qt::LeftButton);
  const double seconds = timer.nsecsElapsed() / 1e9;
  gap_ms = std::max(probe.Stop(), window.pump().longest_gap_ms());
  return seconds;
}

// Writes the text of every row, one a line; false when the file fails.
bool WriteRows(const trawlbox::FileList& list, const QString& file_name) {
  QFile out(file_name);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  for (qsizetype i = 1; i <= list.Count(); ++i) {
    out.write(list.Text(i).toUtf8());
    out.write("\n");
  }
  return out.flush();
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);  // Takes Qt's own options out of argv.
  QString request_list;
  QString ca_file;
  trawlbox::RunOptions options;
  int first = 1;
  for (; first < argc; ++first) {
    if (std::strcmp(argv[first], "--update") == 0) {
      options.update = true;
    } else if (std::strcmp(argv[first], "--request-list") == 0 &&
               first + 1 < argc) {
      request_list = QString::fromLocal8Bit(argv[++first]);
    } else if (std::strcmp(argv[first], "--ca-file") == 0 && first + 1 < argc) {
      ca_file = QString::fromLocal8Bit(argv[++first]);
    } else {
      break;
    }
  }
  if (argc - first != 2) {
    std::fprintf(stderr,
                 "usage: %s [--update] [--ca-file FILE] [--request-list FILE] "
                 "START_ADDRESS DESTINATION_FOLDER\n",
                 argv[0]);
    return 2;
  }
  QTemporaryDir settings_dir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     settings_dir.path());
  trawlbox::SettingsStore settings;
  trawlbox::RecordingPrompts prompts;
  int reports = 0;
  prompts.on_show = [&](const trawlbox::RecordingPrompts::Box& box) {
    if (box.title != QLatin1String("Application Error")) return;
    ++reports;
    std::fprintf(stderr, "report: %s\n",
                 qPrintable(box.text.section('\r', 0, 0)));
  };
  trawlbox::EventPump pump;
  trawlbox::RealFileSystem file_system;
  trawlbox::MainWindow window(trawlbox::WindowServices(
      settings, prompts, pump, file_system, options,
      {.offline = true,
       .program_folder = settings_dir.path(),
       .desktop_folder = [] { return QDir::homePath(); },
       .ca_file = ca_file}));
  window.RunStartUp();
  window.show();
  // Painting counts from the start: the clicks wait for a window on screen.
  if (!QTest::qWaitForWindowExposed(&window)) {
    std::fprintf(stderr, "the window was not exposed\n");
  }
  window.findChild<QLineEdit*>("txtWebsite")
      ->setText(QString::fromLocal8Bit(argv[first]));
  window.findChild<QLineEdit*>("Text1")->setText(
      QString::fromLocal8Bit(argv[first + 1]));

  qint64 list_gap = 0;
  const double list_seconds = Run(window, "PushButton5", list_gap);
  const qsizetype rows = window.file_list().Count();
  qsizetype failed = 0;
  for (qsizetype i = 1; i <= rows; ++i) {
    if (!window.file_list().FailureOf(i).isEmpty()) ++failed;
  }
  if (!request_list.isEmpty() && !WriteRows(window.file_list(), request_list)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(request_list));
    return 1;
  }
  qint64 download_gap = 0;
  const double download_seconds = Run(window, "PushButton6", download_gap);

  std::printf("list_seconds %.3f\n", list_seconds);
  std::printf("download_seconds %.3f\n", download_seconds);
  std::printf("rows %lld\n", static_cast<long long>(rows));
  std::printf("failed_pages %lld\n", static_cast<long long>(failed));
  std::printf("reports %d\n", reports);
  std::printf("longest_gap_ms %lld\n",
              static_cast<long long>(std::max(list_gap, download_gap)));
  std::printf("peak_rss_mb %.1f\n", PeakResidentMb());
  return 0;
}
