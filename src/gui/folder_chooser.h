#ifndef TRAWLBOX_GUI_FOLDER_CHOOSER_H_
#define TRAWLBOX_GUI_FOLDER_CHOOSER_H_

#include <QString>
#include <functional>

class QLineEdit;

namespace trawlbox {

class Prompts;
class SettingsStore;

inline const QString kLastFolderKey = QStringLiteral("LastFolderDot");

// The platform's folder browser, titled `title` and opened at `start`: the
// chosen folder, or the empty text on Cancel.
using BrowseForFolder =
    std::function<QString(const QString& title, const QString& start)>;

// The folder `browse` chose, in the system's form.
QString ChooseFolder(const BrowseForFolder& browse, const QString& title,
                     const QString& start);

// "...": browses from the folder confirmed last (not from what was typed),
// remembers the choice and puts it into the folder field with one trailing
// separator. Cancel changes nothing. `last_chosen` is the program-wide
// record of the last choice.
void RunFolderChooser(Prompts& prompts, const BrowseForFolder& browse,
                      SettingsStore& settings, QString& last_chosen,
                      QLineEdit* folder_field);

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_FOLDER_CHOOSER_H_
