#ifndef TRAWLBOX_CORE_PROCEDURE_TAGS_H_
#define TRAWLBOX_CORE_PROCEDURE_TAGS_H_

#include <QString>

namespace trawlbox {

// The procedure names that error reports carry, as users and support have
// always seen them: a report names the procedure and its line label.
namespace tags {

inline const QString kStartUp =
    QStringLiteral("in Quaymill2021/08/31.Form1.Form_Load ");
inline const QString kHelp =
    QStringLiteral("in Quaymill2021/08/31.Form1.PushButton1_Click ");
inline const QString kChooseFolder =
    QStringLiteral("in Quaymill2021/08/31.Form1.PushButton2_Click ");
inline const QString kLoadSample =
    QStringLiteral("in Quaymill2021/08/31.Form1.PushButton3_Click ");
inline const QString kClearList =
    QStringLiteral("in Quaymill2021/08/31.Form1.PushButton4_Click ");
inline const QString kStartListing =
    QStringLiteral("in Quaymill2021/08/31.Form1.PushButton5_Click ");
inline const QString kStartDownloading =
    QStringLiteral("in Quaymill2021/08/31.Form1.PushButton6_Click ");
inline const QString kCheckAll =
    QStringLiteral("in Quaymill2021/08/31.Form1.PushButton7_Click ");
inline const QString kUncheckAll =
    QStringLiteral("in Quaymill2021/08/31.Form1.PushButton8_Click ");
inline const QString kVisitPage =
    QStringLiteral("in Quaymill2021/08/31.ExtractLinks.GetUrls ");
inline const QString kDownloadFile =
    QStringLiteral("in Quaymill2021/08/31.Download.DownloadFile ");

}  // namespace tags
}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_PROCEDURE_TAGS_H_
