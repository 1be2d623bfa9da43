#include "gui/select_all_line_edit.h"

#include <QFocusEvent>

namespace trawlbox {

void SelectAllLineEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  selectAll();
  select_on_release_ = event->reason() == Qt::MouseFocusReason;
}

void SelectAllLineEdit::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (select_on_release_) {
    select_on_release_ = false;
    selectAll();
  }
}

}  // namespace trawlbox
