#ifndef TRAWLBOX_TESTS_SUPPORT_COMMANDS_FIXTURE_H_
#define TRAWLBOX_TESTS_SUPPORT_COMMANDS_FIXTURE_H_

#include "mirror/download_command.h"
#include "support/listing_fixture.h"

namespace trawlbox {

// The listing and the download commands on one headless host, for runs
// that list a site and then download what was listed; one engine serves
// both, as in the window.
struct CommandsFixture : ListingFixture {
  void StartDownloading() { RunDownloadCommand(host, engine.run(), *disk); }
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_COMMANDS_FIXTURE_H_
