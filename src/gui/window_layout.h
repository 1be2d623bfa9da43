#ifndef TRAWLBOX_GUI_WINDOW_LAYOUT_H_
#define TRAWLBOX_GUI_WINDOW_LAYOUT_H_

#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

class QWidget;

namespace trawlbox {

class SettingsStore;

// The settings key the window's size and place are remembered under.
inline const QString kWindowPlaceKey = QStringLiteral("WindowPlace");

// The window comes back at the size and place it was closed at; a stored
// value that cannot be read leaves it as it is.
void RestoreWindowPlace(QWidget& window, const SettingsStore& settings);
// A place that cannot be stored only costs the next start its size.
void SaveWindowPlace(const QWidget& window, SettingsStore& settings);

// The window's client area at its first size, in twips. The list tools
// under the list (the total and the pattern row) make it taller than the
// window of old by kListToolsTwips; everything below them moved down by
// as much.
inline constexpr int kClientWidthTwips = 8040;
inline constexpr int kListToolsTwips = 795;
inline constexpr int kClientHeightTwips = 7755 + kListToolsTwips;

// How a control follows the window as it grows past its first size: across,
// it keeps its place and width, takes all the added width, takes half of
// it (the left or the right one of a pair), or moves by all of it; down, it
// keeps its place (above the list), takes all the added height (the list)
// or moves by all of it (below the list).
enum class Across { kStay, kWiden, kLeftHalf, kRightHalf, kMove };
enum class Down { kStay, kGrow, kMove };

// Where a control stands at the first size, in twips within its parent
// (the window, or the frame it sits in), and how it follows.
struct ControlPlace {
  int left, top, width, height;
  Across across;
  Down down;
};

// The place of the control with that object name; none for a control the
// layout does not place.
std::optional<ControlPlace> PlaceOfControl(const QString& name);

// A control's rectangle in pixels when the window's client area is `extra`
// pixels larger than at its first size (never smaller).
QRect PlaceRect(const ControlPlace& place, QSize extra, double dpi_x,
                double dpi_y);

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_WINDOW_LAYOUT_H_
