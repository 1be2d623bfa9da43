#include "gui/app_title.h"

namespace trawlbox {

Result<QString> ShortenedTitle(const QString& product_name) {
  QString title = product_name;
  do {
    const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
    if (blank < 0) return Status::Failure(ErrorKind::kInvalidCall);
    title.truncate(blank);
  } while (title.size() > 40);
  return title;
}

}  // namespace trawlbox
