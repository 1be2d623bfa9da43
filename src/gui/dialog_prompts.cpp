#include "gui/dialog_prompts.h"

#include <QMessageBox>

namespace trawlbox {

void DialogPrompts::ShowBox(const QString& title, const QString& text,
                            MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::kWarning ? QMessageBox::Warning
                                                : QMessageBox::NoIcon,
                  title, text, QMessageBox::Ok, owner_);
  // Texts are shown as they stand, never interpreted as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace trawlbox
