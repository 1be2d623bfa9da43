#include "core/settings_store.h"

#include <QSettings>

#include "core/app_error.h"

namespace trawlbox {
namespace {

void RaiseOnFailure(const QSettings& settings) {
  switch (settings.status()) {
    case QSettings::NoError:
      return;
    case QSettings::AccessError:
      Raise(ErrorKind::kPermissionDenied);
    case QSettings::FormatError:
      Raise(QStringLiteral("The settings store is damaged"));
  }
}

}  // namespace

// A fresh QSettings per call keeps each call's status its own; Qt shares the
// parsed file between instances, so this costs little.
QString SettingsStore::ReadSetting(const QString& key,
                                   const QString& fallback) const {
  QSettings settings(kOrganization, kApplication);
  RaiseOnFailure(settings);
  const QVariant value = settings.value(key);
  if (!value.isValid()) return fallback;
  return value.toString();
}

void SettingsStore::WriteSetting(const QString& key, const QString& value) {
  QSettings settings(kOrganization, kApplication);
  settings.setValue(key, value);
  settings.sync();
  RaiseOnFailure(settings);
}

}  // namespace trawlbox
