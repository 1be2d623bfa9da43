#ifndef TRAWLBOX_AUXILIARY_HOME_PAGE_H_
#define TRAWLBOX_AUXILIARY_HOME_PAGE_H_

#include <QString>
#include <QUrl>
#include <functional>

#include "core/status.h"

namespace trawlbox {

// The maker's site.
inline const QString kHomePageAddress =
    QStringLiteral("http://www.marlwick.example/");

// The number 1 to 100 that a draw r in [0, 1) stands for.
int HomePageDraw(double r);

// About one start in a hundred (a draw of 7) opens the home page in the
// default browser, without waiting for it. `random` gives the draw (seeded
// from the time of day by default); `open` starts the browser and answers
// whether it could (the desktop's URL handler, which the window's side
// supplies). A browser that cannot be started is a failure.
Status MaybeOpenHomePage(const std::function<double()>& random,
                         const std::function<bool(const QUrl&)>& open);

}  // namespace trawlbox

#endif  // TRAWLBOX_AUXILIARY_HOME_PAGE_H_
