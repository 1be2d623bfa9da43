#ifndef TRAWLBOX_TESTS_SUPPORT_RECORDING_PROMPTS_H_
#define TRAWLBOX_TESTS_SUPPORT_RECORDING_PROMPTS_H_

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/prompts.h"

namespace trawlbox {

// Answers every box at once and remembers what it showed.
class RecordingPrompts : public Prompts {
 public:
  struct Box {
    QString title;
    QString text;
    MessageIcon icon;
  };

  QStringList texts() const {
    QStringList result;
    for (const Box& box : boxes) result.append(box.text);
    return result;
  }

  QList<Box> boxes;
  // Runs while a box is "open", for tests that act during a modal box.
  std::function<void(const Box&)> on_show;

 protected:
  void ShowBox(const QString& title, const QString& text,
               MessageIcon icon) override {
    boxes.append({title, text, icon});
    if (on_show) on_show(boxes.back());
  }
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_RECORDING_PROMPTS_H_
