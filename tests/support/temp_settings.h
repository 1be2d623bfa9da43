#ifndef TRAWLBOX_TESTS_SUPPORT_TEMP_SETTINGS_H_
#define TRAWLBOX_TESTS_SUPPORT_TEMP_SETTINGS_H_

#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include "core/settings_store.h"

namespace trawlbox {

// Points the per-user settings store at a fresh temporary folder for the
// life of the object.
class TempSettings {
 public:
  TempSettings() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       dir_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
  }
  QString path() const { return dir_.path(); }
  // The file the store writes on this platform.
  QString FilePath() const {
    return QSettings(SettingsStore::kOrganization, SettingsStore::kApplication)
        .fileName();
  }

 private:
  QTemporaryDir dir_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_TEMP_SETTINGS_H_
