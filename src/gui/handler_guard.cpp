#include "gui/handler_guard.h"

#include <QCoreApplication>
#include <QtGlobal>
#include <exception>

#include "core/app_error.h"

namespace trawlbox {

void RunGuarded(void (*body)(void*), void* context) noexcept {
  try {
    body(context);
  } catch (const ShutdownRequested&) {
    QCoreApplication::quit();
  } catch (const std::exception& failure) {
    qWarning("Unhandled failure in an event handler: %s", failure.what());
  } catch (...) {
    qWarning("Unhandled failure in an event handler");
  }
}

}  // namespace trawlbox
