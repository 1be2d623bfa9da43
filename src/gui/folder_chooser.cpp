#include "gui/folder_chooser.h"

#include <QDir>

#include "core/error_trap.h"
#include "core/procedure_tags.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "gui/input_fields.h"

namespace trawlbox {

QString ChooseFolder(Prompts& prompts, const QString& title,
                     const QString& start) {
  return QDir::toNativeSeparators(prompts.BrowseForFolder(title, start));
}

void RunFolderChooser(Prompts& prompts, SettingsStore& settings,
                      QString& last_chosen, QLineEdit* folder_field) {
  ErrorTrap trap(prompts, tags::kChooseFolder);
  trap.Do(100, [&] {
    last_chosen = settings.ReadSetting(kLastFolderKey, QString());
  });
  QString chosen;
  trap.Do(100, [&] {
    chosen = ChooseFolder(prompts, QStringLiteral("Please select folder:"),
                          last_chosen);
  });
  if (trap.If(
          102, [&] { return chosen.isEmpty(); }, OnFailure::kSkipAction)) {
    return;
  }
  trap.Do(104, [&] { last_chosen = chosen; });
  trap.Do(104, [&] { settings.WriteSetting(kLastFolderKey, chosen); });
  if (trap.If(
          104, [&] { return !chosen.endsWith(QDir::separator()); },
          OnFailure::kRunBody)) {
    trap.Do(106, [&] { AssignText(folder_field, chosen + QDir::separator()); });
  } else {
    trap.Do(108, [&] { AssignText(folder_field, chosen); });
  }
}

}  // namespace trawlbox
