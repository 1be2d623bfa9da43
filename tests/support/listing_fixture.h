#ifndef TRAWLBOX_TESTS_SUPPORT_LISTING_FIXTURE_H_
#define TRAWLBOX_TESTS_SUPPORT_LISTING_FIXTURE_H_

#include "crawl/crawler.h"
#include "crawl/listing_command.h"
#include "support/host_fixture.h"

namespace trawlbox {

// The listing command on a headless host, with a crawler of its own.
struct ListingFixture : HostFixture {
  void StartListing() { RunListingCommand(host, crawler); }

  HttpPageSource site{engine.run()};
  Crawler crawler{host.list_, host.prompts_, host.pump_,
                  site,       *disk,         [this] { return host.start; }};
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_LISTING_FIXTURE_H_
