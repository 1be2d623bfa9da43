#ifndef TRAWLBOX_GUI_HANDLER_GUARD_H_
#define TRAWLBOX_GUI_HANDLER_GUARD_H_

#include <type_traits>
#include <utility>

namespace trawlbox {

// Runs an event handler so that no exception ever unwinds into Qt's event or
// signal dispatch. A ShutdownRequested ends the program; anything else that
// escaped the handler's own trap is logged.
void RunGuarded(void (*body)(void*), void* context) noexcept;

template <typename Handler>
void Guarded(Handler&& handler) noexcept {
  using Body = std::remove_reference_t<Handler>;
  RunGuarded([](void* context) { (*static_cast<Body*>(context))(); },
             const_cast<void*>(static_cast<const void*>(&handler)));
}

// Wraps a handler for connecting to a signal (whose arguments it ignores).
template <typename Handler>
auto GuardedSlot(Handler handler) {
  return [handler = std::move(handler)]() mutable { Guarded(handler); };
}

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_HANDLER_GUARD_H_
