#ifndef TRAWLBOX_GUI_DIALOG_PROMPTS_H_
#define TRAWLBOX_GUI_DIALOG_PROMPTS_H_

#include "core/prompts.h"

class QWidget;

namespace trawlbox {

// The real boxes, modal to `owner`.
class DialogPrompts : public Prompts {
 public:
  explicit DialogPrompts(QWidget* owner = nullptr) : owner_(owner) {}
  void set_owner(QWidget* owner) { owner_ = owner; }

 protected:
  void ShowBox(const QString& title, const QString& text,
               MessageIcon icon) override;

 private:
  QWidget* owner_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_DIALOG_PROMPTS_H_
