#include "core/settings_store.h"

#include <QSettings>

#include "core/app_error.h"
#include "core/status.h"

namespace trawlbox {
namespace {

Status StatusOf(const QSettings& settings) {
  switch (settings.status()) {
    case QSettings::NoError:
      break;
    case QSettings::AccessError:
      return Status::Failure(ErrorKind::kPermissionDenied);
    case QSettings::FormatError:
      return Status::Failure(QStringLiteral("The settings store is damaged"));
  }
  return {};
}

}  // namespace

// A fresh QSettings per call keeps each call's status its own; Qt shares the
// parsed file between instances, so this costs little.
Result<QString> SettingsStore::ReadSetting(const QString& key,
                                           const QString& fallback) const {
  QSettings settings(kOrganization, kApplication);
  if (const Status read = StatusOf(settings); !read.ok()) return read;
  const QVariant value = settings.value(key);
  if (!value.isValid()) return fallback;
  return value.toString();
}

Status SettingsStore::WriteSetting(const QString& key, const QString& value) {
  QSettings settings(kOrganization, kApplication);
  settings.setValue(key, value);
  settings.sync();
  return StatusOf(settings);
}

}  // namespace trawlbox
