#include "gui/window_menu.h"

#include <QAction>
#include <QMenuBar>

#include "gui/window_keys.h"

namespace trawlbox {

QMenuBar* BuildMenuBar(QWidget* window, WindowKeys& keys,
                       const FileCommands& commands) {
  auto* bar = new QMenuBar(window);
  bar->setObjectName(QStringLiteral("MenuBar"));
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  const struct {
    const char* text;
    QKeySequence keys;
    const std::function<void()>& run;
  } items[] = {
      {"&Open List\u2026", QKeySequence(Qt::CTRL | Qt::Key_O),
       commands.open_list},
      {"&Save List\u2026", QKeySequence(Qt::CTRL | Qt::Key_S),
       commands.save_list},
      {"&Export for aria2\u2026",
       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
       commands.export_for_aria2},
  };
  for (const auto& item : items) {
    QAction* action = file->addAction(QString::fromUtf8(item.text));
    action->setShortcut(item.keys);
    // The window holds it too, so its keys work while the menu is closed.
    window->addAction(action);
    keys.BindAction(action, item.run);
  }
  return bar;
}

int MenuBarHeight(const QMenuBar* bar) {
  return bar->isNativeMenuBar() ? 0 : bar->sizeHint().height();
}

}  // namespace trawlbox
