#include "gui/list_operations.h"

#include "core/command_host.h"
#include "core/error_trap.h"
#include "core/file_list.h"
#include "core/prompts.h"
#include "gui/window_procedures.h"

namespace trawlbox {
namespace {

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
