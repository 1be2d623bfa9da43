#include "auxiliary/help.h"

#include "core/error_trap.h"
#include "core/procedure_tags.h"
#include "core/prompts.h"

namespace trawlbox {

void ShowHelp(Prompts& prompts) {
  ErrorTrap trap(prompts, tags::kHelp);
  trap.Do(100, [&] {
    prompts.Message(
        QStringLiteral("Questions? Please contact Team Marlwick at ") +
        kContactPageAddress);
  });
}

}  // namespace trawlbox
