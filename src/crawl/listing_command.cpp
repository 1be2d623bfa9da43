#include "crawl/listing_command.h"

#include "app/command_host.h"
#include "app/error_trap.h"
#include "app/existence.h"
#include "app/file_list.h"
#include "app/prompts.h"
#include "crawl/crawler.h"

namespace trawlbox {
namespace {

const QString kPushButton5Tag =
    QStringLiteral("in Quaymill2021/08/31.Form1.PushButton5_Click ");

}  // namespace

void RunListingCommand(CommandHost& host, Crawler& crawler) {
  if (host.busy()) return;
  ScopedFlag running(host.listing);
  ErrorTrap trap(host.prompts(), kPushButton5Tag);
  if (trap.If(
          100, [&] { return FolderExists(host.FolderText()); },
          OnFailure::kRunBody)) {
    trap.Do(102, [&] { host.SetPointerMode(CommandHost::kPointerBusy); });
    trap.Do(104, [&] { host.file_list().Clear(); });
    crawler.WalkSite(trap, host.WebSiteText());
    trap.Do(116, [&] { host.prompts().Message(QStringLiteral("Done.")); });
    trap.Do(118, [&] { host.SetPointerMode(CommandHost::kPointerDefault); });
  } else {
    trap.Do(120, [&] {
      host.prompts().Message(QStringLiteral(
          "Folder does not exist. Please select another folder."));
    });
  }
}

}  // namespace trawlbox
