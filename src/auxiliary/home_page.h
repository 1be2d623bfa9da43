#ifndef TRAWLBOX_AUXILIARY_HOME_PAGE_H_
#define TRAWLBOX_AUXILIARY_HOME_PAGE_H_

#include <QString>
#include <QUrl>
#include <functional>

namespace trawlbox {

class Prompts;

// The maker's site.
inline const QString kHomePageAddress =
    QStringLiteral("http://www.marlwick.example/");
inline const QString kContactPageAddress =
    QStringLiteral("http://www.marlwick.example/contact/");

// The number 1 to 100 that a draw r in [0, 1) stands for.
int HomePageDraw(double r);

// About one start in a hundred (a draw of 7) opens the home page in the
// default browser, without waiting for it. `random` gives the draw (seeded
// from the time of day by default); `open` starts the browser and answers
// whether it could (QDesktopServices by default). A browser that cannot be
// started is a failure: AppError.
void MaybeOpenHomePage(const std::function<double()>& random = nullptr,
                       const std::function<bool(const QUrl&)>& open = nullptr);

// "Help": the one message naming the contact page.
void ShowHelp(Prompts& prompts);

}  // namespace trawlbox

#endif  // TRAWLBOX_AUXILIARY_HOME_PAGE_H_
