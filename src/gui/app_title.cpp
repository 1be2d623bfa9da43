#include "gui/app_title.h"

#include "core/app_error.h"

namespace trawlbox {

QString ShortenedTitle(const QString& product_name) {
  QString title = product_name;
  do {
    const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
    if (blank < 0) Raise(ErrorKind::kInvalidCall);
    title.truncate(blank);
  } while (title.size() > 40);
  return title;
}

}  // namespace trawlbox
