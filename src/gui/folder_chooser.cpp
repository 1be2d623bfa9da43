#include "gui/folder_chooser.h"

#include <QDir>

#include "core/error_trap.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "gui/input_fields.h"
#include "gui/window_procedures.h"

namespace trawlbox {

QString ChooseFolder(Prompts& prompts, const QString& title,
                     const QString& start) {
  return QDir::toNativeSeparators(prompts.BrowseForFolder(title, start));
}

void RunFolderChooser(Prompts& prompts, SettingsStore& settings,
                      QString& last_chosen, QLineEdit* folder_field) {
  using ChooserLabel = ChooseFolderProcedure::Label;
  ErrorTrap<ChooseFolderProcedure> trap(prompts);
  trap.Do(ChooserLabel::kAsk, [&] {
    last_chosen = settings.ReadSetting(kLastFolderKey, QString());
  });
  QString chosen;
  trap.Do(ChooserLabel::kAsk, [&] {
    chosen = ChooseFolder(prompts, QStringLiteral("Please select folder:"),
                          last_chosen);
  });
  if (trap.If(
          ChooserLabel::kCheckChosen, [&] { return chosen.isEmpty(); },
          OnFailure::kSkipAction)) {
    return;
  }
  trap.Do(ChooserLabel::kRemember, [&] { last_chosen = chosen; });
  trap.Do(ChooserLabel::kRemember,
          [&] { settings.WriteSetting(kLastFolderKey, chosen); });
  if (trap.If(
          ChooserLabel::kRemember,
          [&] { return !chosen.endsWith(QDir::separator()); },
          OnFailure::kRunBody)) {
    trap.Do(ChooserLabel::kFillWithSeparator,
            [&] { AssignText(folder_field, chosen + QDir::separator()); });
  } else {
    trap.Do(ChooserLabel::kFill, [&] { AssignText(folder_field, chosen); });
  }
}

}  // namespace trawlbox
