#ifndef TRAWLBOX_APP_TWIPS_H_
#define TRAWLBOX_APP_TWIPS_H_

#include <QRect>
#include <cmath>

namespace trawlbox {

// Twips are 1/1440 inch; the layout is given in them and drawn at the
// screen's logical DPI.
inline int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

inline QRect TwipsRect(int left, int top, int width, int height, double dpi) {
  return QRect(TwipsToPixels(left, dpi), TwipsToPixels(top, dpi),
               TwipsToPixels(width, dpi), TwipsToPixels(height, dpi));
}

}  // namespace trawlbox

#endif  // TRAWLBOX_APP_TWIPS_H_
