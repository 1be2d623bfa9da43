#ifndef TRAWLBOX_AUXILIARY_ONLINE_CHECK_H_
#define TRAWLBOX_AUXILIARY_ONLINE_CHECK_H_

namespace trawlbox {

class Prompts;

// The start-up connectivity check: warns once when the machine cannot reach
// the internet.
void CheckOnline(Prompts& prompts);

}  // namespace trawlbox

#endif  // TRAWLBOX_AUXILIARY_ONLINE_CHECK_H_
