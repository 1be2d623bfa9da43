#ifndef TRAWLBOX_CRAWL_LISTING_PROCEDURES_H_
#define TRAWLBOX_CRAWL_LISTING_PROCEDURES_H_

#include <QString>

#include "core/error_trap.h"

namespace trawlbox {

// The listing command, Start Listing Web Files, and the walk it runs.
struct StartListingProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Form1.PushButton5_Click ");
  enum class Label {
    kCheckFolder = 100,
    kClearList = 104,
    kCheckQueue = 110,
    kVisit = 112,
    kDropVisited = 114,
    kSayDone = 116,
    kSayNoFolder = 120,
  };
};

// One page's visit: its row, its fetch and its scan.
struct VisitPageProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.ExtractLinks.GetUrls ");
  enum class Label {
    kCheckListed = 108,
    kAddRow = 110,
    kOpenPageFile = 118,
    kFetch = 122,
    kCheckFetched = 124,
    kRewind = 130,
    kMeasure = 132,
    kCheckLength = 134,
    kScan = 144,
    kEmptyPageFile = 148,
  };
};

using VisitTrap = ErrorTrap<VisitPageProcedure>;

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_LISTING_PROCEDURES_H_
