#include "core/prompts.h"

namespace trawlbox {

void Prompts::Show(const QString& title, const QString& text,
                   MessageIcon icon) {
  ShowBox(title.isEmpty() ? app_title_ : title, text, icon);
}

}  // namespace trawlbox
