#include "gui/folder_chooser.h"

#include <QDir>

#include "core/error_trap.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "gui/input_fields.h"

namespace trawlbox {

QString ChooseFolder(Prompts& prompts, const QString& title,
                     const QString& start) {
  return QDir::toNativeSeparators(prompts.BrowseForFolder(title, start));
}

namespace {

struct ChooseFolderProcedure {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Form1.PushButton2_Click ");
  enum class Label {
    kAsk = 100,
    kCheckChosen = 102,
    kRemember = 104,
    kFillWithSeparator = 106,
    kFill = 108,
  };
};

}  // namespace

void RunFolderChooser(Prompts& prompts, SettingsStore& settings,
                      QString& last_chosen, QLineEdit* folder_field) {
  using Label = ChooseFolderProcedure::Label;
  ErrorTrap<ChooseFolderProcedure> trap(prompts);
  trap.Do(Label::kAsk, [&] {
    last_chosen = settings.ReadSetting(kLastFolderKey, QString());
  });
  QString chosen;
  trap.Do(Label::kAsk, [&] {
    chosen = ChooseFolder(prompts, QStringLiteral("Please select folder:"),
                          last_chosen);
  });
  if (trap.If(
          Label::kCheckChosen, [&] { return chosen.isEmpty(); },
          OnFailure::kSkipAction)) {
    return;
  }
  trap.Do(Label::kRemember, [&] { last_chosen = chosen; });
  trap.Do(Label::kRemember,
          [&] { settings.WriteSetting(kLastFolderKey, chosen); });
  if (trap.If(
          Label::kRemember, [&] { return !chosen.endsWith(QDir::separator()); },
          OnFailure::kRunBody)) {
    trap.Do(Label::kFillWithSeparator,
            [&] { AssignText(folder_field, chosen + QDir::separator()); });
  } else {
    trap.Do(Label::kFill, [&] { AssignText(folder_field, chosen); });
  }
}

}  // namespace trawlbox
