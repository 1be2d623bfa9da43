#ifndef TRAWLBOX_GUI_WINDOW_MENU_H_
#define TRAWLBOX_GUI_WINDOW_MENU_H_

#include <functional>

class QMenuBar;
class QWidget;

namespace trawlbox {

class WindowKeys;

// What the menu bar's File menu runs.
struct FileCommands {
  std::function<void()> open_list;
  std::function<void()> save_list;
  std::function<void()> export_for_aria2;
};

// The window's menu bar, above its controls: File with Open List… (Ctrl+O),
// Save List… (Ctrl+S) and Export for aria2… (Ctrl+Shift+E). Their keys
// work wherever the focus is, through `keys`. On a platform whose menu bar
// stands outside the window, it takes no room in it.
QMenuBar* BuildMenuBar(QWidget* window, WindowKeys& keys,
                       const FileCommands& commands);

// The height the menu bar takes in the window.
int MenuBarHeight(const QMenuBar* bar);

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_WINDOW_MENU_H_
