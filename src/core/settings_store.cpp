#include "core/settings_store.h"

#include <QFile>
#include <QSettings>

#include "core/address_password.h"
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

// A password typed into an address is stored as typed, so the file that
// holds it is made readable and writable by its owner alone; later writes
// keep that (Qt replaces the file with one of the same permissions). Where
// the store is the registry, its keys are the user's own already.
Status KeepPrivate([[maybe_unused]] const QSettings& settings) {
#ifndef Q_OS_WIN
  if (!QFile::setPermissions(settings.fileName(),
                             QFile::ReadOwner | QFile::WriteOwner)) {
    return Status::Failure(ErrorKind::kPermissionDenied);
  }
#endif
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
  if (const Status written = StatusOf(settings); !written.ok()) return written;
  return HasPassword(value) ? KeepPrivate(settings) : Status();
}

}  // namespace trawlbox
