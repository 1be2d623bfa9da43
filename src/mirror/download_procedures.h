#ifndef TRAWLBOX_MIRROR_DOWNLOAD_PROCEDURES_H_
#define TRAWLBOX_MIRROR_DOWNLOAD_PROCEDURES_H_

#include <QString>

#include "core/error_trap.h"

namespace trawlbox {

// The download command, Start Downloading Checked Files: its rows in turn.
struct StartDownloadingProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Form1.PushButton6_Click ");
  enum class Label {
    kCheckFolder = 110,
    kCountRows = 114,
    kCheckTicked = 118,
    kMapRow = 122,
    kShowRow = 126,
    kCheckRowFolder = 136,
    kMakeRowFolder = 138,
    kDownload = 152,
    kSayDone = 164,
    kSayNoFolder = 166,
  };
};

// One file's transfer into its local file.
struct DownloadFileProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Download.DownloadFile ");
  enum class Label {
    kShowAddress = 100,
    kOpenLocalFile = 124,
    kTransfer = 136,
    kWrite = 150,
    kCommit = 152,
  };
};

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_DOWNLOAD_PROCEDURES_H_
