#include "ui/list_operations.h"

#include "app/command_host.h"
#include "app/error_trap.h"
#include "app/file_list.h"

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

void CheckAll(CommandHost& host) {
  SetEveryTick(host,
               QStringLiteral("in Quaymill2021/08/31.Form1.PushButton7_Click "),
               true);
}

void UncheckAll(CommandHost& host) {
  SetEveryTick(host,
               QStringLiteral("in Quaymill2021/08/31.Form1.PushButton8_Click "),
               false);
}

void ClearList(CommandHost& host) {
  ErrorTrap trap(
      host.prompts(),
      QStringLiteral("in Quaymill2021/08/31.Form1.PushButton4_Click "));
  trap.Do(100, [&] {
    if (host.pointer_mode() == CommandHost::kPointerBusy || host.busy()) return;
    host.file_list().Clear();
  });
}

}  // namespace trawlbox
