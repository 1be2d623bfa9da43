#ifndef TRAWLBOX_GUI_INPUT_FIELDS_H_
#define TRAWLBOX_GUI_INPUT_FIELDS_H_

#include <QString>

class QLineEdit;

namespace trawlbox {

class SettingsStore;

// The settings keys the two fields are remembered under.
inline const QString kWebSiteKey = QStringLiteral("Web Site");
inline const QString kFolderKey = QStringLiteral("Text1");

// Stores the field's whole text under `key` on every change of it. The
// handler has no trap: a store that cannot be written shows nothing.
void MirrorToSetting(QLineEdit* field, SettingsStore& settings,
                     const QString& key);

// Sets the field's text as the program does: the change handler runs even
// when the text stays the same.
void AssignText(QLineEdit* field, const QString& text);

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_INPUT_FIELDS_H_
