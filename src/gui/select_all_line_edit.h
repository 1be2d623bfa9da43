#ifndef TRAWLBOX_GUI_SELECT_ALL_LINE_EDIT_H_
#define TRAWLBOX_GUI_SELECT_ALL_LINE_EDIT_H_

#include <QLineEdit>

namespace trawlbox {

// A text box that selects its whole text whenever it gets the focus, by
// keyboard or by a mouse click (whose press would otherwise place the caret
// and drop the selection).
class SelectAllLineEdit : public QLineEdit {
  Q_OBJECT

 public:
  using QLineEdit::QLineEdit;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool select_on_release_ = false;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_SELECT_ALL_LINE_EDIT_H_
