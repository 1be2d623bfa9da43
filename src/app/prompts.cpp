#include "app/prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace trawlbox {

void Prompts::Show(const QString& title, const QString& text,
                   MessageIcon icon) {
  ShowBox(title.isEmpty() ? app_title_ : title, text, icon);
}

void DialogPrompts::ShowBox(const QString& title, const QString& text,
                            MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::kWarning ? QMessageBox::Warning
                                                : QMessageBox::NoIcon,
                  title, text, QMessageBox::Ok, owner_);
  // Texts are shown as they stand, never interpreted as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

QString DialogPrompts::BrowseForFolder(const QString& title,
                                       const QString& start) {
  return QFileDialog::getExistingDirectory(owner_, title, start,
                                           QFileDialog::ShowDirsOnly);
}

}  // namespace trawlbox
