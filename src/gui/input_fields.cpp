#include "gui/input_fields.h"

#include <QLineEdit>
#include <exception>

#include "core/settings_store.h"

namespace trawlbox {

void MirrorToSetting(QLineEdit* field, SettingsStore& settings,
                     const QString& key) {
  QObject::connect(field, &QLineEdit::textChanged, field,
                   [&settings, key](const QString& text) {
                     try {
                       settings.WriteSetting(key, text);
                     } catch (const std::exception&) {
                       // No trap here: the field keeps working unstored.
                     }
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
