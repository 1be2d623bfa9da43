#include "gui/input_fields.h"

#include <QLineEdit>

#include "core/settings_store.h"

namespace trawlbox {

void MirrorToSetting(QLineEdit* field, SettingsStore& settings,
                     const QString& key) {
  QObject::connect(field, &QLineEdit::textChanged, field,
                   [&settings, key](const QString& text) {
                     // A failed write is let go: it would come again with
                     // every keystroke, and the field keeps working
                     // unstored. Start-up and the folder chooser, which
                     // read the store, are where a broken one is reported.
                     static_cast<void>(settings.WriteSetting(key, text));
                   });
}

void AssignText(QLineEdit* field, const QString& text) {
  if (field->text() == text) {
    emit field->textChanged(text);
  } else {
    field->setText(text);
  }
}

}  // namespace trawlbox
