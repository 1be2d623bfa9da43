#ifndef TRAWLBOX_AUXILIARY_HOME_PAGE_H_
#define TRAWLBOX_AUXILIARY_HOME_PAGE_H_

namespace trawlbox {

// About one start in a hundred opens the maker's home page in the browser.
void MaybeOpenHomePage();

}  // namespace trawlbox

#endif  // TRAWLBOX_AUXILIARY_HOME_PAGE_H_
