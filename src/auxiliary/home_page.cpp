#include "auxiliary/home_page.h"

#include <QDesktopServices>
#include <QRandomGenerator>
#include <QTime>

#include "app/app_error.h"
#include "app/error_trap.h"
#include "app/prompts.h"

namespace trawlbox {
namespace {

double TimeOfDayDraw() {
  QRandomGenerator generator(
      static_cast<quint32>(QTime::currentTime().msecsSinceStartOfDay() / 1000));
  return generator.generateDouble();
}

}  // namespace

int HomePageDraw(double r) { return static_cast<int>(r * 100) + 1; }

void MaybeOpenHomePage(const std::function<double()>& random,
                       const std::function<bool(const QUrl&)>& open) {
  const double r = random ? random() : TimeOfDayDraw();
  if (HomePageDraw(r) != 7) return;
  const QUrl home(kHomePageAddress);
  const bool opened = open ? open(home) : QDesktopServices::openUrl(home);
  if (!opened) Raise(ErrorKind::kFileNotFound);
}

void ShowHelp(Prompts& prompts) {
  ErrorTrap trap(
      prompts,
      QStringLiteral("in Quaymill2021/08/31.Form1.PushButton1_Click "));
  trap.Do(100, [&] {
    prompts.Message(
        QStringLiteral("Questions? Please contact Team Marlwick at ") +
        kContactPageAddress);
  });
}

}  // namespace trawlbox
