#include "gui/window_keys.h"

#include <QAction>
#include <QKeyEvent>
#include <QShortcut>
#include <QWidget>

#include "gui/handler_guard.h"

namespace trawlbox {

WindowKeys::WindowKeys(QWidget* window) : QObject(window), window_(window) {}

void WindowKeys::Bind(const QKeySequence& keys, std::function<void()> handler) {
  auto* shortcut = new QShortcut(keys, window_);
  connect(shortcut, &QShortcut::activated, this,
          [handler] { Guarded(handler); });
  bound_.emplace_back(keys, std::move(handler));
}

void WindowKeys::BindAction(QAction* action, std::function<void()> handler) {
  connect(action, &QAction::triggered, this, [handler] { Guarded(handler); });
  bound_.emplace_back(action->shortcut(), [action] { action->trigger(); });
}

void WindowKeys::Watch(QWidget* field) { field->installEventFilter(this); }

const std::function<void()>* WindowKeys::HandlerFor(
    const QKeySequence& keys) const {
  for (const auto& [bound, handler] : bound_) {
    if (bound == keys) return &handler;
  }
  return nullptr;
}

// A field that claims a key (by accepting its shortcut override) gets it as
// a key press, so the window's handler runs from there; either way it
// runs once.
bool WindowKeys::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) {
    return QObject::eventFilter(watched, event);
  }
  const auto* key = static_cast<QKeyEvent*>(event);
  const std::function<void()>* handler =
      HandlerFor(QKeySequence(key->keyCombination()));
  if (handler == nullptr) return QObject::eventFilter(watched, event);
  if (type == QEvent::ShortcutOverride) {
    event->accept();
    return true;
  }
  Guarded(*handler);
  return true;
}

}  // namespace trawlbox
