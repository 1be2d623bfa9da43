#include "gui/list_operations.h"

#include "core/command_host.h"
#include "core/error_trap.h"
#include "core/file_list.h"
#include "core/prompts.h"

namespace trawlbox {
namespace {

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

template <typename Procedure>
void SetEveryTick(CommandHost& host, bool ticked) {
  ErrorTrap<Procedure> trap(host.prompts());
  qsizetype count = 0;
  trap.Do(TickLabel::kCount, [&] { count = host.file_list().Count(); });
  for (qsizetype i = 1; i <= count; ++i) {
    trap.Do(TickLabel::kTick, [&] { host.file_list().SetTicked(i, ticked); });
  }
}

}  // namespace

void CheckAll(CommandHost& host) {
  SetEveryTick<CheckAllProcedure>(host, true);
}

void UncheckAll(CommandHost& host) {
  SetEveryTick<UncheckAllProcedure>(host, false);
}

void ClearList(CommandHost& host) {
  ErrorTrap<ClearListProcedure> trap(host.prompts());
  // The rows are the running command's work: they stay until it ends.
  if (host.busy()) return;
  trap.Do(ClearListProcedure::Label::kClear, [&] { host.file_list().Clear(); });
}

}  // namespace trawlbox
