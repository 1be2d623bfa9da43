#ifndef TRAWLBOX_GUI_FOLDER_CHOOSER_H_
#define TRAWLBOX_GUI_FOLDER_CHOOSER_H_

#include <QString>

class QLineEdit;

namespace trawlbox {

class Prompts;
class SettingsStore;

inline const QString kLastFolderKey = QStringLiteral("LastFolderDot");

// The platform's folder browser, titled `title` and opened at `start`. The
// chosen folder in the system's form, or the empty text on Cancel.
QString ChooseFolder(Prompts& prompts, const QString& title,
                     const QString& start);

// "...": browses from the folder confirmed last (not from what was typed),
// remembers the choice and puts it into the folder field with one trailing
// separator. Cancel changes nothing. `last_chosen` is the program-wide
// record of the last choice.
void RunFolderChooser(Prompts& prompts, SettingsStore& settings,
                      QString& last_chosen, QLineEdit* folder_field);

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_FOLDER_CHOOSER_H_
