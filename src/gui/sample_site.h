#ifndef TRAWLBOX_GUI_SAMPLE_SITE_H_
#define TRAWLBOX_GUI_SAMPLE_SITE_H_

#include <QString>

namespace trawlbox {

// "Load Sample/Example Web Site": a site made for crawler practice.
inline const QString kSampleSiteAddress =
    QStringLiteral("http://books.toscrape.com/");

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_SAMPLE_SITE_H_
