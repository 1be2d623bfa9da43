#include "gui/window_layout.h"

#include <QWidget>

#include "core/settings_store.h"
#include "gui/twips.h"

namespace trawlbox {
namespace {

struct NamedPlace {
  const char* name;
  ControlPlace place;
};

constexpr int kBelow = kListToolsTwips;  // how far the controls below moved

constexpr NamedPlace kPlaces[] = {
    {"Frame1", {120, 120, 7800, 830, Across::kWiden, Down::kStay}},
    {"txtWebsite", {240, 300, 7305, 345, Across::kWiden, Down::kStay}},
    {"PushButton1", {120, 1050, 3840, 405, Across::kLeftHalf, Down::kStay}},
    {"PushButton3", {4080, 1050, 3840, 405, Across::kRightHalf, Down::kStay}},
    {"PushButton5", {120, 1560, 7800, 405, Across::kWiden, Down::kStay}},
    {"ListView1", {120, 2070, 7800, 2640, Across::kWiden, Down::kGrow}},
    {"TotalLine", {120, 4770, 7800, 270, Across::kWiden, Down::kMove}},
    {"PatternField", {120, 5100, 3840, 405, Across::kWiden, Down::kMove}},
    {"TickMatching", {4080, 5100, 1890, 405, Across::kMove, Down::kMove}},
    {"UntickMatching", {6030, 5100, 1890, 405, Across::kMove, Down::kMove}},
    {"PushButton7",
     {120, 4800 + kBelow, 3840, 405, Across::kLeftHalf, Down::kMove}},
    {"PushButton8",
     {4080, 4800 + kBelow, 3840, 405, Across::kRightHalf, Down::kMove}},
    {"PushButton4",
     {120, 5310 + kBelow, 7800, 405, Across::kWiden, Down::kMove}},
    {"Frame2", {120, 5760 + kBelow, 7800, 830, Across::kWiden, Down::kMove}},
    {"Text1", {240, 300, 6645, 345, Across::kWiden, Down::kStay}},
    {"PushButton2", {6960, 300, 600, 345, Across::kMove, Down::kStay}},
    {"PushButton6",
     {120, 6710 + kBelow, 7800, 405, Across::kWiden, Down::kMove}},
    {"ProgressBar1",
     {120, 7230 + kBelow, 7800, 405, Across::kWiden, Down::kMove}},
};

}  // namespace

std::optional<ControlPlace> PlaceOfControl(const QString& name) {
  for (const NamedPlace& named : kPlaces) {
    if (name == QLatin1String(named.name)) return named.place;
  }
  return std::nullopt;
}

QRect PlaceRect(const ControlPlace& place, QSize extra, double dpi_x,
                double dpi_y) {
  const int wide = std::max(0, extra.width());
  const int high = std::max(0, extra.height());
  QRect rect(TwipsToPixels(place.left, dpi_x), TwipsToPixels(place.top, dpi_y),
             TwipsToPixels(place.width, dpi_x),
             TwipsToPixels(place.height, dpi_y));
  switch (place.across) {
    case Across::kStay:
      break;
    case Across::kWiden:
      rect.setWidth(rect.width() + wide);
      break;
    case Across::kLeftHalf:
      rect.setWidth(rect.width() + wide / 2);
      break;
    case Across::kRightHalf:
      rect.translate(wide / 2, 0);
      rect.setWidth(rect.width() + wide - wide / 2);
      break;
    case Across::kMove:
      rect.translate(wide, 0);
      break;
  }
  switch (place.down) {
    case Down::kStay:
      break;
    case Down::kGrow:
      rect.setHeight(rect.height() + high);
      break;
    case Down::kMove:
      rect.translate(0, high);
      break;
  }
  return rect;
}

void RestoreWindowPlace(QWidget& window, const SettingsStore& settings) {
  const Result<QString> stored = settings.ReadSetting(kWindowPlaceKey, {});
  if (!stored.ok() || stored.value().isEmpty()) return;
  window.restoreGeometry(QByteArray::fromBase64(stored.value().toLatin1()));
}

void SaveWindowPlace(const QWidget& window, SettingsStore& settings) {
  static_cast<void>(settings.WriteSetting(
      kWindowPlaceKey, QString::fromLatin1(window.saveGeometry().toBase64())));
}

}  // namespace trawlbox
