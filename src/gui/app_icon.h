#ifndef TRAWLBOX_GUI_APP_ICON_H_
#define TRAWLBOX_GUI_APP_ICON_H_

#include <QIcon>
#include <QImage>

namespace trawlbox {

// The program's icon, drawn rather than shipped: a net over a folder.
QImage AppIconImage(int size);
QIcon AppIcon();

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_APP_ICON_H_
