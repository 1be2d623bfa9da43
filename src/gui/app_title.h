#ifndef TRAWLBOX_GUI_APP_TITLE_H_
#define TRAWLBOX_GUI_APP_TITLE_H_

#include <QString>

#include "core/status.h"

namespace trawlbox {

// The application title made from a product name: its last word is cut off
// at least once, and again while the rest is longer than 40 characters.
// A name without a blank cannot be cut: an invalid call.
Result<QString> ShortenedTitle(const QString& product_name);

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_APP_TITLE_H_
