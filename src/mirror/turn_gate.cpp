#include "mirror/turn_gate.h"

#include "core/status_line.h"

namespace trawlbox {

void TurnGate::SetCaption(const QString& caption) {
  if (open_) {
    status_.SetCaption(caption);
  } else {
    held_.push_back({true, caption});
  }
}

void TurnGate::ReportError(const QString& report) {
  if (open_) {
    reporter_.ReportError(report);
  } else {
    held_.push_back({false, report});
  }
}

void TurnGate::Open() {
  open_ = true;
  // A report may let events run; what it shows next is held no more.
  std::vector<Held> held;
  held.swap(held_);
  for (const Held& item : held) {
    if (item.caption) {
      status_.SetCaption(item.text);
    } else {
      reporter_.ReportError(item.text);
    }
  }
}

}  // namespace trawlbox
