#include "gui/folder_chooser.h"

#include <QDir>

#include "core/error_trap.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "core/status.h"
#include "gui/input_fields.h"
#include "gui/window_procedures.h"

namespace trawlbox {

QString ChooseFolder(const BrowseForFolder& browse, const QString& title,
                     const QString& start) {
  return QDir::toNativeSeparators(browse(title, start));
}

void RunFolderChooser(Prompts& prompts, const BrowseForFolder& browse,
                      SettingsStore& settings, QString& last_chosen,
                      QLineEdit* folder_field) {
  using ChooserLabel = ChooseFolderProcedure::Label;
  ErrorTrap<ChooseFolderProcedure> trap(prompts);
  const Result<QString> stored =
      settings.ReadSetting(kLastFolderKey, QString());
  if (stored.ok()) {
    last_chosen = stored.value();
  } else {
    trap.Report(ChooserLabel::kAsk, stored.status().failure());
  }
  QString chosen;
  trap.Do(ChooserLabel::kAsk, [&] {
    chosen = ChooseFolder(browse, QStringLiteral("Please select folder:"),
                          last_chosen);
  });
  if (trap.If(
          ChooserLabel::kCheckChosen, [&] { return chosen.isEmpty(); },
          OnFailure::kSkipAction)) {
    return;
  }
  trap.Do(ChooserLabel::kRemember, [&] { last_chosen = chosen; });
  if (const Status written = settings.WriteSetting(kLastFolderKey, chosen);
      !written.ok()) {
    trap.Report(ChooserLabel::kRemember, written.failure());
  }
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
