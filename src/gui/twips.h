#ifndef TRAWLBOX_GUI_TWIPS_H_
#define TRAWLBOX_GUI_TWIPS_H_

#include <cmath>

namespace trawlbox {

// Twips are 1/1440 inch; the layout is given in them and drawn at the
// screen's logical DPI.
inline int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_TWIPS_H_
