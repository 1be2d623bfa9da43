#include "auxiliary/help.h"

#include "core/error_trap.h"
#include "core/prompts.h"

namespace trawlbox {
namespace {

struct HelpProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Form1.PushButton1_Click ");
  enum class Label { kShowContact = 100 };
};

}  // namespace

void ShowHelp(Prompts& prompts) {
  ErrorTrap<HelpProcedure> trap(prompts);
  trap.Do(HelpProcedure::Label::kShowContact, [&] {
    prompts.Message(
        QStringLiteral("Questions? Please contact Team Marlwick at ") +
        kContactPageAddress);
  });
}

}  // namespace trawlbox
