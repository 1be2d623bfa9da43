#ifndef TRAWLBOX_AUXILIARY_HELP_H_
#define TRAWLBOX_AUXILIARY_HELP_H_

#include <QString>

namespace trawlbox {

class Prompts;

// Where users are sent with their questions.
inline const QString kContactPageAddress =
    QStringLiteral("http://www.marlwick.example/contact/");

// "Help": the one message naming the contact page.
void ShowHelp(Prompts& prompts);

}  // namespace trawlbox

#endif  // TRAWLBOX_AUXILIARY_HELP_H_
