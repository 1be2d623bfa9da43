#include "auxiliary/home_page.h"

namespace trawlbox {

// The draw and the browser start come with the help and links work; until
// then no start opens the page.
void MaybeOpenHomePage() {}

}  // namespace trawlbox
