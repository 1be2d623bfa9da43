#include "gui/list_operations.h"

#include "core/command_host.h"
#include "core/error_trap.h"
#include "core/file_list.h"
#include "core/procedure_tags.h"
#include "core/prompts.h"

namespace trawlbox {
namespace {

void SetEveryTick(CommandHost& host, const QString& tag, bool ticked) {
  ErrorTrap trap(host.prompts(), tag);
  qsizetype count = 0;
  trap.Do(100, [&] { count = host.file_list().Count(); });
  for (qsizetype i = 1; i <= count; ++i) {
    trap.Do(102, [&] { host.file_list().SetTicked(i, ticked); });
  }
}

}  // namespace

void CheckAll(CommandHost& host) { SetEveryTick(host, tags::kCheckAll, true); }

void UncheckAll(CommandHost& host) {
  SetEveryTick(host, tags::kUncheckAll, false);
}

void ClearList(CommandHost& host) {
  ErrorTrap trap(host.prompts(), tags::kClearList);
  // The rows are the running command's work: they stay until it ends.
  if (host.busy()) return;
  trap.Do(100, [&] { host.file_list().Clear(); });
}

}  // namespace trawlbox
