#ifndef TRAWLBOX_GUI_LIST_OPERATIONS_H_
#define TRAWLBOX_GUI_LIST_OPERATIONS_H_

namespace trawlbox {

class CommandHost;

// "Check All" and "Uncheck All": tick or untick every row, at any time.
void CheckAll(CommandHost& host);
void UncheckAll(CommandHost& host);
// "Clear List": removes every row, unless a long command runs.
void ClearList(CommandHost& host);

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_LIST_OPERATIONS_H_
