#ifndef TRAWLBOX_CRAWL_LISTING_COMMAND_H_
#define TRAWLBOX_CRAWL_LISTING_COMMAND_H_

namespace trawlbox {

class CommandHost;
class Crawler;

// "Start Listing Web Files": checks the folder, empties the list, walks the
// site from the start address and says "Done.". A click while a listing or
// a download runs is ignored.
void RunListingCommand(CommandHost& host, Crawler& crawler);

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_LISTING_COMMAND_H_
