#include "auxiliary/home_page.h"

#include <QRandomGenerator>
#include <QTime>

#include "core/app_error.h"
#include "core/status.h"

namespace trawlbox {
namespace {

double TimeOfDayDraw() {
  QRandomGenerator generator(
      static_cast<quint32>(QTime::currentTime().msecsSinceStartOfDay() / 1000));
  return generator.generateDouble();
}

}  // namespace

int HomePageDraw(double r) { return static_cast<int>(r * 100) + 1; }

Status MaybeOpenHomePage(const std::function<double()>& random,
                         const std::function<bool(const QUrl&)>& open) {
  const double r = random ? random() : TimeOfDayDraw();
  if (HomePageDraw(r) != 7) return {};
  const QUrl home(kHomePageAddress);
  // The program has always said "File not found" for a browser that would
  // not start, whatever the reason.
  if (!open(home)) return Status::Failure(ErrorKind::kFileNotFound);
  return {};
}

}  // namespace trawlbox
