#ifndef TRAWLBOX_GUI_SKIN_H_
#define TRAWLBOX_GUI_SKIN_H_

#include <QFont>
#include <QList>
#include <QPalette>
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

// The window's type: Arial, bold, at `points`.
QFont ArialBold(double points);

// Gives `widget` a white background in `role` (the window's, or a field's
// base).
void PaintWhite(QWidget* widget, QPalette::ColorRole role);

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_SKIN_H_
