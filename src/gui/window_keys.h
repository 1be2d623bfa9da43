#ifndef TRAWLBOX_GUI_WINDOW_KEYS_H_
#define TRAWLBOX_GUI_WINDOW_KEYS_H_

#include <QKeySequence>
#include <QObject>
#include <functional>
#include <utility>
#include <vector>

class QAction;
class QWidget;

namespace trawlbox {

// The window's keys (Escape, Ctrl+L, Ctrl+D, Ctrl+F, Alt+T, Alt+U), which
// work wherever the focus is. A text field may claim a key for editing
// where the platform's key bindings give it one (as X11's give Ctrl+E to
// End of line): in the fields watched, the window's keys win.
class WindowKeys : public QObject {
  Q_OBJECT

 public:
  explicit WindowKeys(QWidget* window);

  // Runs `handler` (guarded) when `keys` are pressed anywhere in the window.
  void Bind(const QKeySequence& keys, std::function<void()> handler);
  // Runs `handler` (guarded) when `action` is triggered, from its menu or
  // by its shortcut, the watched fields included.
  void BindAction(QAction* action, std::function<void()> handler);
  // A text field whose own use of the bound keys gives way to the window's.
  void Watch(QWidget* field);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const std::function<void()>* HandlerFor(const QKeySequence& keys) const;

  QWidget* window_;
  std::vector<std::pair<QKeySequence, std::function<void()>>> bound_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_WINDOW_KEYS_H_
