#include "crawl/listing_command.h"

#include "core/command_host.h"
#include "core/error_trap.h"
#include "core/file_list.h"
#include "core/file_system.h"
#include "core/prompts.h"
#include "core/scoped_flag.h"
#include "crawl/crawler.h"
#include "crawl/listing_procedures.h"

namespace trawlbox {

void RunListingCommand(CommandHost& host, Crawler& crawler,
                       const std::function<void()>& walked) {
  if (host.busy()) return;
  const ScopedFlag running = host.BeginListing();
  using ListingLabel = StartListingProcedure::Label;
  ErrorTrap<StartListingProcedure> trap(host.prompts());
  if (trap.If(
          ListingLabel::kCheckFolder,
          [&] { return crawler.disk().FolderExists(host.FolderText()); },
          OnFailure::kRunBody)) {
    host.SetPointerMode(PointerMode::kBusy);
    trap.Do(ListingLabel::kClearList, [&] { host.file_list().Clear(); });
    crawler.WalkSite(host.WebSiteText());
    if (walked) walked();
    trap.Do(ListingLabel::kSayDone,
            [&] { host.prompts().Message(QStringLiteral("Done.")); });
    host.SetPointerMode(PointerMode::kDefault);
  } else {
    trap.Do(ListingLabel::kSayNoFolder, [&] {
      host.prompts().Message(QStringLiteral(
          "Folder does not exist. Please select another folder."));
    });
  }
}

}  // namespace trawlbox
