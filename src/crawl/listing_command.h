#ifndef TRAWLBOX_CRAWL_LISTING_COMMAND_H_
#define TRAWLBOX_CRAWL_LISTING_COMMAND_H_

#include <functional>

namespace trawlbox {

class CommandHost;
class Crawler;

// "Start Listing Web Files": checks the folder, empties the list, walks the
// site from the start address and says "Done.". A click while a listing or
// a download runs is ignored. `walked`, when given, runs once the walk has
// ended, before "Done." shows.
void RunListingCommand(CommandHost& host, Crawler& crawler,
                       const std::function<void()>& walked = nullptr);

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_LISTING_COMMAND_H_
