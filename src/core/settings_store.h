#ifndef TRAWLBOX_CORE_SETTINGS_STORE_H_
#define TRAWLBOX_CORE_SETTINGS_STORE_H_

#include <QString>

#include "core/status.h"

namespace trawlbox {

// The per-user store of the three values kept between runs, addressed as
// "Marlwick" / "Trawlbox Harvester" / key in the platform's native format.
// Values are text, stored and returned unchanged.
class SettingsStore {
 public:
  static inline const QString kOrganization = QStringLiteral("Marlwick");
  static inline const QString kApplication =
      QStringLiteral("Trawlbox Harvester");

  virtual ~SettingsStore() = default;

  // The stored value, or `fallback` when the key is absent. Never creates a
  // key. Fails when the store cannot be read.
  virtual Result<QString> ReadSetting(const QString& key,
                                      const QString& fallback) const;
  // Stores `value` and makes it reach the disk at once, so a killed program
  // loses nothing. A value that is an address with a password leaves the
  // store's file readable by its owner only. Fails when the store cannot be
  // written or that file cannot be made private.
  virtual Status WriteSetting(const QString& key, const QString& value);
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_SETTINGS_STORE_H_
