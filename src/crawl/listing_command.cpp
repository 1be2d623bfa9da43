#include "crawl/listing_command.h"

#include "core/command_host.h"
#include "core/error_trap.h"
#include "core/existence.h"
#include "core/file_list.h"
#include "core/procedure_tags.h"
#include "core/prompts.h"
#include "core/scoped_flag.h"
#include "crawl/crawler.h"

namespace trawlbox {
void RunListingCommand(CommandHost& host, Crawler& crawler) {
  if (host.busy()) return;
  ScopedFlag running(host.listing);
  ErrorTrap trap(host.prompts(), tags::kStartListing);
  if (trap.If(
          100, [&] { return FolderExists(host.FolderText()); },
          OnFailure::kRunBody)) {
    host.SetPointerMode(CommandHost::kPointerBusy);
    trap.Do(104, [&] { host.file_list().Clear(); });
    crawler.WalkSite(host.WebSiteText());
    trap.Do(116, [&] { host.prompts().Message(QStringLiteral("Done.")); });
    host.SetPointerMode(CommandHost::kPointerDefault);
  } else {
    trap.Do(120, [&] {
      host.prompts().Message(QStringLiteral(
          "Folder does not exist. Please select another folder."));
    });
  }
}

}  // namespace trawlbox
