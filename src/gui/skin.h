#ifndef TRAWLBOX_GUI_SKIN_H_
#define TRAWLBOX_GUI_SKIN_H_

#include <QList>
#include <QString>

#include "core/status.h"

class QWidget;

namespace trawlbox {

// Where the optional skin lives: "x/o.cjs" in `program_folder`. The skin is
// a Qt style sheet.
QString SkinPath(const QString& program_folder);

// When the skin file exists, gives `window` and `frames` the palette's
// button-face colour and applies the style sheet to `window`. A missing skin
// is no failure; an unreadable one is.
Status ApplySkin(const QString& program_folder, QWidget* window,
                 const QList<QWidget*>& frames);

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_SKIN_H_
