#ifndef TRAWLBOX_GUI_WINDOW_PROCEDURES_H_
#define TRAWLBOX_GUI_WINDOW_PROCEDURES_H_

#include <QString>

#include "core/error_trap.h"

namespace trawlbox {

// The window's own handlers, as their error reports name them.

struct StartUpProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Form1.Form_Load ");
  enum class Label {
    kSkin = 100,
    kCheckOnline = 102,
    kFindHandPointer = 104,
    kLoadHandPointer = 106,
    kOpenHomePage = 112,
    kFillSite = 130,
    kFillFolder = 132,
  };
};

struct LoadSampleProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Form1.PushButton3_Click ");
  enum class Label { kFillSite = 100 };
};

struct ChooseFolderProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Form1.PushButton2_Click ");
  enum class Label {
    kAsk = 100,
    kCheckChosen = 102,
    kRemember = 104,
    kFillWithSeparator = 106,
    kFill = 108,
  };
};

// Check All and Uncheck All share their lines.
enum class TickLabel { kCount = 100, kTick = 102 };

struct CheckAllProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Form1.PushButton7_Click ");
  using Label = TickLabel;
};

struct UncheckAllProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Form1.PushButton8_Click ");
  using Label = TickLabel;
};

struct ClearListProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Form1.PushButton4_Click ");
  enum class Label { kClear = 100 };
};

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_WINDOW_PROCEDURES_H_
