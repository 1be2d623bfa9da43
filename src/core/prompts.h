#ifndef TRAWLBOX_CORE_PROMPTS_H_
#define TRAWLBOX_CORE_PROMPTS_H_

#include <QString>

#include "core/error_reporter.h"

namespace trawlbox {

enum class MessageIcon { kNone, kWarning };

// Every modal box of the program goes through this one seam, so tests can
// answer and record boxes instead of blocking on them.
class Prompts : public ErrorReporter {
 public:
  // The title a box without a title of its own carries.
  static inline const QString kProductName =
      QStringLiteral("Trawlbox Harvester");

  virtual ~Prompts() = default;

  // A modal box with a single OK button. An empty title stands for the
  // application title.
  void Show(const QString& title, const QString& text, MessageIcon icon);
  // A plain message: OK button, no icon, the application title.
  void Message(const QString& text) {
    Show(QString(), text, MessageIcon::kNone);
  }
  // An error report: the warning box titled "Application Error".
  void ReportError(const QString& report) override {
    Show(QStringLiteral("Application Error"), report, MessageIcon::kWarning);
  }

  const QString& app_title() const { return app_title_; }
  void set_app_title(const QString& title) { app_title_ = title; }

 protected:
  virtual void ShowBox(const QString& title, const QString& text,
                       MessageIcon icon) = 0;

 private:
  QString app_title_ = kProductName;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_PROMPTS_H_
